// What the system can hold of a path: Windows takes about 32 000 UTF-16 units in the
// long form ("\\?\D:\..."), 255 units per name. A destination path is refused only where
// the system could not create it; a byte count of the Shift-JIS text is no measure of
// that. Like shift_jis, this is a leaf the adapters may use (file_copy's temporary names).
#pragma once

#include <cstddef>
#include <string_view>

namespace bk {

// UTF-16 units of a path in its long form, the "\\?\" prefix and the terminating NUL
// included.
inline constexpr std::size_t kMaxLongPathUnits = 32767;
// UTF-16 units of one file or folder name.
inline constexpr std::size_t kMaxNameUnits = 255;

// UTF-16 units of Shift-JIS text: a double-byte character is one unit, a single byte is
// one, and the escape of a character code page 932 cannot hold (0x1B and four upper-case
// hexadecimal digits of its UTF-16 unit) is one.
std::size_t Utf16Units(std::string_view text);

// Bytes of the longest start of text that holds at most max_units units without
// splitting a double-byte character or an escape.
std::size_t BytesWithinUnits(std::string_view text, std::size_t max_units);

// Whether the system can hold an absolute path ("D:\BK\a" or "\\server\share\a") in its
// long form: every name within kMaxNameUnits and the whole within kMaxLongPathUnits.
bool PathFitsSystem(std::string_view path);

}  // namespace bk
