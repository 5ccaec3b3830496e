// Folders left out of a registration that follows its tree ("全て"): deleting every line
// of a folder group leaves an exclusion line for that folder, so that the next run's walk
// does not pick the folder up again. An exclusion is kept only while the folder's parent
// is registered in the same list: nothing else would walk into it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>

#include "common/list_buffer.hpp"
#include "common/reg_type.hpp"

namespace bk {

// ミラー(全て) and 差分(全て): the registrations that follow their tree.
constexpr bool FollowsTree(char type_digit) {
  return type_digit == TypeDigit(RegType::MirrorAll) || type_digit == TypeDigit(RegType::DiffAll);
}

// The folder a folder lies in: "S:\D\a" -> "S:\D", "S:\D" -> "S:"; empty for "S:".
std::string_view ParentFolder(std::string_view folder);

// "2<folder>\t<0x18 x3>\t<type>0000000000000\n"
std::string MakeExclusionLine(std::string_view folder, char type_digit);

// Folders with a registration in text: a line that is no exclusion.
std::unordered_set<std::string> RegisteredFolders(std::string_view text);
// Folders with an exclusion line in text.
std::unordered_set<std::string> ExcludedFolders(std::string_view text);

// Whether text holds any line that is no exclusion. A list of exclusions alone is empty.
bool HoldsRegistrations(std::string_view text);

// After a deletion from a list that follows its tree: every folder whose registration
// lines all went gets an exclusion line while its parent is still registered; exclusions
// whose parent is no longer registered go. Counts are brought up to date.
void ExcludeDeletedFolders(std::string_view before, char type_digit, ListBuffer* kept);

// Exclusion lines whose parent folder is no longer registered in the list go (also those
// of a folder that has a registration of its own again). Returns how many went.
std::size_t DropStaleExclusions(ListBuffer* list);

// The exclusions of these folders go (the user registered them again). Returns how many.
std::size_t RemoveExclusionsOf(ListBuffer* list, const std::unordered_set<std::string>& folders);

}  // namespace bk
