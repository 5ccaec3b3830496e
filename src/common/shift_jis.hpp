// Shift-JIS (code page 932) byte rules. The byte 0x5C is a backslash only when it is not
// the second byte of a double-byte character (表, ソ and 能 end in 0x5C).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace bk::sjis {

constexpr bool IsLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Index of the last backslash that is a real separator, or npos.
std::size_t LastSeparator(std::string_view path);

// Index of the first real backslash at or after from, or npos.
std::size_t NextSeparator(std::string_view path, std::size_t from = 0);

// The longest prefix of text of at most max_bytes bytes that does not split a
// double-byte character.
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
