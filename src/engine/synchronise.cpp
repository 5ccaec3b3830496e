#include "engine/synchronise.hpp"

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "common/destination_table.hpp"
#include "common/folder_exclusion.hpp"
#include "common/registration_list.hpp"
#include "common/list_sort.hpp"
#include "common/path_limit.hpp"
#include "common/shift_jis.hpp"
#include "common/source_path.hpp"
#include "common/text_file.hpp"
#include "platform/destination_time.hpp"
#include "engine/tree_walk.hpp"
#include "platform/file_copy.hpp"
#include "platform/wide.hpp"

namespace bk {

namespace {

constexpr std::uint64_t kMiB = 1048576;
// Groups of a single-file list up to this many files are asked for by name rather than
// listed (see QueryByName).
constexpr std::size_t kQueryByNameLimit = 16;

std::string Join(std::string_view folder, std::string_view name) {
  std::string path(folder);
  path += '\\';
  path += name;
  return path;
}

// One folder read once: its entries by name. Entries found later (a copy made) are added.
// A folder may also be asked name by name (Query) instead of listed whole; it then holds
// the names asked that are there, and knows which of the others are surely not.
struct Listing {
  Status status;
  std::unordered_map<std::string, FileInfo> by_name;
  std::vector<const FileInfo*> in_order;  // as listed, for the new-file search
  bool has_file = false;                  // a file whose name does not begin with '.'
  bool queried = false;
  std::unordered_set<std::string> absent;  // queried: names the system answered "not found"
  bool unanswered = false;                 // queried: a name the system gave no answer for

  void Read(FileSystem& fs, std::string_view folder) {
    std::vector<FileInfo> entries;
    status = fs.ListFolder(folder, &entries);
    by_name.reserve(entries.size());
    for (FileInfo& e : entries) {
      if (!e.is_directory() && !IsSkippedName(e.name)) has_file = true;
      by_name.emplace(e.name, std::move(e));
    }
    // Pointers into the map stay valid while nothing is erased.
    for (auto& [name, info] : by_name) in_order.push_back(&info);
    std::sort(in_order.begin(), in_order.end(),
              [](const FileInfo* a, const FileInfo* b) { return a->name < b->name; });
  }
  // Asks the folder itself, then each name, with the same outcome a listing has: a folder
  // that is not there (or is a file) is "path not found", any other failure is the
  // folder's. A name the system could not answer for (a file held open by the system
  // refuses its attributes, yet is listed) is neither there nor surely absent: the caller
  // lists the folder after all.
  void Query(FileSystem& fs, std::string_view folder, const std::vector<std::string>& names) {
    queried = true;
    FileInfo self;
    status = fs.GetInfo(ListingPath(folder), &self);
    if (IsNotFound(status) || (status && !self.is_directory())) status = Status::Error(err::kPathNotFound);
    if (!status) return;
    for (const std::string& name : names) {
      FileInfo info;
      const Status s = fs.GetInfo(Join(folder, name), &info);
      if (s) {
        info.name = name;
        by_name.emplace(name, std::move(info));
      } else if (IsNotFound(s)) {
        absent.insert(name);
      } else {
        unanswered = true;
        return;
      }
    }
  }
  const FileInfo* Find(std::string_view name) const {
    const auto it = by_name.find(std::string(name));
    return it == by_name.end() ? nullptr : &it->second;
  }
  bool SurelyAbsent(const std::string& name) const { return queried && absent.count(name) > 0; }

  static std::string ListingPath(std::string_view folder) {
    std::string path(folder);
    if (path.size() == 2) path += '\\';  // "C:" (files in a drive root) is asked as "C:\"
    return path;
  }
};

// How a file looked up in a listing turned out.
enum class Lookup { Found, Missing, Unreadable };


}  // namespace

SyncMode ModeOf(char type_digit) {
  const auto type = static_cast<RegType>(type_digit);
  if (type == RegType::MirrorExcl || type == RegType::MirrorAll) return SyncMode::Mirror;
  if (type == RegType::DiffExcl || type == RegType::DiffAll) return SyncMode::Differential;
  return SyncMode::SingleFiles;
}

std::string_view TypeLabel(char type_digit) {
  switch (type_digit) {
    case TypeDigit(RegType::File): return "ファイル)";
    case TypeDigit(RegType::MirrorExcl): return "ミラー 配下除外)";
    case TypeDigit(RegType::MirrorAll): return "ミラー 配下全て)";
    case TypeDigit(RegType::DiffExcl): return "差分 配下除外)";
    case TypeDigit(RegType::DiffAll): return "差分 配下全て)";
    default: return {};
  }
}

std::string ProgressText(char type_digit, std::size_t done, std::size_t total) {
  std::string text = "経過(";
  text += TypeLabel(type_digit);
  text += ' ';
  text += std::to_string(done);
  text += " / ";
  text += std::to_string(total);
  text += std::string(20, ' ');
  return text;
}

std::string SyncTarget::Root() const { return DriveRoot(drive); }

std::string DestinationPath(const SyncTarget& target, std::string_view source_path) {
  std::string path = target.Root();
  path += target.folder;
  path += source_path.size() > 2 ? source_path.substr(2) : std::string_view{};
  return path;
}

bool IsDeletableBackupFolder(const SyncTarget& target, std::string_view path) {
  std::string own = target.Root() + target.folder + "\\";
  if (target.folder.empty() || path.size() <= own.size() || path.substr(0, own.size()) != own) return false;
  std::size_t start = 3;  // after "X:\"
  while (start <= path.size()) {
    std::size_t sep = sjis::NextSeparator(path, start);
    if (sep == std::string_view::npos) sep = path.size();
    const std::string_view part = path.substr(start, sep - start);
    if (!IsPlainPart(part)) return false;
    start = sep + 1;
  }
  return true;
}

namespace {

constexpr std::size_t kMostlyGoneFloor = 10;

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

class SyncPass {
 public:
  SyncPass(RunContext& ctx, ListBuffer& list, char type_digit, const SyncTarget& target, std::uint64_t free_space)
      : ctx_(ctx), list_(list), type_(type_digit), mode_(ModeOf(type_digit)), target_(target),
        root_(target.Root()), free_space_(free_space) {}

  SyncResult Run() {
    IndexLines();
    ReadDestinationKind();
    if (mode_ != SyncMode::SingleFiles) OpenWorkFiles();
    RegisteredLines();
    ShowPendingProgress();
    if (mode_ == SyncMode::Mirror && !aborted_ && ctx_.settings.detect_moves) FollowMoves();
    MakeNewFolders();
    FollowLosses();
    Compact();
    const std::size_t merged = MergeNewFiles();
    if (mode_ != SyncMode::SingleFiles) CopyNewFiles(merged);
    ShowPendingProgress();
    DeleteLostCopies();
    if (mode_ == SyncMode::Mirror && !Aborted()) DeleteFolders();
    RemoveTypeDuplicates(&list_);
    // A folder left out whose parent went from the list is nothing any walk would enter;
    // a list of exclusions alone is an empty list.
    if (DropStaleExclusions(&list_) > 0) SortLines(&list_);
    if (!HoldsRegistrations(list_.text)) list_.clear();
    return result_;
  }

