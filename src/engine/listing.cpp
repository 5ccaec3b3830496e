#include "engine/listing.hpp"

#include <algorithm>
#include <utility>

#include "engine/tree_walk.hpp"

namespace bk {

std::string Join(std::string_view folder, std::string_view name) {
  std::string path(folder);
  path += '\\';
  path += name;
  return path;
}

void Listing::Read(FileSystem& fs, std::string_view folder) {
  std::vector<FileInfo> entries;
  status = fs.ListFolder(folder, &entries);
  by_name.reserve(entries.size());
  for (FileInfo& e : entries) {
    if (!e.is_directory() && !IsSkippedName(e.name)) has_file = true;
    by_name.emplace(e.name, std::move(e));
  }
  // Pointers into the map stay valid while nothing is erased.
  for (auto& [name, info] : by_name) in_order.push_back(&info);
  std::sort(in_order.begin(), in_order.end(), [](const FileInfo* a, const FileInfo* b) { return a->name < b->name; });
}

void Listing::Query(FileSystem& fs, std::string_view folder, const std::vector<std::string>& names) {
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

const FileInfo* Listing::Find(std::string_view name) const {
  const auto it = by_name.find(std::string(name));
  return it == by_name.end() ? nullptr : &it->second;
}

std::string Listing::ListingPath(std::string_view folder) {
  std::string path(folder);
  if (path.size() == 2) path += '\\';
  return path;
}

}  // namespace bk
