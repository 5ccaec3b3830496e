#include "platform/shift_jis.hpp"

#include <cstdint>
#include <cstdio>

namespace bk::sjis {

namespace {
// Calls f(index, byte) for each single byte or lead byte position, skipping trail bytes.
template <typename F>
void ForEachCharStart(std::string_view text, F&& f) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (!f(i, b)) return;
    if (IsLeadByte(b)) ++i;
  }
}
}  // namespace

std::size_t LastSeparator(std::string_view path) {
  std::size_t found = std::string_view::npos;
  ForEachCharStart(path, [&](std::size_t i, unsigned char b) {
    if (b == '\\') found = i;
    return true;
  });
  return found;
}

std::size_t NextSeparator(std::string_view path, std::size_t from) {
  std::size_t found = std::string_view::npos;
  ForEachCharStart(path, [&](std::size_t i, unsigned char b) {
    if (i >= from && b == '\\') {
      found = i;
      return false;
    }
    return true;
  });
  return found;
}

std::string_view CutAtCharBoundary(std::string_view text, std::size_t max_bytes) {
  if (text.size() <= max_bytes) return text;
  std::size_t end = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t width = IsEscapeAt(text, i) ? kEscapeLength : IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    if (i + width > max_bytes) break;
    end = i + width;
    i += width;
  }
  return text.substr(0, end);
}

std::string EscapeUnit(char16_t unit) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out(1, kEscapeByte);
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
  return out;
}

std::string ReadableText(std::string_view text) {
  if (text.find(kEscapeByte) == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size() + 16);
  for (std::size_t i = 0; i < text.size();) {
    if (!IsEscapeAt(text, i)) {
      const std::size_t width = CharWidthAt(text, i);
      out.append(text.substr(i, width));
      i += width;
      continue;
    }
    std::uint32_t code = EscapedUnit(text, i);
    i += kEscapeLength;
    if (code >= 0xD800 && code <= 0xDBFF && IsEscapeAt(text, i)) {
      const char16_t low = EscapedUnit(text, i);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        i += kEscapeLength;
      }
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "[U+%04X]", static_cast<unsigned>(code));
    out += buffer;
  }
  return out;
}

bool EndsWithLeadByte(std::string_view text) {
  bool dangling = false;
  ForEachCharStart(text, [&](std::size_t i, unsigned char b) {
    dangling = IsLeadByte(b) && i + 1 >= text.size();
    return true;
  });
  return dangling;
}

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  ForEachCharStart(out, [&](std::size_t i, unsigned char b) {
    if (b >= 'a' && b <= 'z') out[i] = static_cast<char>(b - 'a' + 'A');
    return true;
  });
  return out;
}

namespace {

// One character upper-cased as the file system compares names; width 2 for a double-byte
// character (a lead byte at the very end stands alone).
struct FoldedChar {
  unsigned char first = 0, second = 0;
  std::size_t width = 1;
};

FoldedChar FoldAt(std::string_view text, std::size_t i) {
  FoldedChar c;
  c.first = static_cast<unsigned char>(text[i]);
  if (!IsLeadByte(c.first) || i + 1 >= text.size()) {
    if (c.first >= 'a' && c.first <= 'z') c.first = static_cast<unsigned char>(c.first - 'a' + 'A');
    return c;
  }
  c.width = 2;
  const auto t = static_cast<unsigned char>(text[i + 1]);
  int upper = t;
  if (c.first == 0x82 && t >= 0x81 && t <= 0x9A) upper = t - 0x21;       // ａ..ｚ -> Ａ..Ｚ (0x60..0x79)
  else if (c.first == 0x83 && t >= 0xBF && t <= 0xD6) upper = t - 0x20;  // α..ω -> Α..Ω (0x9F..0xB6)
  else if (c.first == 0x84 && t >= 0x70 && t <= 0x7E) upper = t - 0x30;  // а..н (ё at 0x76) -> А..Н
  else if (c.first == 0x84 && t >= 0x80 && t <= 0x91) upper = t - 0x31;  // о..я, past the gap at 0x7F
  c.second = static_cast<unsigned char>(upper);
  return c;
}

}  // namespace

bool EqualFoldingLetterCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size();) {
    const FoldedChar x = FoldAt(a, i), y = FoldAt(b, i);
    if (x.width != y.width || x.first != y.first || x.second != y.second) return false;
    i += x.width;
  }
  return true;
}

}  // namespace bk::sjis