 private:
  struct Line {
    std::size_t offset = 0;
    std::size_t length = 0;  // without LF
  };

  std::string_view Text(const Line& l) const { return std::string_view(list_.text).substr(l.offset, l.length); }
  void Mark(const Line& l, char state) {
    if (list_.text[l.offset] != '0' && state == '0') ++marked_;
    list_.text[l.offset] = state;
  }
  bool Aborted() const { return ctx_.flags.abort.load() != 0; }

  void IndexLines() {
    lines_.reserve(list_.line_count);
    std::string_view previous_folder;
    bool any = false;
    ForEachLine(list_.text, [&](std::string_view line, std::size_t offset) {
      lines_.push_back({offset, line.size()});
      const LineParts p = SplitLine(line);
      if (!p.well_formed) {
        ++result_.files_in_list;  // as a line that is no marker always counted
        return;
      }
      const bool exclusion = p.name == kExclusionMarker;
      if (!exclusion && p.name != kEmptyFolderMarker) ++result_.files_in_list;
      // Every folder with a line of its own is a group of the list; a walk never enters it.
      // The lines of a folder stand together: one look a group.
      if (!any || p.folder != previous_folder) group_folders_.emplace(p.folder);
      previous_folder = p.folder;
      any = true;
      if (exclusion) excluded_.emplace(p.folder);
    });
  }

  // How the destination keeps times and sizes. A drive that does not tell its file
  // system gets the rule of an unknown one (a second's tolerance, no size limit).
  void ReadDestinationKind() {
    VolumeInfo volume;
    if (!ctx_.fs.GetVolumeInfo(root_, &volume)) volume.file_system.clear();
    file_system_ = volume.file_system;
    time_rule_ = DestinationTimeRule::For(file_system_);
  }

  // A file the destination's file system cannot hold (4 GiB or more on FAT) is not
  // attempted: no copy, no temporary file, no free-space charge. It gets one report line
  // per run, and its line stays, so it is copied once the destination can hold it.
  bool RefusedBySize(std::uint64_t size, const std::string& source_path) {
    if (HoldsFileSize(time_rule_.kind, size)) return false;
    ctx_.report.AddTooLargeForFileSystem(root_, file_system_, source_path);
    return true;
  }

  // Both work files are made afresh for every pass. Without a deletion list that could be
  // written the pass deletes nothing: a stale list must never be carried out.
  void OpenWorkFiles() {
    if (Status s = CreateTextFile(ctx_.fs, kAddListPath, &add_file_); !s) {
      add_file_.reset();
      ctx_.report.AddSystem(ctx_.fs.ErrorMessage(s.code), kAddListPath);
    }
    if (mode_ != SyncMode::Mirror) {
      (void)CreateTextFile(ctx_.fs, kDeleteListPath, &del_file_);  // stays empty
      if (del_file_) (void)del_file_->Close();
      del_file_.reset();
      return;
    }
    if (Status s = CreateTextFile(ctx_.fs, kDeleteListPath, &del_file_); !s) {
      del_file_.reset();
      deletions_allowed_ = false;
      ctx_.report.AddSystem(ctx_.fs.ErrorMessage(s.code), kDeleteListPath);
    }
  }

  void AddNewLine(std::string line) {
    if (add_file_ && !add_file_->Write(line.data(), line.size())) add_file_.reset();
    new_text_ += line;
    ++new_count_;
  }

  void AddDeletion(std::string folder) {
    if (del_file_) {
      const std::string line = folder + "\n";
      if (!del_file_->Write(line.data(), line.size())) {
        deletions_allowed_ = false;
        del_file_.reset();
      }
    }
    deletions_.push_back(std::move(folder));
  }

  // The count of each file, as often as the window takes it; a count passed over waits
  // in progress_pending_ for the next one or for the end of the phase.
  void ShowProgress(std::size_t done, std::size_t total, bool now = false) {
    if (!now && done < total && !Aborted() && !ctx_.hooks.ProgressDue()) {
      progress_pending_ = {done, total};
      return;
    }
    progress_pending_.reset();
    ctx_.hooks.DrawProgressText(ProgressText(type_, done, total));
    ctx_.hooks.PumpOneMessage();
  }
  void ShowPendingProgress() {
    if (progress_pending_) ShowProgress(progress_pending_->first, progress_pending_->second, true);
  }

  // ---- phase 1: registered lines, group by group -------------------------------------

  void RegisteredLines() {
    std::size_t i = 0;
    while (i < lines_.size() && !aborted_) {
      const LineParts first = SplitLine(Text(lines_[i]));
      if (!Usable(first)) {
        ReportBrokenLine(lines_[i]);
        ++i;
        continue;
      }
      std::vector<std::size_t> members{i};
      std::size_t j = i + 1;
      for (; j < lines_.size(); ++j) {
        const LineParts p = SplitLine(Text(lines_[j]));
        if (!Usable(p)) {
          ReportBrokenLine(lines_[j]);
          continue;
        }
        if (p.folder != first.folder) break;
        members.push_back(j);
      }
      // A folder the user left out is never touched: its copies stay as they are.
      if (excluded_.count(std::string(first.folder)) == 0) Group(std::string(first.folder), members);
      i = j;
    }
  }

  // A line the pass may act on: both TABs, and a source that maps to a place inside the
  // destination folder. Any other line is reported, kept as it is, and never acted on. An
  // exclusion names no file, only its folder, which must be contained as any other.
  static bool Usable(const LineParts& p) {
    return p.well_formed && IsContainedSource(p.folder, p.name == kExclusionMarker ? kEmptyFolderMarker : p.name);
  }

  void ReportBrokenLine(const Line& l) {
    std::string_view text = Text(l);
    ctx_.report.AddAccessDenied(text.empty() ? text : text.substr(1));
  }

  // Whether a source drive answers at this moment. Asked afresh every time: a drive with
  // a loose contact can vanish halfway through a pass, and from then on each of its
  // folders answers "not found" as if it had been deleted.
  Status AskDrive(DriveLetter letter) {
    FileInfo info;
    return ctx_.fs.GetInfo(letter.Root(), &info);
  }

