#include "engine/tree_walk.hpp"

#include "platform/shift_jis.hpp"

namespace bk {

bool IsFolderLink(const FileInfo& entry) { return entry.link == LinkKind::Folder; }

bool IsSystemJunction(const FileInfo& entry) {
  constexpr std::uint32_t kHiddenSystem = attr::kHidden | attr::kSystem;
  return IsFolderLink(entry) && (entry.attributes & kHiddenSystem) == kHiddenSystem;
}

bool IsCloudOnly(const FileInfo& entry) {
  return !entry.is_directory() && (entry.attributes & (attr::kRecallOnOpen | attr::kRecallOnDataAccess)) != 0;
}

bool IsInsideDestination(const std::vector<std::string>& destination_folders, std::string_view path) {
  // Drive letters and folder names compare as the file system compares them.
  for (const std::string& d : destination_folders) {
    if (d.empty() || path.size() < d.size()) continue;
    if (path.size() > d.size() && path[d.size()] != '\\') continue;
    if (sjis::EqualFoldingLetterCase(path.substr(0, d.size()), d)) return true;
  }
  return false;
}

TreeWalk::TreeWalk(FileSystem& fs, std::vector<std::string> destination_folders)
    : fs_(fs), destinations_(std::move(destination_folders)) {}

bool TreeWalk::EnteredBefore(const std::string& folder) {
  FolderId id;
  if (!fs_.GetFolderId(folder.size() == 2 ? folder + "\\" : folder, &id)) return false;
  return !entered_.emplace(id.volume, id.index).second;
}

void TreeWalk::Walk(const std::string& folder, Visitor& visitor) {
  (void)EnteredBefore(folder);
  WalkFolder(folder, visitor);
}

void TreeWalk::WalkFolder(const std::string& folder, Visitor& visitor) {
  std::vector<FileInfo> entries;
  const Status listed = fs_.ListFolder(folder.size() == 2 ? folder + "\\" : folder, &entries);
  visitor.Listed(folder, listed, entries);
  if (!listed || visitor.Failed()) return;
  for (const FileInfo& entry : entries) {
    if (IsSkippedName(entry.name)) continue;
    if (entry.is_directory()) {
      const std::string path = folder + '\\' + entry.name;
      if (IsFolderLink(entry)) {
        if (!IsSystemJunction(entry)) visitor.LinkPassed(path, entry);
      } else if (IsInsideDestination(destinations_, path)) {
        visitor.DestinationPassed(path);
      } else if (visitor.Admit(path) && !EnteredBefore(path)) {
        if (visitor.Stopped()) {
          std::vector<FileInfo> inner;
          const Status s = fs_.ListFolder(path, &inner);
          visitor.Listed(path, s, inner);
        } else {
          WalkFolder(path, visitor);
        }
        if (visitor.Failed()) return;
      }
    }
    if (!visitor.KeepGoing()) return;
  }
}

}  // namespace bk
