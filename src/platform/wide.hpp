// The one place where Shift-JIS (code page 932) text becomes UTF-16 and back, the same on
// every adapter: code page 932 is taken from the system's own table (cp932_table), never
// from the machine's code page, so the programs behave the same whatever it is, and the
// POSIX adapter names files exactly as the Win32 adapter does.
//
// A UTF-16 unit that code page 932 cannot hold exactly (no best fit: U+301C, é, 한, each
// half of a surrogate pair) is written as the escape of platform/shift_jis (0x1B and four
// upper-case hex digits), and so is U+001B itself, so that every name has exactly one
// Shift-JIS form and comes back from it unchanged.
#pragma once

#include <climits>
#include <cwchar>
#include <string>
#include <string_view>

namespace bk {

// Shift-JIS with escapes -> UTF-16. False (and *out emptied) for bytes that are no code
// page 932 character and for an escape that is not the one FromUtf16 would write.
bool ToUtf16(std::string_view text, std::u16string* out);

// UTF-16 -> Shift-JIS with escapes. Every unit has a form, so nothing is ever lost or
// replaced by '?'.
std::string FromUtf16(std::u16string_view wide);

#if WCHAR_MAX <= 0xFFFF
// The system's wide strings (UTF-16 on Windows).
inline bool ToWide(std::string_view text, std::wstring* out) {
  std::u16string u;
  if (!ToUtf16(text, &u)) {
    out->clear();
    return false;
  }
  out->assign(u.begin(), u.end());
  return true;
}

inline void FromWide(std::wstring_view wide, std::string* out) {
  *out = FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}
#endif

}  // namespace bk