  void Group(const std::string& folder, const std::vector<std::size_t>& members) {
    const std::string folder_path = folder + "\\";
    DriveLosses& losses = losses_[DriveLetter(folder[0])];
    for (std::size_t m : members)
      if (!IsEmptyFolderMarkerLine(Text(lines_[m]))) ++losses.files;
    // A few files registered one by one are asked for by name: listing their folder on
    // both sides would cost as many entries as it holds (thousands, in a download or
    // mail folder). The answers are the same either way.
    std::vector<std::string> names;
    const bool by_name = mode_ == SyncMode::SingleFiles && QueryByName(members, &names);
    Listing source;
    ReadSide(&source, folder, by_name ? &names : nullptr);
    if (!source.status) {
      if (!IsNotFound(source.status)) {
        ctx_.report.AddSystem(ctx_.fs.ErrorMessage(source.status.code), folder_path);
        return;
      }
      // A folder counts as gone only while its drive answers; an absent drive (an
      // unplugged disk, a share that does not answer) is not a deleted folder.
      if (Status drive = AskDrive(DriveLetter(folder[0])); !drive) {
        ctx_.report.AddSystem(ctx_.fs.ErrorMessage(drive.code), folder_path);
        return;
      }
      SourceFolderGone(folder, members, &losses);
      return;
    }

    const std::string dest_folder = DestinationPath(target_, folder);
    Listing dest;
    if (by_name) {
      // With the temporary names a crash may have left beside their copies.
      const std::size_t registered = names.size();
      for (std::size_t i = 0; i < registered; ++i) names.push_back(CopyTemporaryName(names[i]));
    }
    ReadSide(&dest, dest_folder, by_name ? &names : nullptr);
    if (IsNotFound(dest.status)) (void)ctx_.fs.CreateFolderChain(dest_folder);
    RemoveLeftoverTemporaries(dest_folder, source, members, &dest);

    const bool folder_mode = mode_ != SyncMode::SingleFiles;
    bool marker_added = false;
    for (std::size_t m : members) {
      const Line& l = lines_[m];
      const LineParts p = SplitLine(Text(l));
      const bool marker = p.name == kEmptyFolderMarker;
      if (!marker) {
        ++result_.handled;
        if (ctx_.hooks.AbortKeysHeld()) ctx_.flags.abort = 1;
      }
      ShowProgress(result_.handled, result_.files_in_list);
      if (!marker) {
        const std::string name(p.name);
        const std::string source_path = Join(folder, name);
        const std::string dest_path = DestinationPath(target_, source_path);
        FileInfo src_info;
        switch (Find(source, source_path, name, /*fallback=*/true, &src_info)) {
          case Lookup::Unreadable:
            break;  // reported; the line stays as it is
          case Lookup::Missing:
            if (mode_ == SyncMode::Mirror) {
              losses.copies.push_back(dest_path);
              if (const FileInfo* copy = dest.Find(name); copy && !copy->is_directory())
                gone_files_.push_back({folder[0], dest_path, name, copy->size, copy->last_write});
            }
            if (folder_mode && !source.has_file && !marker_added) {
              losses.markers.push_back(MakeRegistrationLine('2', folder, kEmptyFolderMarker, type_, 0));
              marker_added = true;
            }
            losses.lines.push_back(m);
            ++losses.gone;
            break;
          case Lookup::Found:
            RegisteredFile(l, source_path, dest_path, src_info, dest);
            break;
        }
      }
      if (Aborted()) {
        aborted_ = true;  // the rest of the list stays; this group's new files are not searched
        return;
      }
    }
    if (folder_mode) NewFileSearch(folder, members, source, dest);
    if (FollowsTree(type_) && !source.queried) FollowSubfolders(folder, source);
  }

  // One side of a group: asked name by name when names are given, else listed whole (also
  // when a name got no answer).
  void ReadSide(Listing* side, std::string_view folder, const std::vector<std::string>* names) {
    if (names) {
      side->Query(ctx_.fs, folder, *names);
      if (!side->unanswered) return;
      *side = Listing();
    }
    side->Read(ctx_.fs, Listing::ListingPath(folder));
  }

  // Whether a group's folder is asked name by name: a group of few registered files (a
  // folder asked by name costs three questions a file, a listing one entry a file it
  // holds). Fills names with the group's file names.
  bool QueryByName(const std::vector<std::size_t>& members, std::vector<std::string>* names) const {
    if (members.size() > kQueryByNameLimit) return false;
    for (std::size_t m : members) {
      const LineParts p = SplitLine(Text(lines_[m]));
      if (p.name != kEmptyFolderMarker) names->emplace_back(p.name);
    }
    return true;
  }

  // Looks a name up in a folder listing. A name the listing does not hold is asked of the
  // system once more (it matches names without regard to letter case).
  Lookup Find(const Listing& listing, const std::string& path, const std::string& name, bool fallback,
              FileInfo* info) {
    if (const FileInfo* e = listing.Find(name)) {
      *info = *e;
      return e->is_directory() ? Lookup::Missing : Lookup::Found;
    }
    if (!fallback || !listing.status || listing.SurelyAbsent(name)) return Lookup::Missing;
    const Status s = ctx_.fs.GetInfo(path, info);
    if (s) return info->is_directory() ? Lookup::Missing : Lookup::Found;
    if (IsNotFound(s)) return Lookup::Missing;
    ctx_.report.AddSystem(ctx_.fs.ErrorMessage(s.code), path);
    return Lookup::Unreadable;
  }

  // A vanished folder: its lines go, and in a mirror the copies its lines name, then its
  // destination folder once nothing else is left in it. Other registrations (a
  // differential one below it) may keep copies there, which must outlive their sources.
  void SourceFolderGone(const std::string& folder, const std::vector<std::size_t>& members,
                        DriveLosses* losses) {
    for (std::size_t m : members) {
      losses->folder_lines.push_back(m);
      const LineParts p = SplitLine(Text(lines_[m]));
      if (p.name == kEmptyFolderMarker) continue;
      ++losses->gone;
      if (mode_ == SyncMode::Mirror) losses->folder_copies.push_back(DestinationPath(target_, Join(folder, p.name)));
    }
    if (mode_ == SyncMode::Mirror) {
      losses->folders.push_back(DestinationPath(target_, folder));
      vanished_.push_back({folder, members});
    }
  }

  // ---- phase 1c: moves (mirror) ------------------------------------------------------------

  // A registered folder found gone and a new folder of the same list on the same drive
  // that holds the same files (name, size and time, the test of "unchanged") is that
  // folder moved or renamed: its copy is moved to the new place with one rename, before
  // anything is copied or deleted. What does not match is then copied or deleted as
  // usual. A file gone from one folder and new in another, with the same name, size and
  // time, has its copy moved likewise. A move that fails, or whose place is taken, leaves
  // everything to the copies and deletions that follow.
  void FollowMoves() {
    for (std::size_t r = 0; r < walk_roots_.size(); ++r) MoveFolder(r);
    MoveFiles();
  }

