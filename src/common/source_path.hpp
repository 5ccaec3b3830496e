// The rules a path must meet to be read as a source or written as its copy: a drive path,
// names the system would take for a device, names every walk passes over, and the parts
// that keep a list line inside the folder it names.
#pragma once

#include <string_view>

#include "platform/drive_letter.hpp"

namespace bk {

// True for "X:\..." with a letter, a colon and a backslash.
bool IsDrivePath(std::string_view text);

// A name the system takes for a device in any folder: CON, PRN, AUX, NUL, COM1 to COM9
// and LPT1 to LPT9, in any case, also with an extension ("nul.txt") or trailing spaces.
// A file or folder of such a name cannot be made, and writing to it would reach the device.
bool IsReservedDeviceName(std::string_view name);
// A device name without extension ("NUL", "com1", also "CON." and "AUX "). In the long
// path form ("\\?\D:\a\aux.c") a name with an extension is an ordinary file; a bare one
// is still taken for a device by the plain form any other program uses.
bool IsBareDeviceName(std::string_view name);

// The one name rule of every walk and search: a name that begins with '.' is never taken.
constexpr bool IsSkippedName(std::string_view name) { return name.empty() || name[0] == '.'; }

// One part of a path: not empty, not made of dots and spaces only (Windows trims those,
// so ".." or ". " may climb out of the folder it seems to name), no bare device name, no
// stream or drive colon, no '/', no wildcard, no control byte (none of these bytes can be
// the second byte of a Shift-JIS character). The escape of a character code page 932
// lacks is part of a real name (é, an emoji); an escaped control character is not.
bool IsPlainPart(std::string_view part);

// True when a list line's source maps to a place inside the destination folder: the
// folder is "X:" or "X:\\" and parts, the name a plain name or the empty-folder marker;
// no part is empty or made of dots and spaces only or a device name (CON, NUL, COM1, ...),
// and none holds ':', '/', '*', '?' or a control byte (nor the name a backslash).
bool IsContainedSource(std::string_view folder, std::string_view name);

}  // namespace bk
