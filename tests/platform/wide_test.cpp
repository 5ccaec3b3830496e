// The one conversion between Shift-JIS names and the system's UTF-16, on every adapter.
#include "platform/wide.hpp"

#include <gtest/gtest.h>

#include "platform/shift_jis.hpp"

namespace bk {
namespace {

std::string Esc(const char* hex) { return std::string("\x1B") + hex; }

std::u16string Wide(std::string_view text) {
  std::u16string w;
  EXPECT_TRUE(ToUtf16(text, &w)) << text;
  return w;
}

TEST(WideText, CharactersCodePage932HoldsKeepTheirBytes) {
  // 表, ソ and 能 end in 0x5C; half-width kana; ① from NEC's row 13; a plain name.
  const std::string names[] = {"データ表ソ能", "ｶﾀｶﾅ.txt", "\x87\x40", "plain name.txt", "～"};
  for (const std::string& name : names) EXPECT_EQ(FromUtf16(Wide(name)), name);
  EXPECT_EQ(Wide("データ表"), u"データ表");
  EXPECT_EQ(Wide("\x81\x60"), u"\uFF5E");  // 0x8160 is the full-width tilde, as the system has it
}

TEST(WideText, WhatCodePage932LacksBecomesAnEscape) {
  // é, the en dash, U+301C (a Mac's wave dash has no exact code page 932 form), Korean,
  // a kanji outside JIS X 0208 (a surrogate pair: two escapes), a decomposed é.
  EXPECT_EQ(FromUtf16(u"Beyonc\u00E9"), "Beyonc" + Esc("00E9"));
  EXPECT_EQ(FromUtf16(u"a\u2013b"), "a" + Esc("2013") + "b");
  EXPECT_EQ(FromUtf16(u"\u301C"), Esc("301C"));
  EXPECT_EQ(FromUtf16(u"\uD55C"), Esc("D55C"));
  EXPECT_EQ(FromUtf16(u"\U00020BB7"), Esc("D842") + Esc("DFB7"));
  EXPECT_EQ(FromUtf16(u"e\u0301"), "e" + Esc("0301"));
  // No best fit: U+00A5 never becomes 0x5C (a backslash), nor é an 'e'.
  EXPECT_EQ(FromUtf16(u"\u00A5"), Esc("00A5"));
  // The escape byte itself is escaped, so a text has one reading.
  EXPECT_EQ(FromUtf16(u"\u001B"), Esc("001B"));
  for (const std::u16string& w : {std::u16string(u"Beyonc\u00E9 \u2013 Halo.mp3"), std::u16string(u"\U0001F600") + char16_t{0xD800} + u"x",
                                  std::u16string(u"\u001B0041")}) {
    EXPECT_EQ(Wide(FromUtf16(w)), w);
  }
}

TEST(WideText, WhereCodesRepeatTheSystemsChoiceIsWritten) {
  EXPECT_EQ(FromUtf16(u"\u2170"), "\xFA\x40");  // ⅰ: IBM's code, not NEC's copy at 0xEEEF
  EXPECT_EQ(FromUtf16(u"\uFFE2"), "\x81\xCA");  // ¬: the standard row
  EXPECT_EQ(FromUtf16(u"\u2235"), "\x81\xE6");  // ∵: the standard row, not 0x8799 or 0xFA5B
  EXPECT_EQ(FromUtf16(u"\u2252"), "\x81\xE0");  // ≒: not NEC's row 13
  // Every copy still reads as the character.
  EXPECT_EQ(Wide("\xEE\xEF"), u"\u2170");
  EXPECT_EQ(Wide("\x87\x90"), u"\u2252");
}

TEST(WideText, BytesThatAreNoNameAreRefused) {
  std::u16string w = u"x";
  EXPECT_FALSE(ToUtf16("ab\x81", &w));  // a lead byte with nothing after it
  EXPECT_TRUE(w.empty());
  EXPECT_FALSE(ToUtf16("\x81\x20", &w));  // a lead byte before a byte that cannot follow it
  EXPECT_FALSE(ToUtf16("\x85\x40", &w));  // a pair the code page has no character for
  EXPECT_FALSE(ToUtf16(std::string_view("a\0b", 3), &w));
  EXPECT_FALSE(ToUtf16("\x1B", &w));
  EXPECT_FALSE(ToUtf16("\x1B" "00e9", &w));  // lower case is not the escape
  EXPECT_FALSE(ToUtf16("\x1B" "00E", &w));
  EXPECT_FALSE(ToUtf16("\x1B" "0041", &w));  // 'A' has its own byte: a second text for it
  EXPECT_FALSE(ToUtf16("\x1B" "8868", &w));  // 表 likewise
  EXPECT_TRUE(ToUtf16("", &w));
  EXPECT_TRUE(w.empty());
}

TEST(WideText, AnEscapeReadsAsItsCodePoint) {
  EXPECT_EQ(sjis::ReadableText("Beyonc" + Esc("00E9") + ".mp3"), "Beyonc[U+00E9].mp3");
  EXPECT_EQ(sjis::ReadableText(Esc("D842") + Esc("DFB7") + "家"), "[U+20BB7]家");
  EXPECT_EQ(sjis::ReadableText(Esc("D842") + "x"), "[U+D842]x");  // a lone half stays a unit
  EXPECT_EQ(sjis::ReadableText("表\\plain"), "表\\plain");
  EXPECT_EQ(sjis::ReadableText("\x1B" "zz"), "\x1B" "zz");  // no escape: left as it is
}

TEST(WideText, NoCutSplitsAnEscape) {
  const std::string text = "ab" + Esc("00E9") + "cd";
  EXPECT_EQ(sjis::CutAtCharBoundary(text, 6), "ab");
  EXPECT_EQ(sjis::CutAtCharBoundary(text, 7), "ab" + Esc("00E9"));
  EXPECT_EQ(sjis::LastSeparator("a\\" + Esc("00E9")), 1u);
}

}  // namespace
}  // namespace bk