  // Relative place of a path below a folder ("" for the folder itself, "\a\b" below it).
  static std::string Below(const std::string& path, const std::string& folder) { return path.substr(folder.size()); }
  static bool IsAtOrBelow(const std::string& path, const std::string& folder) {
    return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                              path[folder.size()] == '\\');
  }

  // The copies of a moved folder's files must be found at their old place, listed once per
  // folder.
  const FileInfo* OldCopy(const std::string& dest_folder, const std::string& name,
                          std::map<std::string, Listing>* listings) {
    auto it = listings->find(dest_folder);
    if (it == listings->end()) {
      it = listings->emplace(dest_folder, Listing()).first;
      it->second.Read(ctx_.fs, Listing::ListingPath(dest_folder));
    }
    const FileInfo* copy = it->second.Find(name);
    return copy && !copy->is_directory() ? copy : nullptr;
  }

  // Enough of the new folder is the old one when at least half of its new files have a
  // matching copy: the rename costs nothing and loses nothing (what does not match is
  // copied or deleted as it would be anyway), so any large share saves writing; below
  // half, a new folder and another one deleted is the likelier story, and a rename would
  // move copies the user no longer keeps under a name where they do not belong.
  static bool EnoughAlike(std::size_t matched, std::size_t files) { return matched > 0 && 2 * matched >= files; }

  void MoveFolder(std::size_t root_index) {
    const std::string& root = walk_roots_[root_index];
    std::vector<std::size_t> entries;
    for (std::size_t i = 0; i < new_entries_.size(); ++i)
      if (new_entries_[i].root == root_index && !new_entries_[i].moved) entries.push_back(i);
    if (entries.empty()) return;
    const std::string new_dest = DestinationPath(target_, root);
    FileInfo there;
    if (!IsNotFound(ctx_.fs.GetInfo(new_dest, &there))) return;  // the new place is taken (or unknown)

    // The best vanished folder of the same drive that is not below another vanished one.
    Vanished* best = nullptr;
    std::vector<std::size_t> best_matched;
    std::map<std::string, Listing> listings;
    for (Vanished& old : vanished_) {
      if (DriveLetter(old.folder[0]) != DriveLetter(root[0]) || old.taken || IsVanished(std::string(ParentFolder(old.folder))) ||
          HoldsExclusion(old.folder) || !HoldsOnlyItsCopies(old.folder))
        continue;
      const std::string old_dest = DestinationPath(target_, old.folder);
      std::vector<std::size_t> matched;
      for (std::size_t i : entries) {
        const NewEntry& e = new_entries_[i];
        const FileInfo* copy = OldCopy(old_dest + Below(e.folder, root), e.name, &listings);
        if (copy && copy->size == e.size && time_rule_.Matches(e.time, copy->last_write)) matched.push_back(i);
      }
      if (matched.size() > best_matched.size()) {
        best = &old;
        best_matched = std::move(matched);
      }
    }
    if (!best || !EnoughAlike(best_matched.size(), entries.size())) return;

    const std::string old_dest = DestinationPath(target_, best->folder);
    std::uint64_t bytes = 0;
    for (std::size_t i : best_matched) bytes += new_entries_[i].size;
    ctx_.hooks.CopyStarting(root, static_cast<std::uint32_t>(bytes / kMiB));
    (void)ctx_.fs.CreateFolderChain(std::string(ParentFolder(new_dest)));
    const Status moved = ctx_.fs.Rename(old_dest, new_dest);
    ctx_.hooks.CopyEnded();
    if (!moved) return;
    best->taken = true;
    ++result_.folders_moved;

    for (std::size_t i : best_matched) {
      NewEntry& e = new_entries_[i];
      e.moved = true;
      new_text_[e.offset] = '2';
      ++result_.files_moved;
    }
    // Every new file of the folder, matched or not, has a place the copy phase fills.
    std::set<std::string> named;
    for (std::size_t i : entries) named.insert(Join(Below(new_entries_[i].folder, root), new_entries_[i].name));
    FollowMovedFolder(best->folder, root, named, best_matched.size());
  }

  // The old folder's registrations went with the move: its copies moved are not lost (the
  // guard does not count them), those the new folder does not hold are deleted at their
  // new place, and its emptied folders there removed.
  void FollowMovedFolder(const std::string& old_folder, const std::string& root, const std::set<std::string>& named,
                         std::size_t matched) {
    DriveLosses& losses = losses_[DriveLetter(old_folder[0])];
    losses.gone -= std::min(losses.gone, matched);
    const std::string old_dest = DestinationPath(target_, old_folder);
    const std::string new_dest = DestinationPath(target_, root);
    std::vector<std::string> copies;
    for (std::string& copy : losses.folder_copies) {
      if (!IsAtOrBelow(copy, old_dest)) {
        copies.push_back(std::move(copy));
        continue;
      }
      const std::string relative = Below(copy, old_dest);
      // A copy whose place a new file takes is left to the copy phase.
      if (named.count(relative) == 0) copies.push_back(new_dest + relative);
    }
    losses.folder_copies = std::move(copies);
    // Its folders go once emptied, at their new place, except those the new tree holds
    // (an empty folder there is kept as one).
    std::vector<std::string> folders;
    for (std::string& folder : losses.folders) {
      if (!IsAtOrBelow(folder, old_dest)) {
        folders.push_back(std::move(folder));
        continue;
      }
      std::string moved = new_dest + Below(folder, old_dest);
      if (std::find(new_folders_.begin(), new_folders_.end(), moved) == new_folders_.end())
        folders.push_back(std::move(moved));
    }
    losses.folders = std::move(folders);
    moved_folders_.push_back({old_folder, root});
  }

  // A move carries only what the list names: a destination folder that holds anything
  // else (a copy kept of a folder left out, a file the user put there) stays where it is,
  // and the new place gets copies.
  bool HoldsOnlyItsCopies(const std::string& folder) {
    std::set<std::string> named_files, named_folders;
    for (const Vanished& v : vanished_) {
      if (!IsAtOrBelow(v.folder, folder)) continue;
      const std::string relative = Below(v.folder, folder);
      named_folders.insert(relative);
      for (std::size_t m : v.members) {
        const LineParts p = SplitLine(Text(lines_[m]));
        if (p.name != kEmptyFolderMarker) named_files.insert(Join(relative, p.name));
      }
    }
    const std::string dest = DestinationPath(target_, folder);
    std::vector<std::string> pending{""};
    while (!pending.empty()) {
      const std::string relative = std::move(pending.back());
      pending.pop_back();
      std::vector<FileInfo> entries;
      if (!ctx_.fs.ListFolder(dest + relative, &entries)) return false;
      for (const FileInfo& e : entries) {
        const std::string below = Join(relative, e.name);
        if (e.is_directory()) {
          if (named_folders.count(below) == 0) return false;
          pending.push_back(below);
        } else if (named_files.count(below) == 0) {
          return false;
        }
      }
    }
    return true;
  }

