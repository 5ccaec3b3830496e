// List sorting and duplicate removal on arbitrary lines: sorting only reorders, the
// order is the unsigned byte order of whole lines (LF included), and removal takes out
// repeats and '0' lines only, never a registration that has no twin.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/list_sort.hpp"
#include "fuzz_check.hpp"

namespace {

// The lines of text, each with its LF (the text ends in LF).
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    end = end == std::string_view::npos ? text.size() : end + 1;
    lines.push_back(text.substr(pos, end - pos));
    pos = end;
  }
  return lines;
}

bool SortedBytes(const std::vector<std::string_view>& lines) {
  // string_view compares bytes as unsigned values.
  return std::is_sorted(lines.begin(), lines.end());
}

// What decides a repeat: the bytes from index 4 (after the state digit and "X:\") up
// to the second TAB, or to the end of the line when it has fewer TABs.
std::string_view RepeatPart(std::string_view line_with_lf) {
  std::string_view line = line_with_lf.substr(0, line_with_lf.size() - 1);
  const std::size_t tab1 = line.find('\t');
  std::size_t end = line.size();
  if (tab1 != std::string_view::npos) {
    const std::size_t tab2 = line.find('\t', tab1 + 1);
    if (tab2 != std::string_view::npos) end = tab2;
  }
  return end > 4 ? line.substr(4, end - 4) : std::string_view{};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  if (!text.empty() && text.back() != '\n') text.push_back('\n');
  const std::vector<std::string_view> original = Lines(text);

  std::string sorted = text;
  bk::SortLines(&sorted);
  const std::vector<std::string_view> sorted_lines = Lines(sorted);
  FUZZ_CHECK(sorted.size() == text.size());
  std::vector<std::string_view> expected = original;
  std::sort(expected.begin(), expected.end());
  FUZZ_CHECK(sorted_lines == expected);  // a permutation, in byte order

  std::string again = sorted;
  bk::SortLines(&again);
  FUZZ_CHECK(again == sorted);

  bk::ListBuffer list;
  list.text = text;
  const bk::DuplicateRemoval removal = bk::RemoveTypeDuplicates(&list);
  const std::vector<std::string_view> kept = Lines(list.text);
  FUZZ_CHECK(list.text.empty() || list.text.back() == '\n');
  FUZZ_CHECK(list.line_count == kept.size());
  FUZZ_CHECK(removal.removed + list.line_count == original.size());
  FUZZ_CHECK(removal.repeated_files + removal.repeated_markers <= removal.removed);
  FUZZ_CHECK(SortedBytes(kept));
  for (std::size_t i = 0; i < kept.size(); ++i) {
    FUZZ_CHECK(kept[i][0] != '0');
    if (i > 0) FUZZ_CHECK(RepeatPart(kept[i - 1]) != RepeatPart(kept[i]));
  }
  // Only original lines stay, and every registration keeps one line: a line goes only
  // when it was marked '0', was blank, or another kept line stands for it.
  std::multiset<std::string_view> pool(original.begin(), original.end());
  std::set<std::string_view> kept_parts;
  for (std::string_view line : kept) {
    const auto it = pool.find(line);
    FUZZ_CHECK(it != pool.end());
    pool.erase(it);
    kept_parts.insert(RepeatPart(line));
  }
  for (std::string_view line : original)
    if (line[0] != '0' && line != "\n") FUZZ_CHECK(kept_parts.count(RepeatPart(line)) == 1);
  return 0;
}
