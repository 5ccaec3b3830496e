// The pass over one registration list: its phases and the data they hand each other.
// Used by Synchronise only; split over files by phase (synchronise.cpp: the registered
// lines, copies, compaction and merge; sync_new_files.cpp: new files and new subfolders;
// sync_moves.cpp: moved folders and files; sync_losses.cpp: what the source lost).
#pragma once

#include <cctype>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/drive_letter.hpp"
#include "common/registration_list.hpp"
#include "engine/listing.hpp"
#include "engine/synchronise.hpp"
#include "engine/tree_walk.hpp"
#include "platform/destination_time.hpp"
#include "platform/file_system.hpp"

namespace bk::pass {

inline constexpr std::uint64_t kMiB = 1048576;
// Groups of a single-file list up to this many files are asked for by name rather than
// listed (see QueryByName).
inline constexpr std::size_t kQueryByNameLimit = 16;
// The guard: at least this many registered files of a drive gone, and more than half.
inline constexpr std::size_t kMostlyGoneFloor = 10;


struct Line {
  std::size_t offset = 0;
  std::size_t length = 0;  // without LF
};

// What the moves are judged by: new files listed this pass, the folders walked, the
// registered folders found gone and the files gone from folders that are still there.
inline constexpr std::size_t kNoRoot = static_cast<std::size_t>(-1);
struct NewEntry {
  std::size_t offset;  // of its line in NewLines::text
  std::string folder, name;
  std::uint64_t size;
  FileTime time;
  std::size_t root;  // the walk it was found by, or kNoRoot
  bool missing_at_destination;
  bool moved = false;
};
struct Vanished {
  std::string folder;
  std::vector<std::size_t> members;
  bool taken = false;
  std::optional<bool> movable;  // its copy holds only what the list names
};
struct GoneFile {
  char drive;
  std::string dest_path, name;
  std::uint64_t size;
  FileTime time;
};

// A new file a moved folder may have brought: where it is now, and the new line that
// names it when a walk found it (kNoEntry for a registered line).
inline constexpr std::size_t kNoEntry = static_cast<std::size_t>(-1);
struct PlaceFile {
  std::string folder, name;
  std::uint64_t size;
  FileTime time;
  std::size_t entry;
  bool moved = false;
};

struct DeferredGroup {
  std::string folder;
  std::vector<std::size_t> members;
  std::optional<Listing> source;  // dropped once the pass holds many: read again then
};

// What phase 1 found gone on one source drive. Nothing of it is carried out until the
// drive's whole count is known (FollowLosses).
struct DriveLosses {
  std::size_t files = 0;  // registered files of the drive that phase 1 reached
  std::size_t gone = 0;   // of these, found gone: in vanished folders or missing alone
  // Files missing from folders that are still there.
  std::vector<std::size_t> lines;    // lines to drop
  std::vector<std::string> copies;   // mirror: copies to delete
  std::vector<std::string> markers;  // empty-folder markers to add
  // Vanished folders.
  std::vector<std::size_t> folder_lines;
  std::vector<std::string> folder_copies;
  std::vector<std::string> folders;  // mirror: destination folders to remove once empty
  bool any() const { return !lines.empty() || !folder_lines.empty(); }
};

// The list as the pass found it (made first, read by every phase): a place a line, the
// folders that have a group, and those the user left out.
struct ListIndex {
  std::vector<Line> lines;
  std::unordered_set<std::string> group_folders;
  std::unordered_set<std::string> excluded;
};

// The lines phase 1 adds (new files "1", copies found up to date "2", markers), written to
// add.tmp as they come and merged into the list in phase 3. A move turns a "1" into a "2".
struct NewLines {
  std::string text;
  std::size_t count = 0;
  std::unique_ptr<WritableFile> file;
  std::size_t written = 0;  // of text, in the file; the rest goes in blocks (a write a line
                            // would be thousands of system calls in a pass that finds a new tree)
  static constexpr std::size_t kBlock = 64 * 1024;
};

// What phase 1 found new, for the moves: the new files and the walks that found them, the
// destination folders of walked folders not there yet (made after the moves), and the
// groups never copied, synchronised after the moves.
struct Findings {
  std::vector<NewEntry> entries;
  std::vector<std::string> walk_roots;
  bool in_walk = false;
  std::vector<std::string> folders;
  std::vector<DeferredGroup> deferred;
  std::unordered_set<std::string> deferred_folders;  // their destination folders
  std::size_t deferred_entries = 0;
};

// What phase 1 found gone: drive by drive, for the guard and the deletions; the vanished
// folders and the files gone alone, for the moves. A move takes its part out again.
struct Losses {
  std::map<DriveLetter, DriveLosses> by_drive;
  std::vector<Vanished> vanished;
  std::vector<GoneFile> gone_files;
};

// What the moves did, for the lines a pass cut short keeps.
struct MovesMade {
  std::vector<std::pair<std::string, std::string>> folders;  // source folder, its new place
  std::map<std::string, Listing> old_listings;              // destination folders a move may come from
};

// What the pass deletes once the new copies are made (FollowLosses decides, the end of
// the pass carries out): copies, their lines (kept back by a pass cut short), and
// destination folders, written to del.tmp as decided. Without del.tmp nothing is deleted.
struct Deletions {
  std::vector<std::string> doomed_copies;
  std::vector<std::string> dropped_lines;
  std::vector<std::string> folders;
  std::unique_ptr<WritableFile> file;
  bool allowed = true;
};

// The destination's free space as the pass spends it: every copy and every change of a
// copy's size is reserved first, and a reservation beyond the free space is refused (when
// the free-space test is on). A refused reservation still counts: what follows it is
// measured against all that was asked for.
class SpaceBudget {
 public:
  SpaceBudget(std::uint64_t free_space, bool checked)
      : free_(static_cast<std::int64_t>(free_space)), checked_(checked) {}
  bool Reserve(std::int64_t bytes) {
    total_ += bytes;
    return !checked_ || total_ <= free_;
  }

