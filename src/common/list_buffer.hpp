// The in-memory text of one registration list and the anatomy of its lines.
//
// A line: state digit, source folder (no trailing backslash), TAB, file name or the
// empty-folder marker, TAB, type digit, 13-digit size, LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace bk {

// Three backspace bytes stand for "a registered folder that holds no registered file".
inline constexpr std::string_view kEmptyFolderMarker = "\b\b\b";
// Three bytes 0x18 in the same place stand for "a folder the user left out of a
// registration that follows its tree": the walk never enters it nor anything below it.
// An exclusion line is no registration: no file, no folder of the totals, no duplicate.
inline constexpr std::string_view kExclusionMarker = "\x18\x18\x18";
inline constexpr std::size_t kSizeDigits = 13;
// The largest size the 13-digit field holds.
inline constexpr std::uint64_t kMaxFieldSize = 9999999999999ULL;

struct ListBuffer {
  std::string text;            // whole lines, each ending in LF
  std::size_t line_count = 0;  // LineCount
  std::size_t folder_count = 0;  // FolderCount: runs of lines with the same folder
  std::size_t slot_width = 0;  // longest line plus 4
  bool empty() const { return text.empty(); }
  void clear() {
    text.clear();
    line_count = folder_count = slot_width = 0;
  }
};

// The parts of one line (without its LF). A line that lacks one of its two TABs (only a
// hand-edited file has one) is not well formed: the engine reports and skips it.
struct LineParts {
  std::string_view line;    // the whole line without LF
  std::string_view folder;  // after the state digit, up to the first TAB
  std::string_view name;    // between the TABs
  std::string_view tail;    // after the second TAB: type digit and size digits
  bool well_formed = false;
};
LineParts SplitLine(std::string_view line);

// The key that identifies a registration: folder, TAB, name (state, type and size excluded).
std::string_view LineKey(std::string_view line);

bool IsEmptyFolderMarkerLine(std::string_view line);
bool IsExclusionLine(std::string_view line);
// A line that counts as a file: neither an empty-folder marker nor an exclusion (a line
// that is not well formed counts, as it always has).
bool IsFileLine(std::string_view line);

// The size field as a number; false when the tail is not a type digit and 13 digits.
bool ReadSizeField(std::string_view line, std::uint64_t* size);

// "%013llu" of size, capped at the largest value 13 digits hold, never wider.
std::string SizeField(std::uint64_t size);

// Builds "2<folder>\t<name>\t<type><size>\n" (state given); the marker line for name
// kEmptyFolderMarker has size 0.
std::string MakeRegistrationLine(char state, std::string_view folder, std::string_view name,
                                 char type_digit, std::uint64_t size);

// Normalises text read from a list file: CR before LF removed, a missing final LF added,
// so that every line walk stays inside its line.
void NormaliseListText(std::string* text);

// The number of LFs in text (a memchr hop from one to the next, three times faster than
// looking at every byte).
std::size_t CountLines(std::string_view text);

// Calls f(line_without_lf, offset_of_line) for every line of text (each ends in LF).
template <typename F>
void ForEachLine(std::string_view text, F&& f) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    f(text.substr(pos, end - pos), pos);
    pos = end + 1;
  }
}

// What identifies the text a list buffer holds: taken before a dialog (whose loop
// dispatches the window's messages) and compared after it, it tells whether the buffer
// still holds the list an operation began with.
struct ListFingerprint {
  std::size_t bytes = 0;
  std::size_t line_count = 0;
  std::uint32_t crc = 0;
  bool operator==(const ListFingerprint&) const = default;
};
ListFingerprint FingerprintOf(const ListBuffer& list);

// Counts lines, files (lines that are not markers) and the longest line (with LF);
// sets line_count and slot_width.
void WalkLines(ListBuffer* list, std::size_t* file_count = nullptr);

}  // namespace bk
