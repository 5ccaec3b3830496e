// Folders and files moved at the source: their copies moved at the destination.
#include "engine/sync_pass.hpp"

#include <algorithm>

#include "common/folder_exclusion.hpp"
#include "common/registration_list.hpp"

namespace bk::pass {

// A registered folder found gone and a new folder of the same list on the same drive
// that holds the same files (name, size and time, the test of "unchanged") is that
// folder moved or renamed: its copy is moved to the new place with one rename, before
// anything is copied or deleted. What does not match is then copied or deleted as
// usual. A file gone from one folder and new in another, with the same name, size and
// time, has its copy moved likewise. A move that fails, or whose place is taken, leaves
// everything to the copies and deletions that follow.
void SyncPass::FollowMoves() {
  if (!losses_.vanished.empty()) {
    for (std::size_t r = 0; r < found_.walk_roots.size(); ++r) {
      std::vector<PlaceFile> files;
      for (std::size_t i = 0; i < found_.entries.size(); ++i) {
        const NewEntry& e = found_.entries[i];
        if (e.root == r && !e.moved) files.push_back({e.folder, e.name, e.size, e.time, i});
      }
      MoveTree(found_.walk_roots[r], &files);
    }
    for (const std::string& top : FreshTops()) {
      std::vector<PlaceFile> files = FreshFilesBelow(top);
      MoveTree(top, &files);
    }
  }
  MoveFiles();
}

bool SyncPass::IsAtOrBelow(const std::string& path, const std::string& folder) {
  return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                            path[folder.size()] == '\\');
}

// The copies of a moved folder's files must be found at their old place, listed once per
// folder and pass.
const FileInfo* SyncPass::OldCopy(const std::string& dest_folder, const std::string& name) {
  const FileInfo* copy = OldListing(dest_folder).Find(name);
  return copy && !copy->is_directory() ? copy : nullptr;
}

const Listing& SyncPass::OldListing(const std::string& dest_folder) {
  auto it = moves_.old_listings.find(dest_folder);
  if (it == moves_.old_listings.end()) {
    it = moves_.old_listings.emplace(dest_folder, Listing()).first;
    it->second.Read(ctx_.fs, Listing::ListingPath(dest_folder));
  }
  return it->second;
}

// A new tree is tried at its top, then folder by folder below it, shallow first: a folder
// moved into a folder made at the same time arrives below a new one. Below a folder that
// moved nothing else is tried.
void SyncPass::MoveTree(const std::string& top, std::vector<PlaceFile>* files) {
  // Sorted by "folder\", the files at or below a folder stand together: each place finds
  // its own as one range, so a big new tree costs its files times its depth, not its
  // files times its folders.
  std::sort(files->begin(), files->end(), [](const PlaceFile& a, const PlaceFile& b) {
    return a.folder + '\\' < b.folder + '\\';
  });
  std::vector<std::string> keys;
  keys.reserve(files->size());
  for (const PlaceFile& f : *files) keys.push_back(f.folder + '\\');
  std::set<std::string> folders;
  for (const PlaceFile& f : *files)
    for (std::string folder = f.folder; IsAtOrBelow(folder, top); folder = std::string(ParentFolder(folder))) {
      if (!folders.insert(folder).second || folder == top) break;
    }
  std::vector<std::string> places(folders.begin(), folders.end());
  std::stable_sort(places.begin(), places.end(), [](const std::string& a, const std::string& b) {
    return std::count(a.begin(), a.end(), '\\') < std::count(b.begin(), b.end(), '\\');
  });
  std::vector<std::string> moved;
  for (const std::string& place : places) {
    if (Aborted()) return;
    if (std::any_of(moved.begin(), moved.end(), [&](const std::string& m) { return IsAtOrBelow(place, m); }))
      continue;
    const std::string key = place + '\\';
    const auto first = std::lower_bound(keys.begin(), keys.end(), key);
    auto last = first;
    while (last != keys.end() && last->compare(0, key.size(), key) == 0) ++last;
    std::vector<std::size_t> entries;
    for (auto it = first; it != last; ++it) {
      const std::size_t i = static_cast<std::size_t>(it - keys.begin());
      if (!(*files)[i].moved) entries.push_back(i);
    }
    if (MovePlace(place, entries, files)) moved.push_back(place);
  }
}