  // The copies of a folder left out stay where they are: a folder holding one is not moved.
  bool HoldsExclusion(const std::string& folder) const {
    for (const std::string& excluded : excluded_)
      if (IsAtOrBelow(excluded, folder)) return true;
    return false;
  }

  bool IsVanished(const std::string& folder) const {
    for (const Vanished& v : vanished_)
      if (v.folder == folder) return true;
    return false;
  }

  // A file gone from one registered folder and new in another of the same list.
  void MoveFiles() {
    std::map<std::pair<std::string, std::uint64_t>, std::vector<std::size_t>> by_name_size;
    for (std::size_t i = 0; i < new_entries_.size(); ++i)
      if (!new_entries_[i].moved && new_entries_[i].missing_at_destination)
        by_name_size[{new_entries_[i].name, new_entries_[i].size}].push_back(i);
    for (const GoneFile& gone : gone_files_) {
      const auto it = by_name_size.find({gone.name, gone.size});
      if (it == by_name_size.end()) continue;
      for (std::size_t i : it->second) {
        NewEntry& e = new_entries_[i];
        if (e.moved || DriveLetter(e.folder[0]) != DriveLetter(gone.drive) || !time_rule_.Matches(e.time, gone.time)) continue;
        const std::string to = DestinationPath(target_, Join(e.folder, e.name));
        FileInfo there;
        if (!IsNotFound(ctx_.fs.GetInfo(to, &there))) continue;
        (void)ctx_.fs.CreateFolderChain(DestinationPath(target_, e.folder));
        ctx_.hooks.CopyStarting(Join(e.folder, e.name), static_cast<std::uint32_t>(e.size / kMiB));
        const Status moved = ctx_.fs.Rename(gone.dest_path, to);
        ctx_.hooks.CopyEnded();
        if (!moved) continue;
        e.moved = true;
        new_text_[e.offset] = '2';
        ++result_.files_moved;
        DriveLosses& losses = losses_[DriveLetter(gone.drive)];
        std::erase(losses.copies, gone.dest_path);
        if (losses.gone > 0) --losses.gone;
        break;
      }
    }
  }

  // The destination folders of newly walked folders that no move brought.
  void MakeNewFolders() {
    for (const std::string& folder : new_folders_) {
      FileInfo there;
      if (IsNotFound(ctx_.fs.GetInfo(folder, &there))) (void)ctx_.fs.CreateFolderChain(folder);
    }
  }

  // ---- the end of phase 1: what was found gone, drive by drive ------------------------

  // Most of a drive's registered files gone at once is another disk under the same
  // letter far more often than a user's deletion.
  static bool MostlyGone(const DriveLosses& l) { return l.gone >= kMostlyGoneFloor && 2 * l.gone > l.files; }

  void FollowLosses() {
    for (auto& [letter, losses] : losses_) {
      if (!losses.any()) continue;
      const std::string root = letter.Root();
      if (MostlyGone(losses)) {
        ctx_.report.AddMostFoldersMissing(root);
        continue;
      }
      // Asked once more just before deleting: the drive may have gone since.
      if (Status drive = AskDrive(letter); !drive) {
        ctx_.report.AddSystem(ctx_.fs.ErrorMessage(drive.code), root);
        continue;
      }
      for (const std::string& copy : losses.copies) doomed_copies_.push_back(copy);
      for (std::size_t m : losses.lines) DropForLoss(m);
      for (std::string& marker : losses.markers) AddNewLine(std::move(marker));
      for (std::string& folder : losses.folders) AddDeletion(std::move(folder));
      // Without a deletion list that could be written a mirror keeps vanished folders,
      // copies and lines alike, so that a later pass follows the deletion whole.
      if (mode_ == SyncMode::Mirror && !deletions_allowed_) continue;
      for (const std::string& copy : losses.folder_copies) {
        doomed_copies_.push_back(copy);
        doomed_copies_.push_back(CopyTemporaryName(copy));  // a crash's leftover would keep the folder
      }
      for (std::size_t m : losses.folder_lines) DropForLoss(m);
    }
  }

  // A line whose source is gone leaves the list; its text is kept until the pass ends, so
  // that a pass cut short can keep it (see DeleteLostCopies).
  void DropForLoss(std::size_t m) {
    if (list_.text[lines_[m].offset] == '0') return;
    dropped_for_loss_.emplace_back(Text(lines_[m]));
    Mark(lines_[m], '0');
  }

  // The copies of what the source lost go after the new copies are made: a folder renamed
  // at the source has its copies under the new name before those under the old name go.
  // A pass cut short (Ctrl + Shift) deletes nothing and keeps those lines, so that the
  // next run, which makes the new copies, deletes the old ones then. A copy this pass
  // wrote is never deleted (two sources on two drives can name one copy).
  void DeleteLostCopies() {
    if (Aborted()) {
      if (dropped_for_loss_.empty()) return;
      // A file line of a folder whose copy moved names the copy at its new place: the
      // next run deletes it there if its source is gone (the walk listed the new tree's
      // folders already).
      for (const std::string& line : dropped_for_loss_) {
        const LineParts p = SplitLine(line);
        std::string folder(p.folder);
        for (const auto& [from, to] : moved_folders_)
          if (p.name != kEmptyFolderMarker && IsAtOrBelow(folder, from)) {
            folder = to + Below(folder, from);
            break;
          }
        list_.text += '2';
        list_.text += folder;
        list_.text += '\t';
        list_.text += p.name;
        list_.text += '\t';
        list_.text += p.tail;
        list_.text += '\n';
      }
      list_.line_count += dropped_for_loss_.size();
      result_.dropped -= std::min(result_.dropped, dropped_for_loss_.size());
      SortLines(&list_);
      return;
    }
    for (const std::string& copy : doomed_copies_)
      if (written_.count(copy) == 0) DeleteCopy(copy);
  }

