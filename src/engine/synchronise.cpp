#include "engine/synchronise.hpp"

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "common/destination_table.hpp"
#include "common/folder_exclusion.hpp"
#include "common/registration_list.hpp"
#include "common/list_sort.hpp"
#include "platform/path_limit.hpp"
#include "platform/shift_jis.hpp"
#include "common/source_path.hpp"
#include "common/text_file.hpp"
#include "platform/destination_time.hpp"
#include "engine/sync_pass.hpp"
#include "engine/tree_walk.hpp"
#include "platform/file_copy.hpp"
#include "platform/wide.hpp"

namespace bk {

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

namespace pass {

SyncResult SyncPass::Run() {
  IndexLines();  // index_
  ReadDestinationKind();
  if (mode_ != SyncMode::SingleFiles) OpenWorkFiles();
  // Phase 1: the registered lines checked and copied, group by group; the new files
  // (new_lines_, found_) and what the source lost (losses_).
  RegisteredLines();
  ShowPendingProgress();
  // Phase 1c: found_ and losses_ give the moves (moves_); a moved file's new line turns
  // "2" and its loss is taken back.
  if (mode_ == SyncMode::Mirror && !aborted_ && ctx_.settings.detect_moves) FollowMoves();
  DeferredGroups();  // found_.deferred, as phase 1
  MakeNewFolders();  // found_.folders
  FollowLosses();    // losses_: lines dropped, deletions_ decided (or held back by the guard)
  Compact();
  const std::size_t merged = MergeNewFiles();  // new_lines_ into the list
  if (mode_ != SyncMode::SingleFiles) CopyNewFiles(merged);
  ShowPendingProgress();
  DeleteLostCopies();  // deletions_ (a pass cut short keeps their lines, under moves_)
  if (mode_ == SyncMode::Mirror && !Aborted()) DeleteFolders();
  RemoveTypeDuplicates(&list_);
  // A folder left out whose parent went from the list is nothing any walk would enter;
  // a list of exclusions alone is an empty list.
  if (DropStaleExclusions(&list_) > 0) SortLines(&list_);
  if (!HoldsRegistrations(list_.text)) list_.clear();
  return result_;
}

void SyncPass::Mark(const Line& l, char state) {
  if (list_.text[l.offset] != '0' && state == '0') ++marked_;
  list_.text[l.offset] = state;
}

void SyncPass::IndexLines() {
  index_.lines.reserve(list_.line_count);
  std::string_view previous_folder;
  bool any = false;
  ForEachLine(list_.text, [&](std::string_view line, std::size_t offset) {
    index_.lines.push_back({offset, line.size()});
    const LineParts p = SplitLine(line);
    if (!p.well_formed) {
      ++result_.files_in_list;  // as a line that is no marker always counted
      return;
    }
    const bool exclusion = p.name == kExclusionMarker;
    if (!exclusion && p.name != kEmptyFolderMarker) ++result_.files_in_list;
    // Every folder with a line of its own is a group of the list; a walk never enters it.
    // The lines of a folder stand together: one look a group.
    if (!any || p.folder != previous_folder) index_.group_folders.emplace(p.folder);
    previous_folder = p.folder;
    any = true;
    if (exclusion) index_.excluded.emplace(p.folder);
  });
}

// How the destination keeps times and sizes. A drive that does not tell its file
// system gets the rule of an unknown one (a second's tolerance, no size limit).
void SyncPass::ReadDestinationKind() {
  VolumeInfo volume;
  if (!ctx_.fs.GetVolumeInfo(root_, &volume)) volume.file_system.clear();
  file_system_ = volume.file_system;
  time_rule_ = DestinationTimeRule::For(file_system_);
}

// A file the destination's file system cannot hold (4 GiB or more on FAT) is not
// attempted: no copy, no temporary file, no free-space charge. It gets one report line
// per run, and its line stays, so it is copied once the destination can hold it.
bool SyncPass::RefusedBySize(std::uint64_t size, const std::string& source_path) {
  if (HoldsFileSize(time_rule_.kind, size)) return false;
  ctx_.report.AddTooLargeForFileSystem(root_, file_system_, source_path);
  return true;
}

// Both work files are made afresh for every pass. Without a deletion list that could be
// written the pass deletes nothing: a stale list must never be carried out.
void SyncPass::OpenWorkFiles() {
  if (Status s = CreateTextFile(ctx_.fs, kAddListPath, &new_lines_.file); !s) {
    new_lines_.file.reset();
    ctx_.report.AddSystem(ctx_.fs.ErrorMessage(s.code), kAddListPath);
  }
  if (mode_ != SyncMode::Mirror) {
    (void)CreateTextFile(ctx_.fs, kDeleteListPath, &deletions_.file);  // stays empty
    if (deletions_.file) (void)deletions_.file->Close();
    deletions_.file.reset();
    return;
  }
  if (Status s = CreateTextFile(ctx_.fs, kDeleteListPath, &deletions_.file); !s) {
    deletions_.file.reset();
    deletions_.allowed = false;
    ctx_.report.AddSystem(ctx_.fs.ErrorMessage(s.code), kDeleteListPath);
  }
}

void SyncPass::AddNewLine(std::string line) {
  new_lines_.text += line;
  ++new_lines_.count;
  if (new_lines_.text.size() - new_lines_.written >= NewLines::kBlock) WritePendingNewLines();
}

// add.tmp holds the new lines as found; a file that cannot be written is given up.
void SyncPass::WritePendingNewLines() {
  if (new_lines_.file && !new_lines_.file->Write(new_lines_.text.data() + new_lines_.written,
                                                 new_lines_.text.size() - new_lines_.written))
    new_lines_.file.reset();
  new_lines_.written = new_lines_.text.size();
}

void SyncPass::AddDeletion(std::string folder) {
  if (deletions_.file) {
    const std::string line = folder + "\n";
    if (!deletions_.file->Write(line.data(), line.size())) {
      deletions_.allowed = false;
      deletions_.file.reset();
    }
  }
  deletions_.folders.push_back(std::move(folder));
}

// The count of each file, as often as the window takes it; a count passed over waits
// in progress_pending_ for the next one or for the end of the phase.
void SyncPass::ShowProgress(std::size_t done, std::size_t total, bool now) {
  if (!now && done < total && !Aborted() && !ctx_.hooks.ProgressDue()) {
    progress_pending_ = {done, total};
    return;
  }
  progress_pending_.reset();
  ctx_.hooks.DrawProgressText(ProgressText(type_, done, total));
  ctx_.hooks.PumpOneMessage();
}

void SyncPass::ShowPendingProgress() {
  if (progress_pending_) ShowProgress(progress_pending_->first, progress_pending_->second, true);
}

void SyncPass::RegisteredLines() {
  std::size_t i = 0;
  while (i < index_.lines.size() && !aborted_) {
    const LineParts first = SplitLine(Text(index_.lines[i]));
    if (!Usable(first)) {
      ReportBrokenLine(index_.lines[i]);
      ++i;
      continue;
    }
    std::vector<std::size_t> members{i};
    std::size_t j = i + 1;
    for (; j < index_.lines.size(); ++j) {
      const LineParts p = SplitLine(Text(index_.lines[j]));
      if (!Usable(p)) {
        ReportBrokenLine(index_.lines[j]);
        continue;
      }
      if (p.folder != first.folder) break;
      members.push_back(j);
    }
    // A folder the user left out is never touched: its copies stay as they are.
    if (index_.excluded.count(std::string(first.folder)) == 0) Group(std::string(first.folder), members);
    i = j;
  }
}

// A line the pass may act on: both TABs, and a source that maps to a place inside the
// destination folder. Any other line is reported, kept as it is, and never acted on. An
// exclusion names no file, only its folder, which must be contained as any other.
bool SyncPass::Usable(const LineParts& p) {
  return p.well_formed && IsContainedSource(p.folder, p.name == kExclusionMarker ? kEmptyFolderMarker : p.name);
}

void SyncPass::ReportBrokenLine(const Line& l) {
  std::string_view text = Text(l);
  ctx_.report.AddAccessDenied(text.empty() ? text : text.substr(1));
}

// Whether a source drive answers at this moment. Asked afresh every time: a drive with
// a loose contact can vanish halfway through a pass, and from then on each of its
// folders answers "not found" as if it had been deleted.
Status SyncPass::AskDrive(DriveLetter letter) {
  FileInfo info;
  return ctx_.fs.GetInfo(letter.Root(), &info);
}

void SyncPass::Group(const std::string& folder, const std::vector<std::size_t>& members) {
  const std::string folder_path = folder + "\\";
  DriveLosses& losses = losses_.by_drive[DriveLetter(folder[0])];
  for (std::size_t m : members)
    if (!IsEmptyFolderMarkerLine(Text(index_.lines[m]))) ++losses.files;
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
  // A folder registered but never copied may be a folder renamed and dropped again: it
  // waits until every group is read, when the folders found gone are known.
  if (IsNotFound(dest.status) && DefersFreshGroups()) {
    DeferGroup(folder, members, std::move(source));
    return;
  }
  SyncGroup(folder, members, source, dest);
}

// The files of one group whose source folder is there: registered lines checked and
// copied, then new files and (for a tree) new subfolders.
void SyncPass::SyncGroup(const std::string& folder, const std::vector<std::size_t>& members, const Listing& source,
               Listing& dest) {
  const std::string dest_folder = DestinationPath(target_, folder);
  DriveLosses& losses = losses_.by_drive[DriveLetter(folder[0])];
  if (IsNotFound(dest.status)) (void)ctx_.fs.CreateFolderChain(dest_folder);
  RemoveLeftoverTemporaries(dest_folder, source, members, &dest);

  const bool folder_mode = mode_ != SyncMode::SingleFiles;
  bool marker_added = false;
  for (std::size_t m : members) {
    const Line& l = index_.lines[m];
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
              losses_.gone_files.push_back({folder[0], dest_path, name, copy->size, copy->last_write});
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
void SyncPass::ReadSide(Listing* side, std::string_view folder, const std::vector<std::string>* names) {
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
bool SyncPass::QueryByName(const std::vector<std::size_t>& members, std::vector<std::string>* names) const {
  if (members.size() > kQueryByNameLimit) return false;
  for (std::size_t m : members) {
    const LineParts p = SplitLine(Text(index_.lines[m]));
    if (p.name != kEmptyFolderMarker) names->emplace_back(p.name);
  }
  return true;
}

// Looks a name up in a folder listing. A name the listing does not hold is asked of the
// system once more (it matches names without regard to letter case).
Lookup SyncPass::Find(const Listing& listing, const std::string& path, const std::string& name, bool fallback,
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
void SyncPass::SourceFolderGone(const std::string& folder, const std::vector<std::size_t>& members,
                      DriveLosses* losses) {
  for (std::size_t m : members) {
    losses->folder_lines.push_back(m);
    const LineParts p = SplitLine(Text(index_.lines[m]));
    if (p.name == kEmptyFolderMarker) continue;
    ++losses->gone;
    if (mode_ == SyncMode::Mirror) losses->folder_copies.push_back(DestinationPath(target_, Join(folder, p.name)));
  }
  if (mode_ == SyncMode::Mirror) {
    losses->folders.push_back(DestinationPath(target_, folder));
    losses_.vanished.push_back(Vanished{folder, members, false, std::nullopt});
  }
}

void SyncPass::Compact() {
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

std::size_t SyncPass::MergeNewFiles() {
  WritePendingNewLines();
  if (new_lines_.file) (void)new_lines_.file->Close();
  new_lines_.file.reset();
  if (deletions_.file && !deletions_.file->Close()) deletions_.allowed = false;
  deletions_.file.reset();
  if (new_lines_.count == 0) return 0;
  if (new_lines_.count > 1) {
    SortLines(&new_lines_.text);
    MarkRepeatedLines(&new_lines_.text);
    SortLines(&new_lines_.text);
  }
  std::size_t merged = 0, merged_new_files = 0;
  ForEachLine(new_lines_.text, [&](std::string_view line, std::size_t) {
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

void SyncPass::CopyNewFiles(std::size_t merged) {
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

// A crash can leave a copy's temporary file beside it; it goes the next time its folder
// is worked on. Only temporaries of names this folder registers or holds are taken:
// any other dot-file belongs to the user.
void SyncPass::RemoveLeftoverTemporaries(const std::string& dest_folder, const Listing& source,
                               const std::vector<std::size_t>& members, Listing* dest) {
  if (!dest->status) return;
  std::vector<std::string> leftovers;
  for (const auto& [name, info] : dest->by_name) {
    std::string_view base;
    if (info.is_directory() || !IsCopyTemporaryName(name, &base)) continue;
    bool ours = source.Find(base) != nullptr;
    for (std::size_t m = 0; !ours && m < members.size(); ++m) ours = SplitLine(Text(index_.lines[members[m]])).name == base;
    // A long name's temporary name is shortened and names no file: it is ours when it
    // is the temporary name of a name the folder holds or registers.
    if (!ours && IsShortenedCopyTemporaryName(name)) {
      for (std::size_t i = 0; !ours && i < source.in_order.size(); ++i)
        ours = IsCopyTemporaryFor(name, source.in_order[i]->name);
      for (std::size_t m = 0; !ours && m < members.size(); ++m)
        ours = IsCopyTemporaryFor(name, SplitLine(Text(index_.lines[members[m]])).name);
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
bool SyncPass::SameCopy(const FileInfo& source, const FileInfo& copy) const {
  return source.size == copy.size && time_rule_.Matches(source.last_write, copy.last_write);
}

void SyncPass::RegisteredFile(const Line& l, const std::string& source_path, const std::string& dest_path,
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
    if (!space_.Reserve(static_cast<std::int64_t>(src.size) - static_cast<std::int64_t>(recorded))) {
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
void SyncPass::WriteSizeField(const Line& l, std::uint64_t size) {
  const std::string digits = SizeField(size);
  if (SplitLine(Text(l)).tail.size() != 1 + kSizeDigits) return;
  list_.text.replace(l.offset + l.length - kSizeDigits, kSizeDigits, digits);
}

// The copy of one line's file. Without a stamp the copy gets the source's time as read
// just before copying.
void SyncPass::Copy(const Line& l, const std::string& source_path, const std::string& dest_path,
          std::optional<FileTime> stamp, bool space_test, Listing* dest) {
  std::uint64_t size = 0;
  (void)ReadSizeField(Text(l), &size);
  // A hand-edited new-file line may name a file the destination cannot hold.
  if (RefusedBySize(size, source_path)) return;
  if (!space_.Reserve(static_cast<std::int64_t>(size)) && space_test) {
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

}  // namespace pass

SyncResult Synchronise(RunContext& ctx, ListBuffer& list, char type_digit, const SyncTarget& target,
                       std::uint64_t free_space) {
  SyncResult result = pass::SyncPass(ctx, list, type_digit, target, free_space).Run();
  result.aborted = ctx.flags.abort.load() != 0;
  return result;
}

}  // namespace bk