 private:
  std::int64_t free_;
  bool checked_;
  std::int64_t total_ = 0;
};

class SyncPass {
 public:
  SyncPass(RunContext& ctx, ListBuffer& list, char type_digit, const SyncTarget& target, std::uint64_t free_space)
      : ctx_(ctx), list_(list), type_(type_digit), mode_(ModeOf(type_digit)), target_(target),
        root_(target.Root()), space_(free_space, ctx.settings.free_space_check) {}

  SyncResult Run();

 private:


  std::string_view Text(const Line& l) const { return std::string_view(list_.text).substr(l.offset, l.length); }
  void Mark(const Line& l, char state);
  bool Aborted() const { return ctx_.flags.abort.load() != 0; }

  void IndexLines();

  // How the destination keeps times and sizes. A drive that does not tell its file
  // system gets the rule of an unknown one (a second's tolerance, no size limit).
  void ReadDestinationKind();

  // A file the destination's file system cannot hold (4 GiB or more on FAT) is not
  // attempted: no copy, no temporary file, no free-space charge. It gets one report line
  // per run, and its line stays, so it is copied once the destination can hold it.
  bool RefusedBySize(std::uint64_t size, const std::string& source_path);

  // Both work files are made afresh for every pass. Without a deletion list that could be
  // written the pass deletes nothing: a stale list must never be carried out.
  void OpenWorkFiles();

  void AddNewLine(std::string line);
  void WritePendingNewLines();

  void AddDeletion(std::string folder);

  // The count of each file, as often as the window takes it; a count passed over waits
  // in progress_pending_ for the next one or for the end of the phase.
  void ShowProgress(std::size_t done, std::size_t total, bool now = false);
  void ShowPendingProgress();

  // ---- phase 1: registered lines, group by group -------------------------------------

  void RegisteredLines();

  // A line the pass may act on: both TABs, and a source that maps to a place inside the
  // destination folder. Any other line is reported, kept as it is, and never acted on. An
  // exclusion names no file, only its folder, which must be contained as any other.
  static bool Usable(const LineParts& p);