  // A crash can leave a copy's temporary file beside it; it goes the next time its folder
  // is worked on. Only temporaries of names this folder registers or holds are taken:
  // any other dot-file belongs to the user.
  void RemoveLeftoverTemporaries(const std::string& dest_folder, const Listing& source,
                                 const std::vector<std::size_t>& members, Listing* dest) {
    if (!dest->status) return;
    std::vector<std::string> leftovers;
    for (const auto& [name, info] : dest->by_name) {
      std::string_view base;
      if (info.is_directory() || !IsCopyTemporaryName(name, &base)) continue;
      bool ours = source.Find(base) != nullptr;
      for (std::size_t m = 0; !ours && m < members.size(); ++m) ours = SplitLine(Text(lines_[members[m]])).name == base;
      // A long name's temporary name is shortened and names no file: it is ours when it
      // is the temporary name of a name the folder holds or registers.
      if (!ours && IsShortenedCopyTemporaryName(name)) {
        for (std::size_t i = 0; !ours && i < source.in_order.size(); ++i)
          ours = IsCopyTemporaryFor(name, source.in_order[i]->name);
        for (std::size_t m = 0; !ours && m < members.size(); ++m)
          ours = IsCopyTemporaryFor(name, SplitLine(Text(lines_[members[m]])).name);
      }
      if (ours) leftovers.push_back(name);
    }
    for (const std::string& name : leftovers) {
      const std::string path = Join(dest_folder, name);
      (void)ctx_.fs.SetAttributes(path, 0);
      if (!ctx_.fs.DeleteFile(path)) continue;
      const FileInfo* gone = dest->Find(name);
      std::erase(dest->in_order, gone);
      dest->by_name.erase(name);
    }
  }

  // A copy is up to date when its time (as the destination's file system keeps it) and
  // its size are the source's. A size that differs under an equal time is a copy torn by
  // a power loss: it is copied again.
  bool SameCopy(const FileInfo& source, const FileInfo& copy) const {
    return source.size == copy.size && time_rule_.Matches(source.last_write, copy.last_write);
  }

  void DeleteCopy(const std::string& dest_path) {
    FileInfo info;
    if (!ctx_.fs.GetInfo(dest_path, &info) || info.is_directory()) return;
    if (info.attributes & (attr::kReadOnly | attr::kHidden | attr::kSystem))
      (void)ctx_.fs.SetAttributes(dest_path, 0);
    (void)ctx_.fs.DeleteFile(dest_path);  // a copy that cannot be deleted is not reported
  }

  void RegisteredFile(const Line& l, const std::string& source_path, const std::string& dest_path,
                      const FileInfo& src, Listing& dest) {
    FileInfo dst;
    const std::string name = source_path.substr(sjis::LastSeparator(source_path) + 1);
    const Lookup found = Find(dest, dest_path, name, /*fallback=*/true, &dst);
    if (found == Lookup::Unreadable) return;
    if (found == Lookup::Found) {
      if (SameCopy(src, dst)) return;
      if (ctx_.settings.mail_option == 1 && dest_path.size() >= 4 &&
          dest_path.compare(dest_path.size() - 4, 4, ".eml") == 0)
        return;
    }
    if (RefusedBySize(src.size, source_path) || RefusedAsCloudOnly(src, source_path)) return;
    if (found == Lookup::Found) {
      std::uint64_t recorded = 0;
      (void)ReadSizeField(Text(l), &recorded);
      running_total_ += static_cast<std::int64_t>(src.size) - static_cast<std::int64_t>(recorded);
      if (ctx_.settings.free_space_check && running_total_ > static_cast<std::int64_t>(free_space_)) {
        ctx_.report.AddUpdateNoSpace(root_, source_path);
        return;
      }
    }
    // The line records the size of what is copied, also when the copy is missing: a
    // copy that failed after the file was listed would otherwise leave the list with
    // the size the file had then.
    WriteSizeField(l, src.size);
    Copy(l, source_path, dest_path, src.last_write, mode_ == SyncMode::SingleFiles, &dest);
  }

  // Rewrites the 13 size digits in place; the type digit and the LF are never touched.
  // A hand-edited line whose field is not whole is left as it is: its last 13 bytes may
  // be its name.
  void WriteSizeField(const Line& l, std::uint64_t size) {
    const std::string digits = SizeField(size);
    if (SplitLine(Text(l)).tail.size() != 1 + kSizeDigits) return;
    list_.text.replace(l.offset + l.length - kSizeDigits, kSizeDigits, digits);
  }

  // The copy of one line's file. Without a stamp the copy gets the source's time as read
  // just before copying.
  void Copy(const Line& l, const std::string& source_path, const std::string& dest_path,
            std::optional<FileTime> stamp, bool space_test, Listing* dest) {
    std::uint64_t size = 0;
    (void)ReadSizeField(Text(l), &size);
    // A hand-edited new-file line may name a file the destination cannot hold.
    if (RefusedBySize(size, source_path)) return;
    running_total_ += static_cast<std::int64_t>(size);
    if (space_test && ctx_.settings.free_space_check && running_total_ > static_cast<std::int64_t>(free_space_)) {
      ctx_.report.AddCopyNoSpace(root_, source_path);
      return;
    }
    ctx_.hooks.CopyStarting(source_path, static_cast<std::uint32_t>(size / kMiB));
    CopyOptions options;
    options.cancel = &ctx_.flags.cancel;
    options.stamp = stamp;
    if (dest) options.destination_present = dest->Find(dest_path.substr(sjis::LastSeparator(dest_path) + 1)) != nullptr;
    options.progress = [this](std::uint64_t done, std::uint64_t) {
      ctx_.hooks.CopyProgress(done);
      if (ctx_.hooks.AbortKeysHeldDuringCopy()) ctx_.flags.abort = 1;
      if (ctx_.flags.abort.load() != 0) ctx_.flags.cancel = 1;
    };
    FileInfo copied;
    const Status s = CopyFileReplacing(ctx_.fs, source_path, dest_path, options, &copied);
    ctx_.hooks.CopyEnded();
    if (s) {
      ++result_.copied;
      written_.insert(dest_path);
      // The new-file search of the folder modes meets the copy again and must see it made,
      // with the time as the destination keeps it.
      copied.last_write = time_rule_.Stored(copied.last_write);
      if (dest && mode_ != SyncMode::SingleFiles) dest->by_name[copied.name] = copied;
      return;
    }
    ++result_.copy_failures;
    ctx_.report.AddCopyFailed(ctx_.fs.ErrorMessage(s.code), source_path.substr(0, 2) + "\\", dest_path);
  }

  // ---- phase 1a: new and changed files in a registered folder -------------------------

  void NewFileSearch(const std::string& folder, const std::vector<std::size_t>& members, const Listing& source,
                     const Listing& dest) {
    const Line& first = lines_[members.front()];
    const bool first_is_marker = IsEmptyFolderMarkerLine(Text(first));
    std::unordered_set<std::string_view> listed;
    listed.reserve(members.size());
    for (std::size_t m : members) listed.insert(SplitLine(Text(lines_[m])).name);
    for (const FileInfo* e : source.in_order) {
      if (e->is_directory() || IsSkippedName(e->name)) continue;
      const NewFile found = ConsiderNewFile(folder, *e, dest);
      // A file the list does not name whose copy is up to date (a file moved back where a
      // differential backup kept its copy) is named now: a mirror deletes only what it names.
      const bool named_again = found == NewFile::Unchanged && listed.count(e->name) == 0;
      if (named_again) AddListLine(MakeRegistrationLine('2', folder, e->name, type_, e->size));
      // The folder holds a file again: its empty-folder marker goes.
      if ((found == NewFile::Listed || named_again) && first_is_marker) Mark(first, '0');
    }
  }

