#include "common/list_sort.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <exception>
#include <string_view>
#include <thread>
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
  std::uint64_t raw = 0;
  if (depth + kKeyBytes <= r.size) std::memcpy(&raw, r.data + depth, kKeyBytes);  // one load
  else if (depth < r.size) std::memcpy(&raw, r.data + depth, r.size - depth);
  if constexpr (std::endian::native == std::endian::little) return __builtin_bswap64(raw);
  return raw;
}

// Loads the keys of [first, last) at depth, going eight bytes deeper while all of them
// agree (a shared prefix: the drive and the folders above the list's folders costs one pass
// per eight bytes and no sorting). Returns false when the records are all equal lines.
bool LoadDistinctKeys(SortRecord* first, SortRecord* last, std::size_t* depth) {
  for (;;) {
    for (SortRecord* r = first; r != last; ++r) r->key = KeyAt(*r, *depth);
    const bool all_equal =
        std::all_of(first + 1, last, [k = first->key](const SortRecord& r) { return r.key == k; });
    if (!all_equal) return true;
    if (first->size <= *depth + kKeyBytes) return false;  // the window held the LF
    *depth += kKeyBytes;
  }
}

// Sorts [first, last) by their bytes from depth on; every record shares the bytes before
// it, and its key at depth is loaded. Every record holds exactly one LF, as its last byte,
// so no line is a proper prefix of another, and two lines whose keys agree on a window
// holding an LF are equal lines. The order is therefore the plain byte order of the
// lines. Groups sharing a key go eight bytes deeper; an explicit stack keeps lines that
// share long prefixes from taking the call stack down with them.
void SortRange(SortRecord* first, SortRecord* last, std::size_t depth) {
  struct Group {
    SortRecord *first, *last;
    std::size_t depth;
    bool keys_loaded;
  };
  std::vector<Group> pending{{first, last, depth, true}};
  while (!pending.empty()) {
    Group g = pending.back();
    pending.pop_back();
    if (g.last - g.first < 2) continue;
    if (g.last - g.first <= 16) {
      std::sort(g.first, g.last, [d = g.depth](const SortRecord& a, const SortRecord& b) {
        return std::string_view(a.data + d, a.size - d) < std::string_view(b.data + d, b.size - d);
      });
      continue;
    }
    if (!g.keys_loaded && !LoadDistinctKeys(g.first, g.last, &g.depth)) continue;
    std::sort(g.first, g.last, [](const SortRecord& a, const SortRecord& b) { return a.key < b.key; });
    for (SortRecord* run = g.first; run != g.last;) {
      SortRecord* stop = run + 1;
      while (stop != g.last && stop->key == run->key) ++stop;
      if (stop - run > 1 && run->size > g.depth + kKeyBytes) pending.push_back({run, stop, g.depth + kKeyBytes, false});
      run = stop;
    }
  }
}

// Below this many lines a helper thread costs more than it saves.
constexpr std::size_t kHelperThreadLines = 1 << 16;