  void ReportBrokenLine(const Line& l);

  // Whether a source drive answers at this moment. Asked afresh every time: a drive with
  // a loose contact can vanish halfway through a pass, and from then on each of its
  // folders answers "not found" as if it had been deleted.
  Status AskDrive(DriveLetter letter);

  void Group(const std::string& folder, const std::vector<std::size_t>& members);

  // The files of one group whose source folder is there: registered lines checked and
  // copied, then new files and (for a tree) new subfolders.
  void SyncGroup(const std::string& folder, const std::vector<std::size_t>& members, const Listing& source,
                 Listing& dest);

  // One side of a group: asked name by name when names are given, else listed whole (also
  // when a name got no answer).
  void ReadSide(Listing* side, std::string_view folder, const std::vector<std::string>* names);

  // Whether a group's folder is asked name by name: a group of few registered files (a
  // folder asked by name costs three questions a file, a listing one entry a file it
  // holds). Fills names with the group's file names.
  bool QueryByName(const std::vector<std::size_t>& members, std::vector<std::string>* names) const;

  // Looks a name up in a folder listing. A name the listing does not hold is asked of the
  // system once more (it matches names without regard to letter case).
  Lookup Find(const Listing& listing, const std::string& path, const std::string& name, bool fallback,
              FileInfo* info);

  // A vanished folder: its lines go, and in a mirror the copies its lines name, then its
  // destination folder once nothing else is left in it. Other registrations (a
  // differential one below it) may keep copies there, which must outlive their sources.
  void SourceFolderGone(const std::string& folder, const std::vector<std::size_t>& members,
                        DriveLosses* losses);

  // ---- phase 1c: moves (mirror) ------------------------------------------------------------

  // A registered folder found gone and a new folder of the same list on the same drive
  // that holds the same files (name, size and time, the test of "unchanged") is that
  // folder moved or renamed: its copy is moved to the new place with one rename, before
  // anything is copied or deleted. What does not match is then copied or deleted as
  // usual. A file gone from one folder and new in another, with the same name, size and
  // time, has its copy moved likewise. A move that fails, or whose place is taken, leaves
  // everything to the copies and deletions that follow.
  void FollowMoves();


  // Relative place of a path below a folder ("" for the folder itself, "\a\b" below it).
  static std::string Below(const std::string& path, const std::string& folder) { return path.substr(folder.size()); }
  static bool IsAtOrBelow(const std::string& path, const std::string& folder);

  // The copies of a moved folder's files must be found at their old place, listed once per
  // folder and pass.
  const FileInfo* OldCopy(const std::string& dest_folder, const std::string& name);
  const Listing& OldListing(const std::string& dest_folder);

  // Enough of the new folder is the old one when at least half of its new files have a
  // matching copy: the rename costs nothing and loses nothing (what does not match is
  // copied or deleted as it would be anyway), so any large share saves writing; below
  // half, a new folder and another one deleted is the likelier story, and a rename would
  // move copies the user no longer keeps under a name where they do not belong.
  static bool EnoughAlike(std::size_t matched, std::size_t files) { return matched > 0 && 2 * matched >= files; }

  // A new tree is tried at its top, then folder by folder below it, shallow first: a folder
  // moved into a folder made at the same time arrives below a new one. Below a folder that
  // moved nothing else is tried.
  void MoveTree(const std::string& top, std::vector<PlaceFile>* files);

  // Moves the copy of the vanished folder that the new folder at place is, if one is.
  bool MovePlace(const std::string& place, const std::vector<std::size_t>& entries, std::vector<PlaceFile>* files);
  const std::unordered_set<std::string>& VanishedNames();

  // Whether a vanished folder's copy may move, asked once a pass.
  bool MovableCopy(Vanished* old);

  // ---- registered folders never copied yet (mirror) ----------------------------------------

  // A group whose destination folder does not exist may be a folder renamed at the source
  // and dropped again under its new name: it is read with the others but synchronised
  // after the moves, so that a copy moved to its place is found there.
  bool DefersFreshGroups() const { return mode_ == SyncMode::Mirror && ctx_.settings.detect_moves; }

