// The registration list files: one per destination and registration type, in BkList.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/list_buffer.hpp"
#include "common/reg_type.hpp"
#include "platform/file_system.hpp"

namespace bk {

// The type names used in messages, indexed by digit minus '1'.
inline constexpr std::array<std::string_view, 5> kTypeNames = {
    "ファイル", "ミラー(除外)", "ミラー(全て)", "差分(除外)", "差分(全て)"};

std::string_view TypeName(char type_digit);

// "BkList\<drive><folder><digit>.ini". (D:\BK1 with type 1 gives DBK11.ini.)
std::string ListFileName(char drive, std::string_view folder, char type_digit);

// The five list names of one destination, made as the system does: the name for type 1,
// then the byte five places before the end replaced by each digit in turn.
std::array<std::string, 5> AllListFileNames(char drive, std::string_view folder);

// Reads one list file into list (normalised, lines counted, not sorted). A missing file
// is an empty list (*found false); any other failure is returned and list is left empty.
Status ReadListFile(FileSystem& fs, std::string_view name, ListBuffer* list, bool* found);

struct LoadedList {
  char type_digit = 0;  // the type whose list was loaded; 0 when none exists
};

// Loads the list of (drive, folder, type_digit) and sorts it for display. Outside a drop
// a missing list falls back to the first type '1'..'5' that has one. Only "not found"
// counts as missing: a file that exists but cannot be read is an error.
Status LoadList(FileSystem& fs, char drive, std::string_view folder, char type_digit,
                bool preparing_drop, ListBuffer* list, LoadedList* loaded);

// The sum of the size fields of the five lists of a destination (missing lists count 0;
// lines without a readable size field count 0). A list that exists but cannot be read
// is an error, as for loading: the sum is then unknown (*total kTotalUnknown), never
// a total that leaves that list out.
inline constexpr std::int64_t kTotalUnknown = -1;
Status SumSizes(FileSystem& fs, char drive, std::string_view folder, std::int64_t* total);

// Writes the list whole (temporary file renamed over it), or deletes the file when the
// list is empty.
Status SaveList(FileSystem& fs, std::string_view name, const ListBuffer& list);
Status SaveList(FileSystem& fs, char drive, std::string_view folder, char type_digit,
                const ListBuffer& list);

}  // namespace bk
