// BkList\ToDrive.txt: the current destination, the destination, power-off and link
// tables, and the e-mail option.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.hpp"

namespace bk {

inline constexpr std::string_view kToDrivePath = "BkList\\ToDrive.txt";
inline constexpr std::size_t kMaxTableEntries = 1000;
inline constexpr std::size_t kMaxSlotText = 259;
inline constexpr std::string_view kLinkSeparator = " > ";
inline constexpr std::string_view kDefaultToDrive = "*\n*\n*\n*\n1\n";

// The chosen destination: a drive letter (0 when none is chosen) and a folder name.
struct CurrentDestination {
  char drive = 0;
  std::string folder;
  bool chosen() const { return drive != 0; }
  std::string Text() const;  // "D:\BK", or "" when none
};

// A table of at most 1000 unique entries in registration order.
class DestinationSlots {
 public:
  const std::vector<std::string>& entries() const { return entries_; }
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  bool full() const { return entries_.size() >= kMaxTableEntries; }
  bool Contains(std::string_view text) const;
  // Appends; refused (false) when full, already present, empty or over 259 bytes.
  bool Add(std::string_view text);
  // Removes the entry, moving every later entry up one place.
  bool Remove(std::string_view text);
  void RemoveAt(std::size_t index);
  void Clear() { entries_.clear(); }

 private:
  std::vector<std::string> entries_;
};

struct DestinationTables {
  CurrentDestination current;
  DestinationSlots destinations;  // DestinationTable
  DestinationSlots power_off;     // PowerOffList
  DestinationSlots links;         // LinkTable: "<source> > <target>"
  int mail_option = 1;            // MailOption: 1 keeps changed .eml files from being recopied
};

// True for "X:\..." with a letter, a colon and a backslash.
bool IsDrivePath(std::string_view text);

// LinkSource and LinkTarget of a link entry; false when the entry has no " > ".
bool SplitLink(std::string_view entry, std::string_view* source, std::string_view* target);

// Reads the file's text. Hand edits are contained: a line that is not a drive path is
// skipped, a section keeps its first 1000 entries, repeated entries are kept once.
DestinationTables ParseToDrive(std::string_view text);
std::string FormatToDrive(const DestinationTables& tables);

// Load: a file that cannot be read counts as the empty default.
DestinationTables LoadToDrive(FileSystem& fs);
// Save: the file is replaced whole.
Status SaveToDrive(FileSystem& fs, const DestinationTables& tables);

}  // namespace bk
