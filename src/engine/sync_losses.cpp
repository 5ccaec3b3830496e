// What the source lost: held back by the guard, or deleted once the new copies are made.
#include "engine/sync_pass.hpp"

#include <algorithm>
#include <functional>

#include "common/destination_table.hpp"
#include "common/list_sort.hpp"
#include "platform/file_copy.hpp"
#include "common/registration_list.hpp"

namespace bk::pass {

void SyncPass::FollowLosses() {
  for (auto& [letter, losses] : losses_.by_drive) {
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
    for (const std::string& copy : losses.copies) deletions_.doomed_copies.push_back(copy);
    for (std::size_t m : losses.lines) DropForLoss(m);
    for (std::string& marker : losses.markers) AddNewLine(std::move(marker));
    for (std::string& folder : losses.folders) AddDeletion(std::move(folder));
    // Without a deletion list that could be written a mirror keeps vanished folders,
    // copies and lines alike, so that a later pass follows the deletion whole.
    if (mode_ == SyncMode::Mirror && !deletions_.allowed) continue;
    for (const std::string& copy : losses.folder_copies) {
      deletions_.doomed_copies.push_back(copy);
      deletions_.doomed_copies.push_back(CopyTemporaryName(copy));  // a crash's leftover would keep the folder
    }
    for (std::size_t m : losses.folder_lines) DropForLoss(m);
  }
}

// A line whose source is gone leaves the list; its text is kept until the pass ends, so
// that a pass cut short can keep it (see DeleteLostCopies).
void SyncPass::DropForLoss(std::size_t m) {
  if (list_.text[index_.lines[m].offset] == '0') return;
  deletions_.dropped_lines.emplace_back(Text(index_.lines[m]));
  Mark(index_.lines[m], '0');
}

// The copies of what the source lost go after the new copies are made: a folder renamed
// at the source has its copies under the new name before those under the old name go.
// A pass cut short (Ctrl + Shift) deletes nothing and keeps those lines, so that the
// next run, which makes the new copies, deletes the old ones then. A copy this pass
// wrote is never deleted (two sources on two drives can name one copy).
void SyncPass::DeleteLostCopies() {
  if (Aborted()) {
    if (deletions_.dropped_lines.empty()) return;
    // A file line of a folder whose copy moved names the copy at its new place: the
    // next run deletes it there if its source is gone (the walk listed the new tree's
    // folders already).
    for (const std::string& line : deletions_.dropped_lines) {
      const LineParts p = SplitLine(line);
      std::string folder(p.folder);
      for (const auto& [from, to] : moves_.folders)
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
    list_.line_count += deletions_.dropped_lines.size();
    result_.dropped -= std::min(result_.dropped, deletions_.dropped_lines.size());
    SortLines(&list_);
    return;
  }
  for (const std::string& copy : deletions_.doomed_copies)
    if (written_.count(copy) == 0) DeleteCopy(copy);
}

void SyncPass::DeleteCopy(const std::string& dest_path) {
  FileInfo info;
  if (!ctx_.fs.GetInfo(dest_path, &info) || info.is_directory()) return;
  if (info.attributes & (attr::kReadOnly | attr::kHidden | attr::kSystem))
    (void)ctx_.fs.SetAttributes(dest_path, 0);
  (void)ctx_.fs.DeleteFile(dest_path);  // a copy that cannot be deleted is not reported
}

// Their copies are gone already; a folder goes only once it is empty, deepest first, so
// that a parent emptied by its subfolders' removal goes too. Never a whole tree.
void SyncPass::DeleteFolders() {
  if (!deletions_.allowed) return;
  std::vector<std::string> folders = deletions_.folders;
  // A subfolder sorts after its parent (the parent is a prefix): reversed, it comes first.
  std::sort(folders.begin(), folders.end(), std::greater<>());
  folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
  for (const std::string& folder : folders) {
    if (!IsDeletableBackupFolder(target_, folder)) continue;
    if (ctx_.fs.RemoveEmptyFolder(folder)) ++result_.folders_deleted;
  }
}

}  // namespace bk::pass
