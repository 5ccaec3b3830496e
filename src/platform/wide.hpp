// The one place where Shift-JIS (code page 932) text becomes UTF-16 for the system's wide
// calls and back. Code page 932 is named explicitly, never the system's ANSI page, so the
// programs behave the same whatever code page the machine runs with.
#pragma once

#include <string>
#include <string_view>

namespace bk {

// Shift-JIS -> UTF-16. False (and *out emptied) when the bytes are not valid code page 932.
bool ToWide(std::string_view cp932, std::wstring* out);

// UTF-16 -> Shift-JIS. False when a character has no exact code page 932 form; *out then
// still receives the text with '?' in place of those characters, for messages only (it
// must never be used as a path).
bool FromWide(std::wstring_view wide, std::string* out);

}  // namespace bk
