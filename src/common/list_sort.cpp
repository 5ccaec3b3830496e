#include "common/list_sort.hpp"

#include <algorithm>
#include <vector>

namespace bk {

namespace {

// Views of the lines of text, each including its LF.
std::vector<std::string_view> LineViews(std::string_view text) {
  std::vector<std::string_view> lines;
  lines.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    end = end == std::string_view::npos ? text.size() : end + 1;
    lines.push_back(text.substr(pos, end - pos));
    pos = end;
  }
  return lines;
}

std::string Join(const std::vector<std::string_view>& lines, std::size_t size_hint) {
  std::string out;
  out.reserve(size_hint);
  for (std::string_view l : lines) out.append(l);
  return out;
}

// The part of a line that decides whether it repeats another: from its fifth byte
// (after the state digit and the drive's "X:\") up to its second TAB.
std::string_view RepeatKey(std::string_view line) {
  const std::size_t tab1 = line.find('\t');
  std::size_t end = line.size();
  if (tab1 != std::string_view::npos) {
    const std::size_t tab2 = line.find('\t', tab1 + 1);
    if (tab2 != std::string_view::npos) end = tab2;
  }
  if (!line.empty() && end == line.size() && line.back() == '\n') --end;
  return end > 4 ? line.substr(4, end - 4) : std::string_view{};
}

std::string_view FolderWithTab(std::string_view line) {
  const std::size_t tab = line.find('\t');
  if (tab == std::string_view::npos) return line.substr(line.empty() ? 0 : 1);
  return line.substr(1, tab);
}

void CountFolders(ListBuffer* list) {
  std::size_t folders = 0;
  std::string_view previous;
  bool first = true;
  ForEachLine(list->text, [&](std::string_view line, std::size_t) {
    const std::string_view folder = FolderWithTab(line);
    if (first || folder != previous) {
      ++folders;
      previous = folder;
      first = false;
    }
  });
  list->folder_count = folders;
}

}  // namespace

void SortLines(std::string* text) {
  if (!text->empty() && text->back() != '\n') text->push_back('\n');
  std::vector<std::string_view> lines = LineViews(*text);
  if (lines.size() < 2) return;
  // string_view compares bytes as unsigned values, the order the lists are kept in.
  std::sort(lines.begin(), lines.end());
  std::string sorted = Join(lines, text->size());
  text->swap(sorted);
}

void SortLines(ListBuffer* list) { SortLines(&list->text); }

void SortForDisplay(ListBuffer* list) {
  list->line_count = static_cast<std::size_t>(std::count(list->text.begin(), list->text.end(), '\n'));
  if (list->line_count == 0) {
    list->folder_count = 0;
    return;
  }
  SortLines(&list->text);
  CountFolders(list);
}

DuplicateRemoval MarkRepeatedLines(std::string* text) {
  DuplicateRemoval result;
  std::string_view previous;
  bool have_previous = false;
  std::size_t pos = 0;
  while (pos < text->size()) {
    std::size_t end = text->find('\n', pos);
    end = end == std::string::npos ? text->size() : end + 1;
    const std::string_view line(text->data() + pos, end - pos);
    const std::string_view key = RepeatKey(line);
    if (line[0] == '0') {
      // Already dropped: it must not take a kept registration down with it.
    } else if (have_previous && key == previous) {
      (*text)[pos] = '0';
      if (IsEmptyFolderMarkerLine(line.substr(0, line.size() - (line.back() == '\n'))))
        ++result.repeated_markers;
      else
        ++result.repeated_files;
    } else {
      previous = key;
      have_previous = true;
    }
    pos = end;
  }
  return result;
}

DuplicateRemoval RemoveTypeDuplicates(ListBuffer* list) {
  DuplicateRemoval result;
  list->line_count = static_cast<std::size_t>(std::count(list->text.begin(), list->text.end(), '\n'));
  if (list->line_count < 2) {
    CountFolders(list);
    return result;
  }
  SortLines(&list->text);
  result = MarkRepeatedLines(&list->text);
  // Marking changes only the first byte of the marked lines, so the lines that stay
  // are still in order: dropping the '0' lines keeps the list sorted.
  std::string kept;
  kept.reserve(list->text.size());
  std::size_t lines = 0;
  ForEachLine(list->text, [&](std::string_view line, std::size_t) {
    if (!line.empty() && line[0] == '0') {
      ++result.removed;
      return;
    }
    kept.append(line);
    kept.push_back('\n');
    ++lines;
  });
  list->text.swap(kept);
  list->line_count = lines;
  CountFolders(list);
  return result;
}

}  // namespace bk