  static constexpr std::size_t kDeferredListingEntries = 200000;

  void DeferGroup(const std::string& folder, const std::vector<std::size_t>& members, Listing source);

  Listing& SourceOf(DeferredGroup& d);

  // The deferred folders whose parent is not one of them: each the top of a new tree.
  std::vector<std::string> FreshTops() const;

  // The registered files of the deferred groups at or below a folder, as the source has them.
  std::vector<PlaceFile> FreshFilesBelow(const std::string& top);

  // The deferred groups, synchronised as any other; a copy moved to their place is found
  // up to date and left as it is.
  void DeferredGroups();

  // The old folder's registrations went with the move: its copies moved are not lost (the
  // guard does not count them), those the new folder does not hold are deleted at their
  // new place, and its emptied folders there removed.
  void FollowMovedFolder(const std::string& old_folder, const std::string& root, const std::set<std::string>& named,
                         std::size_t matched);

  // A move carries only what the list names: a destination folder that holds anything
  // else (a copy kept of a folder left out, a file the user put there) stays where it is,
  // and the new place gets copies.
  bool HoldsOnlyItsCopies(const std::string& folder);

  // The copies of a folder left out stay where they are: a folder holding one is not moved.
  bool HoldsExclusion(const std::string& folder) const;

  bool IsVanished(const std::string& folder) const;

  // A file gone from one registered folder and new in another of the same list.
  void MoveFiles();

  // The destination folders of newly walked folders that no move brought.
  void MakeNewFolders();

  // ---- the end of phase 1: what was found gone, drive by drive ------------------------

  // Most of a drive's registered files gone at once is another disk under the same
  // letter far more often than a user's deletion.
  static bool MostlyGone(const DriveLosses& l) { return l.gone >= kMostlyGoneFloor && 2 * l.gone > l.files; }

  void FollowLosses();

  // A line whose source is gone leaves the list; its text is kept until the pass ends, so
  // that a pass cut short can keep it (see DeleteLostCopies).
  void DropForLoss(std::size_t m);

  // The copies of what the source lost go after the new copies are made: a folder renamed
  // at the source has its copies under the new name before those under the old name go.
  // A pass cut short (Ctrl + Shift) deletes nothing and keeps those lines, so that the
  // next run, which makes the new copies, deletes the old ones then. A copy this pass
  // wrote is never deleted (two sources on two drives can name one copy).
  void DeleteLostCopies();

  // A crash can leave a copy's temporary file beside it; it goes the next time its folder
  // is worked on. Only temporaries of names this folder registers or holds are taken:
  // any other dot-file belongs to the user.
  void RemoveLeftoverTemporaries(const std::string& dest_folder, const Listing& source,
                                 const std::vector<std::size_t>& members, Listing* dest);

  // A copy is up to date when its time (as the destination's file system keeps it) and
  // its size are the source's. A size that differs under an equal time is a copy torn by
  // a power loss: it is copied again.
  bool SameCopy(const FileInfo& source, const FileInfo& copy) const;

  void DeleteCopy(const std::string& dest_path);

  void RegisteredFile(const Line& l, const std::string& source_path, const std::string& dest_path,
                      const FileInfo& src, Listing& dest);

  // Rewrites the 13 size digits in place; the type digit and the LF are never touched.
  // A hand-edited line whose field is not whole is left as it is: its last 13 bytes may
  // be its name.
  void WriteSizeField(const Line& l, std::uint64_t size);

  // The copy of one line's file. Without a stamp the copy gets the source's time as read
  // just before copying.
  void Copy(const Line& l, const std::string& source_path, const std::string& dest_path,
            std::optional<FileTime> stamp, bool space_test, Listing* dest);

  // ---- phase 1a: new and changed files in a registered folder -------------------------

  void NewFileSearch(const std::string& folder, const std::vector<std::size_t>& members, const Listing& source,
                     const Listing& dest);

