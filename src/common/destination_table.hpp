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

// Two destination texts (or two link entries) that name one folder: equal but for letter
// case, as the file system folds it (EqualFoldingLetterCase: ASCII, full-width Latin, Greek
// and Cyrillic letters). "T:\ＢＫ" and "t:\Ｂｋ" are one destination with one set of lists.
// Every comparison of destinations goes through this one rule.
bool SameDestination(std::string_view a, std::string_view b);

// A table of at most 1000 entries in registration order, no two of them SameDestination.
class DestinationSlots {
 public:
  const std::vector<std::string>& entries() const { return entries_; }
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  bool full() const { return entries_.size() >= kMaxTableEntries; }
  // True when an entry is SameDestination as text.
  bool Contains(std::string_view text) const;
  // Appends; refused (false) when full, already present, empty or over 259 bytes.
  bool Add(std::string_view text);
  // Removes the entry that is SameDestination as text, moving every later entry up.
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

// Longest folder name: "X:\" plus the name stays within half a line, so that a link
// entry of two destinations still fits the 259-byte line buffer.
inline constexpr std::size_t kMaxFolderName = 125;

// A name Windows creates as given, as one folder directly on the drive: not empty, no
// "." or "..", no separator, colon or wildcard, no trailing dot or space, no device name.
bool FolderNameAcceptable(std::string_view name);

// A destination text registration would make: "X:\" and an acceptable folder name. Only
// such a text stays in its drive root and gives list file names that stay in BkList.
bool IsDestinationText(std::string_view text);

// LinkSource and LinkTarget of a link entry; false when the entry has no " > ".
bool SplitLink(std::string_view entry, std::string_view* source, std::string_view* target);

// Reads the file's text. Hand edits are contained: a destination that registration would
// refuse (IsDestinationText) is skipped, in every section and on either side of a link; a
// section keeps its first 1000 entries, repeated entries are kept once.
DestinationTables ParseToDrive(std::string_view text);
std::string FormatToDrive(const DestinationTables& tables);

// Load: only a file that is not there gives the empty default (Ok). Any other failure (a
// sharing violation, access denied) is returned with the default in *tables, which must
// then never be saved: it would replace every destination, power-off choice and link.
Status LoadToDrive(FileSystem& fs, DestinationTables* tables);
// Save: the file is replaced whole.
Status SaveToDrive(FileSystem& fs, const DestinationTables& tables);

}  // namespace bk
