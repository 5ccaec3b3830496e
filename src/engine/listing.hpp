// One folder of either side as a pass reads it: listed whole, or asked name by name.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/file_system.hpp"

namespace bk {

// "folder\name".
std::string Join(std::string_view folder, std::string_view name);

// One folder read once: its entries by name. Entries found later (a copy made) are added.
// A folder may also be asked name by name (Query) instead of listed whole; it then holds
// the names asked that are there, and knows which of the others are surely not.
// It may be moved but never copied: in_order points into by_name.
struct Listing {
  Status status;
  std::unordered_map<std::string, FileInfo> by_name;
  std::vector<const FileInfo*> in_order;  // as listed, for the new-file search
  bool has_file = false;                  // a file whose name does not begin with '.'
  bool queried = false;
  std::unordered_set<std::string> absent;  // queried: names the system answered "not found"
  bool unanswered = false;                 // queried: a name the system gave no answer for

  Listing() = default;
  Listing(const Listing&) = delete;
  Listing& operator=(const Listing&) = delete;
  Listing(Listing&&) = default;
  Listing& operator=(Listing&&) = default;

  void Read(FileSystem& fs, std::string_view folder);
  // Asks the folder itself, then each name, with the same outcome a listing has: a folder
  // that is not there (or is a file) is "path not found", any other failure is the
  // folder's. A name the system could not answer for (a file held open by the system
  // refuses its attributes, yet is listed) is neither there nor surely absent: the caller
  // lists the folder after all.
  void Query(FileSystem& fs, std::string_view folder, const std::vector<std::string>& names);
  const FileInfo* Find(std::string_view name) const;
  bool SurelyAbsent(const std::string& name) const { return queried && absent.count(name) > 0; }

  // "C:" (files in a drive root) is asked as "C:\".
  static std::string ListingPath(std::string_view folder);
};

// How a file looked up in a listing turned out.
enum class Lookup { Found, Missing, Unreadable };

}  // namespace bk