  enum class NewFile { Listed, Unchanged, Refused };

  // A file of a source folder that the list does not hold yet: a new line "1" to copy, or
  // no line when its copy is up to date (Unchanged) or it cannot be taken (reported).
  NewFile ConsiderNewFile(const std::string& folder, const FileInfo& e, const Listing& dest);

  void AddListLine(std::string line);

  // A cloud placeholder whose contents are not on this computer is never opened (that
  // would download it): it is reported while its backup is not up to date.
  bool RefusedAsCloudOnly(const FileInfo& e, const std::string& source_path);

  // ---- phase 1b: subfolders of a registration that follows its tree ----------------------

  // A subfolder without a group of its own is new to the list (made, renamed or moved
  // since the last run): it is walked as a registration walks, its files listed as new
  // lines and copied in this pass. Folders the user left out have a group (an exclusion
  // line) and are never entered.
  void FollowSubfolders(const std::string& folder, const Listing& source);

  class NewFolderWalk final : public TreeWalk::Visitor {
   public:
    explicit NewFolderWalk(SyncPass& pass) : pass_(pass) {}
    void Listed(const std::string& folder, Status listed, const std::vector<FileInfo>& entries) override {
      pass_.found_.in_walk = true;
      pass_.NewFolder(folder, listed, entries);
      pass_.found_.in_walk = false;
    }
    // Another type's tree is walked by that type: its new files and subfolders are its own.
    bool Admit(const std::string& path) override {
      return pass_.index_.group_folders.count(path) == 0 && pass_.OtherTypes().trees.count(path) == 0;
    }
    bool KeepGoing() override { return !pass_.Aborted(); }
    bool Stopped() override { return pass_.Aborted(); }

   private:
    SyncPass& pass_;
  };

  // One folder of a walk: its files as new lines (a copy already up to date as a line "2"),
  // or an empty-folder marker when it gives none. A file another type of this destination
  // registers stays that type's: two types never write the same copy.
  void NewFolder(const std::string& folder, Status listed, std::vector<FileInfo> entries);

  // What the other four types of this destination register, read once a pass when a walk
  // first needs it: their file keys (folder, TAB, name) and their folders; of these, the
  // folders of the folder types and those of the types that follow their tree.
  struct OtherRegistrations {
    std::unordered_set<std::string> files;
    std::unordered_set<std::string> folders;
    std::unordered_set<std::string> folder_types;
    std::unordered_set<std::string> trees;
  };
  const OtherRegistrations& OtherTypes();

  // ---- phase 2: compaction --------------------------------------------------------------

  void Compact();

  // ---- phase 3: merge of the new-file list ----------------------------------------------

  std::size_t MergeNewFiles();

  // ---- phase 4: copy of the new files ---------------------------------------------------

  void CopyNewFiles(std::size_t merged);

  // ---- phase 5: removal of the folders of vanished sources (mirror) ---------------------

  // Their copies are gone already; a folder goes only once it is empty, deepest first, so
  // that a parent emptied by its subfolders' removal goes too. Never a whole tree.
  void DeleteFolders();

  RunContext& ctx_;
  ListBuffer& list_;
  const char type_;
  const SyncMode mode_;
  const SyncTarget& target_;
  const std::string root_;
  std::string file_system_;
  DestinationTimeRule time_rule_;
  SpaceBudget space_;
  // What the phases hand each other; see Run for which phase makes and which reads each.
  ListIndex index_;
  NewLines new_lines_;
  Findings found_;
  Losses losses_;
  MovesMade moves_;
  Deletions deletions_;
  std::unordered_set<std::string> written_;  // copies this pass made
  std::optional<TreeWalk> walk_;             // one a pass: it never enters a folder twice
  std::optional<OtherRegistrations> other_types_;
  std::optional<std::unordered_set<std::string>> vanished_names_;
  std::size_t marked_ = 0;
  bool aborted_ = false;
  SyncResult result_;
  std::optional<std::pair<std::size_t, std::size_t>> progress_pending_;  // done, total
};

}  // namespace bk::pass
