#include "common/folder_exclusion.hpp"

#include <functional>

#include "platform/shift_jis.hpp"

namespace bk {

std::string_view ParentFolder(std::string_view folder) {
  const std::size_t sep = sjis::LastSeparator(folder);
  return sep == std::string_view::npos ? std::string_view() : folder.substr(0, sep);
}

std::string MakeExclusionLine(std::string_view folder, char type_digit) {
  return MakeRegistrationLine('2', folder, kExclusionMarker, type_digit, 0);
}

std::unordered_set<std::string> RegisteredFolders(std::string_view text) {
  std::unordered_set<std::string> folders;
  ForEachLine(text, [&](std::string_view line, std::size_t) {
    const LineParts p = SplitLine(line);
    if (p.well_formed && p.name != kExclusionMarker) folders.emplace(p.folder);
  });
  return folders;
}

std::unordered_set<std::string> ExcludedFolders(std::string_view text) {
  std::unordered_set<std::string> folders;
  ForEachLine(text, [&](std::string_view line, std::size_t) {
    const LineParts p = SplitLine(line);
    if (p.well_formed && p.name == kExclusionMarker) folders.emplace(p.folder);
  });
  return folders;
}

bool HoldsRegistrations(std::string_view text) {
  bool any = false;
  ForEachLine(text, [&](std::string_view line, std::size_t) {
    if (!line.empty() && !IsExclusionLine(line)) any = true;
  });
  return any;
}

namespace {

// Keeps the lines for which keep(line) holds; recounts. Returns how many went.
std::size_t KeepLines(ListBuffer* list, const std::function<bool(std::string_view)>& keep) {
  std::string kept;
  kept.reserve(list->text.size());
  std::size_t gone = 0;
  ForEachLine(list->text, [&](std::string_view line, std::size_t) {
    if (!keep(line)) {
      ++gone;
      return;
    }
    kept.append(line);
    kept.push_back('\n');
  });
  if (gone == 0) return 0;
  list->text.swap(kept);
  WalkLines(list);
  return gone;
}

}  // namespace

std::size_t DropStaleExclusions(ListBuffer* list) {
  if (list->text.find(kExclusionMarker) == std::string::npos) return 0;
  const std::unordered_set<std::string> registered = RegisteredFolders(list->text);
  std::unordered_set<std::string> seen;
  return KeepLines(list, [&](std::string_view line) {
    if (!IsExclusionLine(line)) return true;
    const std::string folder(SplitLine(line).folder);
    // Its parent must be registered; the folder itself must not be (then it is no longer
    // left out); one line a folder.
    return registered.count(std::string(ParentFolder(folder))) > 0 && registered.count(folder) == 0 &&
           seen.insert(folder).second;
  });
}

void ExcludeDeletedFolders(std::string_view before, char type_digit, ListBuffer* kept) {
  if (!FollowsTree(type_digit)) return;
  const std::unordered_set<std::string> had = RegisteredFolders(before);
  const std::unordered_set<std::string> has = RegisteredFolders(kept->text);
  for (const std::string& folder : had) {
    if (has.count(folder) > 0 || has.count(std::string(ParentFolder(folder))) == 0) continue;
    kept->text += MakeExclusionLine(folder, type_digit);
  }
  DropStaleExclusions(kept);
  WalkLines(kept);
}

std::size_t RemoveExclusionsOf(ListBuffer* list, const std::unordered_set<std::string>& folders) {
  if (folders.empty() || list->text.find(kExclusionMarker) == std::string::npos) return 0;
  return KeepLines(list, [&](std::string_view line) {
    return !IsExclusionLine(line) || folders.count(std::string(SplitLine(line).folder)) == 0;
  });
}

}  // namespace bk
