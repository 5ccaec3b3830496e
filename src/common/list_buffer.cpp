#include "common/list_buffer.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "common/crc32.hpp"

namespace bk {

LineParts SplitLine(std::string_view line) {
  LineParts p;
  p.line = line;
  const std::size_t tab1 = line.find('\t', line.empty() ? 0 : 1);
  p.folder = line.substr(line.empty() ? 0 : 1, tab1 == std::string_view::npos ? std::string_view::npos : tab1 - 1);
  if (tab1 == std::string_view::npos) return p;
  const std::size_t tab2 = line.find('\t', tab1 + 1);
  if (tab2 == std::string_view::npos) return p;
  p.name = line.substr(tab1 + 1, tab2 - tab1 - 1);
  p.tail = line.substr(tab2 + 1);
  p.well_formed = true;
  return p;
}

std::string_view LineKey(std::string_view line) {
  if (line.empty()) return line;
  const std::size_t tab1 = line.find('\t', 1);
  if (tab1 == std::string_view::npos) return line.substr(1);
  const std::size_t tab2 = line.find('\t', tab1 + 1);
  return line.substr(1, (tab2 == std::string_view::npos ? line.size() : tab2) - 1);
}

bool IsEmptyFolderMarkerLine(std::string_view line) {
  const LineParts p = SplitLine(line);
  return p.well_formed && p.name == kEmptyFolderMarker;
}

bool IsExclusionLine(std::string_view line) {
  const LineParts p = SplitLine(line);
  return p.well_formed && p.name == kExclusionMarker;
}

bool IsFileLine(std::string_view line) {
  const LineParts p = SplitLine(line);
  return !p.well_formed || (p.name != kEmptyFolderMarker && p.name != kExclusionMarker);
}

bool ReadSizeField(std::string_view line, std::uint64_t* size) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  const LineParts p = SplitLine(line);
  if (!p.well_formed || p.tail.size() != 1 + kSizeDigits) return false;
  const std::string_view digits = p.tail.substr(1);
  if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  std::uint64_t v = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), v);
  *size = v;
  return true;
}

std::string SizeField(std::uint64_t size) {
  std::string digits = std::to_string(std::min(size, kMaxFieldSize));
  return std::string(kSizeDigits - digits.size(), '0') + digits;
}

std::string MakeRegistrationLine(char state, std::string_view folder, std::string_view name,
                                 char type_digit, std::uint64_t size) {
  std::string line;
  line.reserve(folder.size() + name.size() + 20);
  line += state;
  line += folder;
  line += '\t';
  line += name;
  line += '\t';
  line += type_digit;
  line += SizeField(name == kEmptyFolderMarker || name == kExclusionMarker ? 0 : size);
  line += '\n';
  return line;
}

void NormaliseListText(std::string* text) {
  // CRs before LF go (all of them: a list stored with one left would lose it at the next
  // load and change on every save), blank lines go (they carry no registration and a line
  // walk could take one for a state digit), and the last line gets its LF.
  if (text->find('\r') == std::string::npos && text->find("\n\n") == std::string::npos &&
      (text->empty() || (*text)[0] != '\n')) {
    if (!text->empty() && text->back() != '\n') text->push_back('\n');
    return;
  }
  std::string out;
  out.reserve(text->size() + 1);
  ForEachLine(*text, [&](std::string_view line, std::size_t) {
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) return;
    out.append(line);
    out.push_back('\n');
  });
  text->swap(out);
}

std::size_t CountLines(std::string_view text) {
  std::size_t lines = 0;
  const char* at = text.data();
  const char* const end = at + text.size();
  while (at != end) {
    const void* lf = std::memchr(at, '\n', static_cast<std::size_t>(end - at));
    if (!lf) break;
    ++lines;
    at = static_cast<const char*>(lf) + 1;
  }
  return lines;
}

void WalkLines(ListBuffer* list, std::size_t* file_count) {
  std::size_t lines = 0, files = 0, longest = 0;
  ForEachLine(list->text, [&](std::string_view line, std::size_t) {
    ++lines;
    longest = std::max(longest, line.size() + 1);
    if (IsFileLine(line)) ++files;
  });
  list->line_count = lines;
  list->slot_width = longest + 4;
  if (file_count) *file_count = files;
}

ListFingerprint FingerprintOf(const ListBuffer& list) {
  return ListFingerprint{list.text.size(), list.line_count, Crc32Table()(list.text)};
}

}  // namespace bk