  enum class NewFile { Listed, Unchanged, Refused };

  // A file of a source folder that the list does not hold yet: a new line "1" to copy, or
  // no line when its copy is up to date (Unchanged) or it cannot be taken (reported).
  NewFile ConsiderNewFile(const std::string& folder, const FileInfo& e, const Listing& dest) {
    const std::string source_path = Join(folder, e.name);
    if (!IsContainedSource(folder, e.name)) {
      ctx_.report.AddAccessDenied(source_path);
      return NewFile::Refused;
    }
    const std::string dest_path = DestinationPath(target_, source_path);
    if (!PathFitsSystem(dest_path)) {
      ctx_.report.AddPathTooLong(dest_path);
      return NewFile::Refused;
    }
    FileInfo dst;
    std::uint64_t old_size = 0;
    const Lookup found = Find(dest, dest_path, e.name, /*fallback=*/true, &dst);
    if (found == Lookup::Unreadable) return NewFile::Refused;
    if (found == Lookup::Found) {
      if (SameCopy(e, dst)) return NewFile::Unchanged;
      old_size = dst.size;
    }
    if (RefusedBySize(e.size, source_path) || RefusedAsCloudOnly(e, source_path)) return NewFile::Refused;
    running_total_ += static_cast<std::int64_t>(e.size) - static_cast<std::int64_t>(old_size);
    if (ctx_.settings.free_space_check && running_total_ > static_cast<std::int64_t>(free_space_)) {
      ctx_.report.AddNewFileNoSpace(root_, source_path);
      return NewFile::Refused;
    }
    new_entries_.push_back({new_text_.size(), folder, e.name, e.size, e.last_write,
                            walk_roots_.empty() || !in_walk_ ? kNoRoot : walk_roots_.size() - 1, found == Lookup::Missing});
    AddListLine(MakeRegistrationLine('1', folder, e.name, type_, e.size));
    return NewFile::Listed;
  }

  void AddListLine(std::string line) {
    list_.slot_width = std::max(list_.slot_width, line.size() + 4);
    AddNewLine(std::move(line));
  }

  // A cloud placeholder whose contents are not on this computer is never opened (that
  // would download it): it is reported while its backup is not up to date.
  bool RefusedAsCloudOnly(const FileInfo& e, const std::string& source_path) {
    if (!IsCloudOnly(e)) return false;
    ctx_.report.AddNotOnThisComputer(source_path);
    return true;
  }

  // ---- phase 1b: subfolders of a registration that follows its tree ----------------------

  // A subfolder without a group of its own is new to the list (made, renamed or moved
  // since the last run): it is walked as a registration walks, its files listed as new
  // lines and copied in this pass. Folders the user left out have a group (an exclusion
  // line) and are never entered.
  void FollowSubfolders(const std::string& folder, const Listing& source) {
    for (const FileInfo* e : source.in_order) {
      if (Aborted()) return;
      if (!e->is_directory() || IsSkippedName(e->name) || IsFolderLink(*e)) continue;
      const std::string path = Join(folder, e->name);
      if (group_folders_.count(path) > 0 || OtherTypes().trees.count(path) > 0 ||
          IsInsideDestination(ctx_.settings.destination_folders, path))
        continue;
      if (!walk_) walk_.emplace(ctx_.fs, ctx_.settings.destination_folders);
      NewFolderWalk visitor(*this);
      walk_roots_.push_back(path);
      walk_->Walk(path, visitor);
    }
  }

  class NewFolderWalk final : public TreeWalk::Visitor {
   public:
    explicit NewFolderWalk(SyncPass& pass) : pass_(pass) {}
    void Listed(const std::string& folder, Status listed, const std::vector<FileInfo>& entries) override {
      pass_.in_walk_ = true;
      pass_.NewFolder(folder, listed, entries);
      pass_.in_walk_ = false;
    }
    // Another type's tree is walked by that type: its new files and subfolders are its own.
    bool Admit(const std::string& path) override {
      return pass_.group_folders_.count(path) == 0 && pass_.OtherTypes().trees.count(path) == 0;
    }
    bool KeepGoing() override { return !pass_.Aborted(); }
    bool Stopped() override { return pass_.Aborted(); }

   private:
    SyncPass& pass_;
  };

  // One folder of a walk: its files as new lines (a copy already up to date as a line "2"),
  // or an empty-folder marker when it gives none. A file another type of this destination
  // registers stays that type's: two types never write the same copy.
  void NewFolder(const std::string& folder, Status listed, std::vector<FileInfo> entries) {
    if (!listed) {
      ctx_.report.AddSystem(ctx_.fs.ErrorMessage(listed.code), folder + "\\");
      return;
    }
    // A folder another folder type registers is that type's, new files and all (a type
    // that runs later would otherwise find them taken); its subfolders may still be ours.
    if (OtherTypes().folder_types.count(folder) > 0) return;
    std::sort(entries.begin(), entries.end(), [](const FileInfo& a, const FileInfo& b) { return a.name < b.name; });
    const std::string dest_folder = DestinationPath(target_, folder);
    Listing dest;
    dest.Read(ctx_.fs, Listing::ListingPath(dest_folder));
    std::size_t taken = 0;
    for (const FileInfo& e : entries) {
      if (e.is_directory() || IsSkippedName(e.name)) continue;
      if (OtherTypes().files.count(std::string(folder) + '\t' + e.name) > 0) continue;
      switch (ConsiderNewFile(folder, e, dest)) {
        case NewFile::Listed: ++taken; break;
        case NewFile::Unchanged:
          AddListLine(MakeRegistrationLine('2', folder, e.name, type_, e.size));
          ++taken;
          break;
        case NewFile::Refused: break;
      }
    }
    if (taken == 0) {
      if (OtherTypes().folders.count(folder) > 0) return;
      AddListLine(MakeRegistrationLine('2', folder, kEmptyFolderMarker, type_, 0));
    }
    // The copies go into it in phase 4; an empty folder is kept as one. It is made after
    // the moves: a folder's old copy moved to its place brings it.
    if (!dest.status) new_folders_.push_back(dest_folder);
  }

