// Names users really have on a Japanese desktop: many hold characters code page 932 lacks
// (carried as escapes), some end in a byte 0x5C that is no separator, a few come from a
// Mac (decomposed accents, U+301C). Written as UTF-16 so that no literal goes through the
// narrow character set; bk::FromUtf16 gives each one's Shift-JIS text.
#pragma once

#include <string_view>

namespace bk::test {

struct RealName {
  const char* label;  // ASCII, for failure messages
  std::u16string_view wide;
};

inline constexpr RealName kRealNames[] = {
    {"e-acute and en dash", u"Beyonc\u00E9 \u2013 Halo.mp3"},
    {"u-umlaut", u"M\u00FCller"},
    {"Korean", u"\uD55C\uAD6D\uC5B4"},
    {"emoji (a surrogate pair)", u"\U0001F600.png"},
    {"kanji beyond JIS X 0208 (a pair)", u"\U00020BB7\u91CE\u5BB6"},                 // 𠮷野家
    {"wave dash as a Mac writes it", u"10\u301C12\u6708"},                            // 10〜12月
    {"full-width tilde as Windows writes it", u"10\uFF5E12\u6708"},                    // 10～12月
    {"half-width katakana", u"\uFF76\uFF80\uFF76\uFF85"},                              // ｶﾀｶﾅ
    {"circled digit (NEC row 13)", u"\u2460\u8B70\u4E8B\u9332"},                       // ①議事録
    {"trail bytes 0x5C at the end", u"\u8868\u30BD\u80FD"},                            // 表ソ能
    {"decomposed e-acute (macOS)", u"Cafe\u0301"},
    {"composed e-acute", u"r\u00E9sum\u00E9.docx"},
    {"yen sign (never a backslash)", u"\u00A51000.txt"},
    {"trade mark", u"Brand\u2122"},
    {"copyright", u"\u00A9 2024"},
    {"euro", u"\u20AC 100"},
    {"sharp s", u"Stra\u00DFe"},
    {"em dash U+2014", u"A\u2014B"},
    {"horizontal bar U+2015 (0x815C)", u"C\u2015D"},
    {"simplified Chinese", u"\u7B80\u4F53\u4E2D\u6587"},                               // 简体中文
    {"Thai", u"\u0E20\u0E32\u0E29\u0E32\u0E44\u0E17\u0E22"},
    {"Cyrillic (in code page 932)", u"\u041F\u0440\u0438\u0432\u0435\u0442"},          // Привет
    {"full-width Latin", u"\uFF21\uFF22\uFF23"},                                       // ＡＢＣ
    {"escape after a 0x5C trail byte", u"\u8868\u00E9"},                               // 表é
    {"pair after a 0x5C trail byte", u"\u80FD\U0001F600"},                             // 能😀
};

}  // namespace bk::test
