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
#include "fuzz_lines.hpp"

namespace {

bool SortedBytes(const std::vector<std::string_view>& lines) {
  // string_view compares bytes as unsigned values.
  return std::is_sorted(lines.begin(), lines.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  if (!text.empty() && text.back() != '\n') text.push_back('\n');
  const std::vector<std::string_view> original = fuzz::LinesWithEnds(text);

  std::string sorted = text;
  bk::SortLines(&sorted);
  const std::vector<std::string_view> sorted_lines = fuzz::LinesWithEnds(sorted);
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
  const std::vector<std::string_view> kept = fuzz::LinesWithEnds(list.text);
  FUZZ_CHECK(list.text.empty() || list.text.back() == '\n');
  FUZZ_CHECK(list.line_count == kept.size());
  FUZZ_CHECK(removal.removed + list.line_count == original.size());
  FUZZ_CHECK(removal.repeated_files + removal.repeated_markers <= removal.removed);
  FUZZ_CHECK(SortedBytes(kept));
  for (std::size_t i = 0; i < kept.size(); ++i) {
    FUZZ_CHECK(kept[i][0] != '0');
    if (i > 0) FUZZ_CHECK(fuzz::ListRepeatPart(kept[i - 1]) != fuzz::ListRepeatPart(kept[i]));
  }
  // Only original lines stay, and every registration keeps one line: a line goes only
  // when it was marked '0', was blank, or another kept line stands for it.
  std::multiset<std::string_view> pool(original.begin(), original.end());
  std::set<std::string_view> kept_parts;
  for (std::string_view line : kept) {
    const auto it = pool.find(line);
    FUZZ_CHECK(it != pool.end());
    pool.erase(it);
    kept_parts.insert(fuzz::ListRepeatPart(line));
  }
  for (std::string_view line : original)
    if (line[0] != '0' && line != "\n") FUZZ_CHECK(kept_parts.count(fuzz::ListRepeatPart(line)) == 1);
  return 0;
}
