#include "common/destination_table.hpp"

#include <algorithm>

#include "platform/shift_jis.hpp"
#include "common/source_path.hpp"
#include "common/text_file.hpp"

namespace bk {

std::string CurrentDestination::Text() const {
  if (!chosen()) return {};
  return DriveRoot(drive) + folder;
}

bool SameDestination(std::string_view a, std::string_view b) { return sjis::EqualFoldingLetterCase(a, b); }

namespace {
std::vector<std::string>::const_iterator FindSame(const std::vector<std::string>& entries, std::string_view text) {
  return std::find_if(entries.begin(), entries.end(), [&](const std::string& e) { return SameDestination(e, text); });
}
}  // namespace

bool DestinationSlots::Contains(std::string_view text) const { return FindSame(entries_, text) != entries_.end(); }

bool DestinationSlots::Add(std::string_view text) {
  if (full() || text.empty() || text.size() > kMaxSlotText || Contains(text)) return false;
  entries_.emplace_back(text);
  return true;
}

bool DestinationSlots::Remove(std::string_view text) {
  const auto it = FindSame(entries_, text);
  if (it == entries_.end()) return false;
  entries_.erase(it);
  return true;
}

void DestinationSlots::RemoveAt(std::size_t index) {
  if (index < entries_.size()) entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
}

bool SplitLink(std::string_view entry, std::string_view* source, std::string_view* target) {
  const std::size_t sep = entry.find(kLinkSeparator);
  if (sep == std::string_view::npos) return false;
  *source = entry.substr(0, sep);
  *target = entry.substr(sep + kLinkSeparator.size());
  return true;
}

bool FolderNameAcceptable(std::string_view name) {
  if (name.empty() || name == "." || name == ".." || name.size() > kMaxFolderName) return false;
  if (sjis::EndsWithLeadByte(name)) return false;
  // Windows drops trailing dots and spaces, so "BK." would be the folder "BK".
  if (name.back() == '.' || name.back() == ' ') return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto b = static_cast<unsigned char>(name[i]);
    if (sjis::IsLeadByte(b)) {
      ++i;  // the trail byte may be 0x5C (表, ソ) and is no separator
      continue;
    }
    if (b < 0x20 || std::string_view("\\/:*?\"<>|").find(static_cast<char>(b)) != std::string_view::npos) {
      return false;
    }
  }
  return !IsReservedDeviceName(name);
}

bool IsDestinationText(std::string_view text) {
  if (!IsDrivePath(text)) return false;
  return FolderNameAcceptable(text.substr(3));
}

namespace {

bool IsLinkEntry(std::string_view line) {
  std::string_view source, target;
  return SplitLink(line, &source, &target) && IsDestinationText(source) && IsDestinationText(target);
}

// Reads a line two bytes further than any stored text goes, so that a longer (hand-made)
// line shows as too long instead of being cut into another valid-looking text, also when
// the cut steps back before a double-byte character.
bool ReadEntryLine(LineReader& reader, std::string_view* line) {
  return reader.ReadLine(line, kMaxSlotText + 2);
}

// Reads one section up to its "*" line (or the end of the file).
void ReadSection(LineReader& reader, DestinationSlots* slots, bool links) {
  std::string_view line;
  while (ReadEntryLine(reader, &line)) {
    if (!line.empty() && line[0] == '*') return;
    if (line.size() > kMaxSlotText) continue;
    const bool valid = links ? IsLinkEntry(line) : IsDestinationText(line);
    if (valid) slots->Add(line);  // Add keeps the first 1000 and refuses repeats
  }
}

}  // namespace

DestinationTables ParseToDrive(std::string_view text) {
  DestinationTables t;
  LineReader reader(text);
  std::string_view line;
  if (!ReadEntryLine(reader, &line)) return t;
  if (!line.empty() && line[0] != '*' && line.size() <= kMaxSlotText && IsDestinationText(line)) {
    t.current.drive = line[0];
    t.current.folder = std::string(line.substr(3));
  }
  ReadSection(reader, &t.destinations, false);
  ReadSection(reader, &t.power_off, false);
  ReadSection(reader, &t.links, true);
  if (reader.ReadLine(&line)) t.mail_option = (!line.empty() && line[0] == '0') ? 0 : 1;
  return t;
}

std::string FormatToDrive(const DestinationTables& t) {
  std::string out;
  out += t.current.chosen() ? t.current.Text() : std::string("*");
  out += '\n';
  for (const DestinationSlots* slots : {&t.destinations, &t.power_off, &t.links}) {
    for (const std::string& e : slots->entries()) {
      out += e;
      out += '\n';
    }
    out += "*\n";
  }
  out += std::to_string(t.mail_option);
  out += '\n';
  return out;
}

Status LoadToDrive(FileSystem& fs, DestinationTables* tables) {
  std::string text;
  const Status read = ReadWholeFile(fs, kToDrivePath, &text);
  if (!read) {
    *tables = ParseToDrive(kDefaultToDrive);
    return IsNotFound(read) ? Status::Ok() : read;
  }
  *tables = ParseToDrive(text);
  return Status::Ok();
}

Status SaveToDrive(FileSystem& fs, const DestinationTables& tables) {
  return ReplaceFileWhole(fs, kToDrivePath, FormatToDrive(tables));
}

}  // namespace bk
