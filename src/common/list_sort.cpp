#include "common/list_sort.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace bk {

namespace {

// One line of the text being sorted (with its LF) and eight of its bytes, from the
// depth its group has reached, packed so that comparing keys compares those bytes as
// unsigned values. Bytes past the end of the line count as 0.
struct SortRecord {
  std::uint64_t key;
  const char* data;
  std::size_t size;
};

constexpr std::size_t kKeyBytes = 8;

std::uint64_t KeyAt(const SortRecord& r, std::size_t depth) {
  unsigned char bytes[kKeyBytes] = {};
  if (depth + kKeyBytes <= r.size) std::memcpy(bytes, r.data + depth, kKeyBytes);  // one load
  else if (depth < r.size) std::memcpy(bytes, r.data + depth, r.size - depth);
  std::uint64_t key = 0;
  for (unsigned char b : bytes) key = (key << 8) | b;
  return key;
}

// Sorts records by their bytes from depth on; every record shares the bytes before it.
// Every record holds exactly one LF, as its last byte, so no line is a proper prefix of
// another, and two lines whose keys agree on a window holding an LF are equal lines.
// The order is therefore the plain byte order of the lines. Groups sharing a key go
// eight bytes deeper; an explicit stack keeps lines that share long prefixes from
// taking the call stack down with them.
void SortRecords(std::vector<SortRecord>* records) {
  struct Group {
    std::size_t first, last, depth;
  };
  std::vector<Group> pending{{0, records->size(), 0}};
  SortRecord* const base = records->data();
  while (!pending.empty()) {
    const Group g = pending.back();
    pending.pop_back();
    SortRecord* const first = base + g.first;
    SortRecord* const last = base + g.last;
    std::size_t depth = g.depth;
    if (last - first < 2) continue;
    if (last - first <= 16) {
      std::sort(first, last, [depth](const SortRecord& a, const SortRecord& b) {
        return std::string_view(a.data + depth, a.size - depth) <
               std::string_view(b.data + depth, b.size - depth);
      });
      continue;
    }
    // A shared prefix (the drive and the folders above the list's folders) costs one
    // pass per eight bytes and no sorting.
    bool all_equal = true;
    for (;;) {
      for (SortRecord* r = first; r != last; ++r) r->key = KeyAt(*r, depth);
      all_equal = std::all_of(first + 1, last, [k = first->key](const SortRecord& r) { return r.key == k; });
      if (!all_equal || first->size <= depth + kKeyBytes) break;
      depth += kKeyBytes;
    }
    if (all_equal) continue;  // the window held the LF: all lines are equal
    std::sort(first, last, [](const SortRecord& a, const SortRecord& b) { return a.key < b.key; });
    for (SortRecord* run = first; run != last;) {
      SortRecord* end = run + 1;
      while (end != last && end->key == run->key) ++end;
      if (end - run > 1 && run->size > depth + kKeyBytes)
        pending.push_back({static_cast<std::size_t>(run - base), static_cast<std::size_t>(end - base),
                           depth + kKeyBytes});
      run = end;
    }
  }
}

// True when the lines of text (each ending in LF) are already in order.
bool LinesSorted(std::string_view text) {
  std::string_view previous;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const void* lf = std::memchr(text.data() + pos, '\n', text.size() - pos);
    const std::size_t end = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text.data()) + 1 : text.size();
    const std::string_view line = text.substr(pos, end - pos);
    if (line < previous) return false;
    previous = line;
    pos = end;
  }
  return true;
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
  // Lists are mostly saved sorted: checking costs one pass, sorting a copy of the text.
  if (LinesSorted(*text)) return;
  std::vector<SortRecord> records;
  records.reserve(static_cast<std::size_t>(std::count(text->begin(), text->end(), '\n')));
  std::size_t pos = 0;
  while (pos < text->size()) {
    const std::size_t end = text->find('\n', pos) + 1;  // the text ends in LF
    records.push_back({0, text->data() + pos, end - pos});
    pos = end;
  }
  SortRecords(&records);
  std::string sorted;
  sorted.reserve(text->size());
  for (const SortRecord& r : records) sorted.append(r.data, r.size);
  text->swap(sorted);
}

void SortLines(ListBuffer* list) { SortLines(&list->text); }

void SortForDisplay(ListBuffer* list) {
  if (!list->text.empty() && list->text.back() != '\n') list->text.push_back('\n');
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
    if (line[0] == '0' || line[0] == '\n') {
      // Already dropped: it must not take a kept registration down with it. A blank line
      // has no state digit to mark (its only byte is its LF).
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
  if (!list->text.empty() && list->text.back() != '\n') list->text.push_back('\n');
  list->line_count = static_cast<std::size_t>(std::count(list->text.begin(), list->text.end(), '\n'));
  // A single line cannot repeat another, but a line marked '0' goes even then.
  if (list->line_count >= 2) {
    SortLines(&list->text);
    result = MarkRepeatedLines(&list->text);
  }
  // Marking changes only the first byte of the marked lines, so the lines that stay
  // are still in order: dropping the '0' lines keeps the list sorted.
  // Compacted in place: a kept line only ever moves towards the front.
  std::string& text = list->text;
  std::size_t write = 0, lines = 0;
  ForEachLine(text, [&](std::string_view line, std::size_t offset) {
    if (line.empty() || line[0] == '0') {  // marked for removal, or a blank line
      ++result.removed;
      return;
    }
    if (write != offset) std::memmove(text.data() + write, text.data() + offset, line.size());
    write += line.size();
    // The text ends in LF, so a kept line's LF position is always inside the text and
    // at or before bytes already read.
    text[write++] = '\n';
    ++lines;
  });
  text.resize(write);
  list->line_count = lines;
  CountFolders(list);
  return result;
}

}  // namespace bk
