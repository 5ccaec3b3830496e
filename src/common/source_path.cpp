#include "common/source_path.hpp"

#include <string>

#include "common/list_buffer.hpp"
#include "platform/shift_jis.hpp"
#include "platform/wide.hpp"

namespace bk {

bool IsDrivePath(std::string_view text) {
  return text.size() >= 3 && DriveLetter::OfPath(text) && text[2] == '\\';
}

bool IsReservedDeviceName(std::string_view name) {
  std::string base = sjis::AsciiUpper(name.substr(0, name.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
  return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
         base[3] >= '1' && base[3] <= '9';
}

bool IsBareDeviceName(std::string_view name) {
  // Without the dots and spaces the system's plain form trims off the end ("NUL.", "CON ").
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
  return name.find('.') == std::string_view::npos && IsReservedDeviceName(name);
}

namespace {

// Windows trims trailing dots and spaces from a path part, so a part made only of them
// ("..", ". ", "...") may climb out of the folder it seems to name.
bool IsAllDotsAndSpaces(std::string_view part) {
  return part.find_first_not_of(". ") == std::string_view::npos;
}

// An escape as the system's name of a character has it: one FromUtf16 writes (never a
// second text of a character code page 932 holds), and no control character.
bool IsNameEscape(std::string_view part, std::size_t i) {
  std::u16string unit;
  return sjis::IsEscapeAt(part, i) && ToUtf16(part.substr(i, sjis::kEscapeLength), &unit) && unit[0] >= 0x20;
}

}  // namespace

// A copy written to a bare device name ("NUL") would report success and keep nothing. The
// adapters open paths in their long form, where a device name with an extension ("aux.c")
// is an ordinary file.
bool IsPlainPart(std::string_view part) {
  if (part.empty() || IsAllDotsAndSpaces(part) || IsBareDeviceName(part)) return false;
  for (std::size_t i = 0; i < part.size(); ++i) {
    if (IsNameEscape(part, i)) {
      i += sjis::kEscapeLength - 1;
      continue;
    }
    const char c = part[i];
    if (static_cast<unsigned char>(c) < 0x20 || c == ':' || c == '/' || c == '*' || c == '?') return false;
  }
  return true;
}

bool IsContainedSource(std::string_view folder, std::string_view name) {
  if (!DriveLetter::OfPath(folder)) return false;
  if (folder.size() > 2) {
    if (folder[2] != '\\') return false;
    std::size_t start = 3;
    for (;;) {
      std::size_t sep = sjis::NextSeparator(folder, start);
      const std::string_view part = folder.substr(start, sep == std::string_view::npos ? sep : sep - start);
      if (!IsPlainPart(part)) return false;
      if (sep == std::string_view::npos) break;
      start = sep + 1;
    }
  }
  if (name == kEmptyFolderMarker || name == kExclusionMarker) return true;
  return IsPlainPart(name) && sjis::NextSeparator(name) == std::string_view::npos;
}

}  // namespace bk