  // What the other four types of this destination register, read once a pass when a walk
  // first needs it: their file keys (folder, TAB, name) and their folders; of these, the
  // folders of the folder types and those of the types that follow their tree.
  struct OtherRegistrations {
    std::unordered_set<std::string> files;
    std::unordered_set<std::string> folders;
    std::unordered_set<std::string> folder_types;
    std::unordered_set<std::string> trees;
  };
  const OtherRegistrations& OtherTypes() {
    if (other_types_) return *other_types_;
    other_types_.emplace();
    for (char digit : kTypeDigits) {
      if (digit == type_) continue;
      ListBuffer other;
      bool found = false;
      if (!ReadListFile(ctx_.fs, ListFileName(target_.drive, target_.folder, digit), &other, &found) || !found) continue;
      ForEachLine(other.text, [&](std::string_view line, std::size_t) {
        const LineParts p = SplitLine(line);
        if (!p.well_formed || p.name == kExclusionMarker) return;
        other_types_->folders.emplace(p.folder);
        if (digit != TypeDigit(RegType::File)) other_types_->folder_types.emplace(p.folder);
        if (FollowsTree(digit)) other_types_->trees.emplace(p.folder);
        if (p.name != kEmptyFolderMarker) other_types_->files.emplace(LineKey(line));
      });
    }
    return *other_types_;
  }

  // ---- phase 2: compaction --------------------------------------------------------------

  void Compact() {
    if (marked_ == 0) return;
    SortLines(&list_);
    std::string kept;
    kept.reserve(list_.text.size());
    std::size_t count = 0;
    ForEachLine(list_.text, [&](std::string_view line, std::size_t) {
      if (!line.empty() && line[0] == '0') {
        ++result_.dropped;
        return;
      }
      kept.append(line);
      kept.push_back('\n');
      ++count;
    });
    list_.text.swap(kept);
    list_.line_count = count;
  }

  // ---- phase 3: merge of the new-file list ----------------------------------------------

  std::size_t MergeNewFiles() {
    if (add_file_) (void)add_file_->Close();
    add_file_.reset();
    if (del_file_ && !del_file_->Close()) deletions_allowed_ = false;
    del_file_.reset();
    if (new_count_ == 0) return 0;
    if (new_count_ > 1) {
      SortLines(&new_text_);
      MarkRepeatedLines(&new_text_);
      SortLines(&new_text_);
    }
    std::size_t merged = 0, merged_new_files = 0;
    ForEachLine(new_text_, [&](std::string_view line, std::size_t) {
      if (line.empty() || line[0] == '0') return;
      list_.text.append(line);
      list_.text.push_back('\n');
      ++merged;
      if (line[0] == '1') ++merged_new_files;
    });
    list_.line_count += merged;
    result_.new_lines = merged;
    SortLines(&list_);
    return merged_new_files;
  }

  // ---- phase 4: copy of the new files ---------------------------------------------------

  void CopyNewFiles(std::size_t merged) {
    std::size_t number = 0;
    std::size_t pos = 0;
    while (pos < list_.text.size() && list_.text[pos] == '1') {
      std::size_t end = list_.text.find('\n', pos);
      if (end == std::string::npos) end = list_.text.size();
      const Line l{pos, end - pos};
      if (Aborted()) {
        // Not copied now: the next run copies them as missing at the destination.
        Mark(l, '2');
        pos = end + 1;
        continue;
      }
      const LineParts p = SplitLine(Text(l));
      if (!Usable(p)) {  // a stored line that never was a new file: reported in phase 1
        pos = end + 1;
        continue;
      }
      if (p.name == kEmptyFolderMarker) {  // a hand-edited "1" marker: there is no file to copy
        Mark(l, '2');
        pos = end + 1;
        continue;
      }
      ShowProgress(++number, merged);
      const std::string source_path = Join(p.folder, p.name);
      // Stamped with the time read just before the copy: a file that changes while it is
      // copied is seen as changed on the next run.
      Copy(l, source_path, DestinationPath(target_, source_path), std::nullopt, false, nullptr);
      Mark(l, '2');
      pos = end + 1;
    }
  }

  // ---- phase 5: removal of the folders of vanished sources (mirror) ---------------------

  // Their copies are gone already; a folder goes only once it is empty, deepest first, so
  // that a parent emptied by its subfolders' removal goes too. Never a whole tree.
  void DeleteFolders() {
    if (!deletions_allowed_) return;
    std::vector<std::string> folders = deletions_;
    // A subfolder sorts after its parent (the parent is a prefix): reversed, it comes first.
    std::sort(folders.begin(), folders.end(), std::greater<>());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    for (const std::string& folder : folders) {
      if (!IsDeletableBackupFolder(target_, folder)) continue;
      if (ctx_.fs.RemoveEmptyFolder(folder)) ++result_.folders_deleted;
    }
  }

  RunContext& ctx_;
  ListBuffer& list_;
  const char type_;
  const SyncMode mode_;
  const SyncTarget& target_;
  const std::string root_;
  const std::uint64_t free_space_;
  std::string file_system_;
  DestinationTimeRule time_rule_;
  std::vector<Line> lines_;
  std::unordered_set<std::string> group_folders_;  // every folder with a line of its own
  std::unordered_set<std::string> excluded_;       // folders the user left out
  std::optional<TreeWalk> walk_;                   // one a pass: it never enters a folder twice
  std::optional<OtherRegistrations> other_types_;
  std::vector<std::string> doomed_copies_;     // copies of what the source lost, deleted last
  std::vector<std::string> dropped_for_loss_;  // their lines, kept back by a pass cut short
  std::unordered_set<std::string> written_;    // copies this pass made
  // What the moves are judged by: new files listed this pass, the folders walked, the
  // registered folders found gone and the files gone from folders that are still there.
  static constexpr std::size_t kNoRoot = static_cast<std::size_t>(-1);
  struct NewEntry {
    std::size_t offset;  // of its line in new_text_
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
  };
  struct GoneFile {
    char drive;
    std::string dest_path, name;
    std::uint64_t size;
    FileTime time;
  };
  std::vector<NewEntry> new_entries_;
  std::vector<std::string> walk_roots_;
  bool in_walk_ = false;
  std::vector<Vanished> vanished_;
  std::vector<GoneFile> gone_files_;
  std::vector<std::string> new_folders_;
  std::vector<std::pair<std::string, std::string>> moved_folders_;  // source folder, its new place
  std::int64_t running_total_ = 0;
  std::size_t marked_ = 0;
  bool aborted_ = false;
  std::unique_ptr<WritableFile> add_file_, del_file_;
  bool deletions_allowed_ = true;
  std::string new_text_;
  std::size_t new_count_ = 0;
  std::vector<std::string> deletions_;
  std::map<DriveLetter, DriveLosses> losses_;
  SyncResult result_;
  std::optional<std::pair<std::size_t, std::size_t>> progress_pending_;  // done, total
};

}  // namespace

SyncResult Synchronise(RunContext& ctx, ListBuffer& list, char type_digit, const SyncTarget& target,
                       std::uint64_t free_space) {
  SyncResult result = SyncPass(ctx, list, type_digit, target, free_space).Run();
  result.aborted = ctx.flags.abort.load() != 0;
  return result;
}

}  // namespace bk
