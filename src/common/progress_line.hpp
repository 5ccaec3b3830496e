// The progress line of the backup window: the name of the file being copied (shortened to
// fit N characters) and the bar that grows with the bytes copied.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace bk {

// The name as the line shows it: whole when shorter than n - 2 bytes; otherwise its start
// (characters that begin before byte n - 24), "...", and its end (characters reaching into
// the last 19 bytes). A double-byte character is never split; a lead byte without its
// second byte ends the name.
std::string ShortenedName(std::string_view name, int n);

// The shortened name followed by the spaces that wipe out a longer earlier one.
std::string NameLineText(std::string_view name, int n);

// The bar's right end in pixels for f and n: (n + 2) f × copied / size, kept between 2f and
// (n + 2) f; a file of 0 MiB leaves the bar at its left end.
int BarRight(int f, int n, std::uint32_t copied_mib, std::uint32_t size_mib);

// The pens' widths: the clearing pen trunc(0.58 f), the bar pen trunc(0.5 f).
int ClearingPenWidth(int f);
int BarPenWidth(int f);

}  // namespace bk