void SortRecords(std::vector<SortRecord>* records) {
  SortRecord* const base = records->data();
  const std::size_t n = records->size();
  if (n < 2) return;
  // The prefix every line shares (the drive and the folders above the list's folders),
  // found in one pass instead of eight bytes a pass.
  std::size_t depth = base->size;
  for (std::size_t i = 1; i < n && depth > 0; ++i) {
    const std::size_t limit = std::min(depth, base[i].size);
    depth = static_cast<std::size_t>(std::mismatch(base->data, base->data + limit, base[i].data).first - base->data);
  }
  if (!LoadDistinctKeys(base, base + n, &depth)) return;
  SortRange(base, base + n, depth);
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

// Sorts text, which ends in LF and holds that many lines.
void SortCountedLines(std::string* text, std::size_t lines) {
  // Lists are mostly saved sorted: checking costs one pass, sorting a copy of the text.
  if (LinesSorted(*text)) return;
  const bool two_threads = lines >= kHelperThreadLines && std::thread::hardware_concurrency() >= 2;
  std::string sorted;
  {
    // A fresh buffer costs a page fault per page at its first touch, more than copying
    // the lines into it: on a big list a helper thread takes those faults while this
    // one sorts the lines, and then copies half of them. Never more than two threads.
    std::jthread prepare;
    std::exception_ptr prepare_failure;  // out of memory there is the caller's, as here
    if (two_threads) {
      prepare = std::jthread([&sorted, &prepare_failure, size = text->size()] {
        try {
          sorted.resize(size);
        } catch (...) {
          prepare_failure = std::current_exception();
        }
      });
    }
    std::vector<SortRecord> records;
    records.reserve(lines);
    std::size_t pos = 0;
    while (pos < text->size()) {
      const std::size_t end = text->find('\n', pos) + 1;  // the text ends in LF
      records.push_back({0, text->data() + pos, end - pos});
      pos = end;
    }
    SortRecords(&records);
    if (two_threads) {
      prepare.join();
      if (prepare_failure) std::rethrow_exception(prepare_failure);
    } else {
      sorted.resize(text->size());
    }
    // The lines go to their places; on a big list a second thread copies the first half.
    const std::size_t half = two_threads ? records.size() / 2 : 0;
    std::size_t half_bytes = 0;
    for (std::size_t i = 0; i < half; ++i) half_bytes += records[i].size;
    const auto copy = [&](std::size_t from, std::size_t to, char* out) {
      for (std::size_t i = from; i < to; ++i) out = std::copy_n(records[i].data, records[i].size, out);
    };
    std::jthread first_half;
    if (half > 0) first_half = std::jthread([&] { copy(0, half, sorted.data()); });
    copy(half, records.size(), sorted.data() + half_bytes);
  }
  text->swap(sorted);
}

}  // namespace

void SortLines(std::string* text) {
  if (!text->empty() && text->back() != '\n') text->push_back('\n');
  SortCountedLines(text, CountLines(*text));
}

void SortLines(ListBuffer* list) { SortLines(&list->text); }

void SortForDisplay(ListBuffer* list) {
  if (!list->text.empty() && list->text.back() != '\n') list->text.push_back('\n');
  list->line_count = CountLines(list->text);
  if (list->line_count == 0) {
    list->folder_count = 0;
    return;
  }
  SortCountedLines(&list->text, list->line_count);
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
      if (!IsFileLine(line.substr(0, line.size() - (line.back() == '\n'))))
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
  std::string& text = list->text;
  if (!text.empty() && text.back() != '\n') text.push_back('\n');
  SortLines(&text);
  // One pass over the sorted text: a line marked '0', a blank line and a line repeating
  // the last kept one go; the kept lines close up towards the front, still in order, and
  // their folders are counted on the way. (A single line cannot repeat another, but a
  // line marked '0' goes even then.) A kept line only ever moves towards the front, so
  // the last kept line, already at its new place, is never overwritten by a later one.
  std::size_t write = 0, lines = 0, folders = 0;
  std::string_view kept_key, kept_folder;
  ForEachLine(text, [&](std::string_view line, std::size_t offset) {
    if (line.empty() || line[0] == '0') {
      ++result.removed;
      return;
    }
    const std::string_view key = RepeatKey(line);
    if (lines > 0 && key == kept_key) {
      ++result.removed;
      ++(IsFileLine(line) ? result.repeated_files : result.repeated_markers);
      return;
    }
    if (write != offset) std::memmove(text.data() + write, text.data() + offset, line.size());
    const std::string_view moved(text.data() + write, line.size());
    write += line.size();
    text[write++] = '\n';
    const std::string_view folder = FolderWithTab(moved);
    if (lines == 0 || folder != kept_folder) ++folders;
    kept_folder = folder;
    kept_key = RepeatKey(moved);
    ++lines;
  });
  text.resize(write);
  list->line_count = lines;
  list->folder_count = folders;
  return result;
}

}  // namespace bk
