#include "platform/path_limit.hpp"

#include "platform/shift_jis.hpp"

namespace bk {

namespace {

constexpr bool IsUpperHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// Bytes of the character that begins at text[i]: an escape, a double-byte character or a
// single byte (also a lead byte left alone at the end).
std::size_t CharBytes(std::string_view text, std::size_t i) {
  const auto b = static_cast<unsigned char>(text[i]);
  if (b == 0x1B && i + 5 <= text.size()) {
    bool escape = true;
    for (std::size_t k = 1; k <= 4; ++k) escape = escape && IsUpperHexDigit(text[i + k]);
    if (escape) return 5;
  }
  if (sjis::IsLeadByte(b) && i + 1 < text.size()) return 2;
  return 1;
}

}  // namespace

std::size_t Utf16Units(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < text.size(); i += CharBytes(text, i)) ++units;
  return units;
}

std::size_t BytesWithinUnits(std::string_view text, std::size_t max_units) {
  std::size_t i = 0;
  for (std::size_t units = 0; i < text.size() && units < max_units; ++units) i += CharBytes(text, i);
  return i;
}

bool PathFitsSystem(std::string_view path) {
  // "\\?\" before a drive path; "\\?\UNC\" in place of the two backslashes of a share.
  const bool share = path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
  std::size_t total = (share ? 6 : 4) + 1;  // the prefix and the terminating NUL
  std::size_t name_units = 0;
  for (std::size_t i = 0; i < path.size();) {
    const std::size_t width = CharBytes(path, i);
    // One pass: a trail byte 0x5C (表) is inside a character, never a separator.
    if (width == 1 && path[i] == '\\') {
      name_units = 0;
    } else if (++name_units > kMaxNameUnits) {
      return false;
    }
    ++total;
    i += width;
  }
  return total <= kMaxLongPathUnits;
}

}  // namespace bk
