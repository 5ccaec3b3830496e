// New files of registered folders, and the new subfolders of a tree.
#include "engine/sync_pass.hpp"

#include <algorithm>

#include "common/folder_exclusion.hpp"
#include "platform/path_limit.hpp"
#include "common/registration_list.hpp"

namespace bk::pass {

void SyncPass::NewFileSearch(const std::string& folder, const std::vector<std::size_t>& members, const Listing& source,
                   const Listing& dest) {
  const Line& first = index_.lines[members.front()];
  const bool first_is_marker = IsEmptyFolderMarkerLine(Text(first));
  std::unordered_set<std::string_view> listed;
  listed.reserve(members.size());
  for (std::size_t m : members) listed.insert(SplitLine(Text(index_.lines[m])).name);
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

// A file of a source folder that the list does not hold yet: a new line "1" to copy, or
// no line when its copy is up to date (Unchanged) or it cannot be taken (reported).
SyncPass::NewFile SyncPass::ConsiderNewFile(const std::string& folder, const FileInfo& e, const Listing& dest) {
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
  if (!space_.Reserve(static_cast<std::int64_t>(e.size) - static_cast<std::int64_t>(old_size))) {
    ctx_.report.AddNewFileNoSpace(root_, source_path);
    return NewFile::Refused;
  }
  found_.entries.push_back({new_lines_.text.size(), folder, e.name, e.size, e.last_write,
                          found_.walk_roots.empty() || !found_.in_walk ? kNoRoot : found_.walk_roots.size() - 1, found == Lookup::Missing});
  AddListLine(MakeRegistrationLine('1', folder, e.name, type_, e.size));
  return NewFile::Listed;
}

void SyncPass::AddListLine(std::string line) {
  list_.slot_width = std::max(list_.slot_width, line.size() + 4);
  AddNewLine(std::move(line));
}

// A cloud placeholder whose contents are not on this computer is never opened (that
// would download it): it is reported while its backup is not up to date.
bool SyncPass::RefusedAsCloudOnly(const FileInfo& e, const std::string& source_path) {
  if (!IsCloudOnly(e)) return false;
  ctx_.report.AddNotOnThisComputer(source_path);
  return true;
}

// A subfolder without a group of its own is new to the list (made, renamed or moved
// since the last run): it is walked as a registration walks, its files listed as new
// lines and copied in this pass. Folders the user left out have a group (an exclusion
// line) and are never entered.
void SyncPass::FollowSubfolders(const std::string& folder, const Listing& source) {
  for (const FileInfo* e : source.in_order) {
    if (Aborted()) return;
    if (!e->is_directory() || IsSkippedName(e->name) || IsFolderLink(*e)) continue;
    const std::string path = Join(folder, e->name);
    if (index_.group_folders.count(path) > 0 || OtherTypes().trees.count(path) > 0 ||
        IsInsideDestination(ctx_.settings.destination_folders, path))
      continue;
    if (!walk_) walk_.emplace(ctx_.fs, ctx_.settings.destination_folders);
    NewFolderWalk visitor(*this);
    found_.walk_roots.push_back(path);
    walk_->Walk(path, visitor);
  }
}

// One folder of a walk: its files as new lines (a copy already up to date as a line "2"),
// or an empty-folder marker when it gives none. A file another type of this destination
// registers stays that type's: two types never write the same copy.
void SyncPass::NewFolder(const std::string& folder, Status listed, std::vector<FileInfo> entries) {
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
  if (!dest.status) found_.folders.push_back(dest_folder);
}

const SyncPass::OtherRegistrations& SyncPass::OtherTypes() {
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

}  // namespace bk::pass
