// Shift-JIS (code page 932) byte rules. The byte 0x5C is a backslash only when it is not
// the second byte of a double-byte character (表, ソ and 能 end in 0x5C).
//
// A character code page 932 cannot hold (é, 한, an emoji's surrogate halves) is carried as
// an escape: the byte 0x1B and four upper-case hexadecimal digits of its UTF-16 unit. No
// real Windows name holds a control byte, so an escape never meets a real name; it holds
// no TAB, LF, NUL, 0x08 or 0x5C, and no byte of it is a lead byte.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace bk::sjis {

constexpr bool IsLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

inline constexpr char kEscapeByte = '\x1B';
inline constexpr std::size_t kEscapeLength = 5;

constexpr bool IsUpperHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// Whether an escape (0x1B and four upper-case hex digits) begins at text[i].
constexpr bool IsEscapeAt(std::string_view text, std::size_t i) {
  if (i + kEscapeLength > text.size() || text[i] != kEscapeByte) return false;
  for (std::size_t k = 1; k < kEscapeLength; ++k)
    if (!IsUpperHexDigit(text[i + k])) return false;
  return true;
}

// The UTF-16 unit of the escape at text[i] (IsEscapeAt must hold).
constexpr char16_t EscapedUnit(std::string_view text, std::size_t i) {
  unsigned value = 0;
  for (std::size_t k = 1; k < kEscapeLength; ++k) {
    const char c = text[i + k];
    value = value * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'A' + 10);
  }
  return static_cast<char16_t>(value);
}

// Bytes of the character that begins at text[i]: 5 for an escape, 2 for a double-byte
// character, else 1 (a lead byte at the very end stands alone).
constexpr std::size_t CharWidthAt(std::string_view text, std::size_t i) {
  if (IsEscapeAt(text, i)) return kEscapeLength;
  if (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) return 2;
  return 1;
}

// The escape of one UTF-16 unit.
std::string EscapeUnit(char16_t unit);

// The text as a person reads it in a report or message: every escape becomes "[U+00E9]",
// a surrogate pair its one code point ("[U+20BB7]").
std::string ReadableText(std::string_view text);

// Index of the last backslash that is a real separator, or npos.
std::size_t LastSeparator(std::string_view path);

// Index of the first real backslash at or after from, or npos.
std::size_t NextSeparator(std::string_view path, std::size_t from = 0);

// The longest prefix of text of at most max_bytes bytes that does not split a
// double-byte character or an escape.
std::string_view CutAtCharBoundary(std::string_view text, std::size_t max_bytes);

// True when text ends in the middle of a double-byte character (a dangling lead byte).
bool EndsWithLeadByte(std::string_view text);

// ASCII-only upper-casing (double-byte characters are left alone).
std::string AsciiUpper(std::string_view text);

// True when a and b are equal but for letter case as the file system compares names: ASCII
// letters, and the full-width Latin, Greek and Cyrillic letters of code page 932 (ａ..ｚ,
// α..ω, а..я with ё) fold to upper case. Kanji, kana, half-width katakana and every trail
// byte are left alone, so that the 'a' (0x61) in the second byte of ヂ (0x83 0x61) is never
// taken for a letter.
bool EqualFoldingLetterCase(std::string_view a, std::string_view b);

}  // namespace bk::sjis