// Moves the copy of the vanished folder that the new folder at place is, if one is;
// entries are the files at or below place not moved yet.
bool SyncPass::MovePlace(const std::string& place, const std::vector<std::size_t>& entries,
                         std::vector<PlaceFile>* files) {
  if (entries.empty()) return false;
  // Half of the files must match a vanished copy by name at least: most new folders
  // are no move and are passed over without a question to the system.
  std::size_t named = 0;
  for (std::size_t i : entries) named += VanishedNames().count((*files)[i].name);
  if (!EnoughAlike(named, entries.size())) return false;
  const std::string new_dest = DestinationPath(target_, place);
  FileInfo there;
  if (!IsNotFound(ctx_.fs.GetInfo(new_dest, &there))) return false;  // the new place is taken (or unknown)

  // The best vanished folder of the same drive that is not below another vanished one.
  Vanished* best = nullptr;
  std::vector<std::size_t> best_matched;
  for (Vanished& old : losses_.vanished) {
    if (DriveLetter(old.folder[0]) != DriveLetter(place[0]) || old.taken ||
        IsVanished(std::string(ParentFolder(old.folder))) || HoldsExclusion(old.folder))
      continue;
    const std::string old_dest = DestinationPath(target_, old.folder);
    std::vector<std::size_t> matched;
    for (std::size_t i : entries) {
      const PlaceFile& f = (*files)[i];
      const FileInfo* copy = OldCopy(old_dest + Below(f.folder, place), f.name);
      if (copy && copy->size == f.size && time_rule_.Matches(f.time, copy->last_write)) matched.push_back(i);
    }
    if (matched.size() > best_matched.size() && EnoughAlike(matched.size(), entries.size()) &&
        MovableCopy(&old)) {
      best = &old;
      best_matched = std::move(matched);
    }
  }
  if (!best) return false;

  const std::string old_dest = DestinationPath(target_, best->folder);
  std::uint64_t bytes = 0;
  for (std::size_t i : best_matched) bytes += (*files)[i].size;
  ctx_.hooks.CopyStarting(place, static_cast<std::uint32_t>(bytes / kMiB));
  (void)ctx_.fs.CreateFolderChain(std::string(ParentFolder(new_dest)));
  const Status moved = ctx_.fs.Rename(old_dest, new_dest);
  ctx_.hooks.CopyEnded();
  if (!moved) return false;
  best->taken = true;
  ++result_.folders_moved;

  for (std::size_t i : best_matched) {
    PlaceFile& f = (*files)[i];
    f.moved = true;
    if (f.entry != kNoEntry) {
      found_.entries[f.entry].moved = true;
      new_lines_.text[found_.entries[f.entry].offset] = '2';
    }
    ++result_.files_moved;
  }
  // Every new file of the folder, matched or not, has a place the copy phase fills.
  std::set<std::string> taken_places;
  for (std::size_t i : entries) taken_places.insert(Join(Below((*files)[i].folder, place), (*files)[i].name));
  FollowMovedFolder(best->folder, place, taken_places, best_matched.size());
  return true;
}

// The file names the vanished folders registered, gathered once a pass.
const std::unordered_set<std::string>& SyncPass::VanishedNames() {
  if (vanished_names_) return *vanished_names_;
  vanished_names_.emplace();
  for (const Vanished& v : losses_.vanished)
    for (std::size_t m : v.members) {
      const LineParts p = SplitLine(Text(index_.lines[m]));
      if (p.name != kEmptyFolderMarker) vanished_names_->emplace(p.name);
    }
  return *vanished_names_;
}

// Whether a vanished folder's copy may move, asked once a pass.
bool SyncPass::MovableCopy(Vanished* old) {
  if (!old->movable) old->movable = HoldsOnlyItsCopies(old->folder);
  return *old->movable;
}

void SyncPass::DeferGroup(const std::string& folder, const std::vector<std::size_t>& members, Listing source) {
  DeferredGroup d{folder, members, std::nullopt};
  found_.deferred_entries += source.by_name.size();
  if (found_.deferred_entries <= kDeferredListingEntries) d.source = std::move(source);
  found_.deferred_folders.insert(DestinationPath(target_, folder));
  found_.deferred.push_back(std::move(d));
}

Listing& SyncPass::SourceOf(DeferredGroup& d) {
  if (!d.source) {
    d.source.emplace();
    d.source->Read(ctx_.fs, Listing::ListingPath(d.folder));
  }
  return *d.source;
}

// The deferred folders whose parent is not one of them: each the top of a new tree.
std::vector<std::string> SyncPass::FreshTops() const {
  std::unordered_set<std::string> folders;
  for (const DeferredGroup& d : found_.deferred) folders.insert(d.folder);
  std::vector<std::string> tops;
  for (const DeferredGroup& d : found_.deferred)
    if (folders.count(std::string(ParentFolder(d.folder))) == 0) tops.push_back(d.folder);
  return tops;
}

// The registered files of the deferred groups at or below a folder, as the source has them.
std::vector<PlaceFile> SyncPass::FreshFilesBelow(const std::string& top) {
  std::vector<PlaceFile> files;
  for (DeferredGroup& d : found_.deferred) {
    if (!IsAtOrBelow(d.folder, top)) continue;
    const Listing& source = SourceOf(d);
    for (std::size_t m : d.members) {
      const LineParts p = SplitLine(Text(index_.lines[m]));
      if (p.name == kEmptyFolderMarker) continue;
      const FileInfo* e = source.Find(p.name);
      if (e && !e->is_directory()) files.push_back({d.folder, e->name, e->size, e->last_write, kNoEntry});
    }
  }
  return files;
}

// The deferred groups, synchronised as any other; a copy moved to their place is found
// up to date and left as it is.
void SyncPass::DeferredGroups() {
  for (DeferredGroup& d : found_.deferred) {
    if (aborted_) return;
    Listing dest;
    dest.Read(ctx_.fs, Listing::ListingPath(DestinationPath(target_, d.folder)));
    SyncGroup(d.folder, d.members, SourceOf(d), dest);
    d.source.reset();
  }
}

// The old folder's registrations went with the move: its copies moved are not lost (the
// guard does not count them), those the new folder does not hold are deleted at their
// new place, and its emptied folders there removed.
void SyncPass::FollowMovedFolder(const std::string& old_folder, const std::string& root, const std::set<std::string>& named,
                       std::size_t matched) {
  DriveLosses& losses = losses_.by_drive[DriveLetter(old_folder[0])];
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
    if (std::find(found_.folders.begin(), found_.folders.end(), moved) == found_.folders.end() &&
        found_.deferred_folders.count(moved) == 0)
      folders.push_back(std::move(moved));
  }
  losses.folders = std::move(folders);
  moves_.folders.push_back({old_folder, root});
}

// A move carries only what the list names: a destination folder that holds anything
// else (a copy kept of a folder left out, a file the user put there) stays where it is,
// and the new place gets copies.
bool SyncPass::HoldsOnlyItsCopies(const std::string& folder) {
  std::set<std::string> named_files, named_folders;
  for (const Vanished& v : losses_.vanished) {
    if (!IsAtOrBelow(v.folder, folder)) continue;
    const std::string relative = Below(v.folder, folder);
    named_folders.insert(relative);
    for (std::size_t m : v.members) {
      const LineParts p = SplitLine(Text(index_.lines[m]));
      if (p.name != kEmptyFolderMarker) named_files.insert(Join(relative, p.name));
    }
  }
  const std::string dest = DestinationPath(target_, folder);
  std::vector<std::string> pending{""};
  while (!pending.empty()) {
    const std::string relative = std::move(pending.back());
    pending.pop_back();
    const Listing& listing = OldListing(dest + relative);
    if (!listing.status) return false;
    for (const FileInfo* entry : listing.in_order) {
      const FileInfo& e = *entry;
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
bool SyncPass::HoldsExclusion(const std::string& folder) const {
  for (const std::string& excluded : index_.excluded)
    if (IsAtOrBelow(excluded, folder)) return true;
  return false;
}

bool SyncPass::IsVanished(const std::string& folder) const {
  for (const Vanished& v : losses_.vanished)
    if (v.folder == folder) return true;
  return false;
}

// A file gone from one registered folder and new in another of the same list.
void SyncPass::MoveFiles() {
  std::map<std::pair<std::string, std::uint64_t>, std::vector<std::size_t>> by_name_size;
  for (std::size_t i = 0; i < found_.entries.size(); ++i)
    if (!found_.entries[i].moved && found_.entries[i].missing_at_destination)
      by_name_size[{found_.entries[i].name, found_.entries[i].size}].push_back(i);
  for (const GoneFile& gone : losses_.gone_files) {
    const auto it = by_name_size.find({gone.name, gone.size});
    if (it == by_name_size.end()) continue;
    for (std::size_t i : it->second) {
      NewEntry& e = found_.entries[i];
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
      new_lines_.text[e.offset] = '2';
      ++result_.files_moved;
      DriveLosses& losses = losses_.by_drive[DriveLetter(gone.drive)];
      std::erase(losses.copies, gone.dest_path);
      if (losses.gone > 0) --losses.gone;
      break;
    }
  }
}

// The destination folders of newly walked folders that no move brought.
void SyncPass::MakeNewFolders() {
  for (const std::string& folder : found_.folders) {
    FileInfo there;
    if (IsNotFound(ctx_.fs.GetInfo(folder, &there))) (void)ctx_.fs.CreateFolderChain(folder);
  }
}

}  // namespace bk::pass
