// The merge of a drop into its list: no line of any existing list is lost or altered but
// by the rules of duplicate removal, a line registered under another type never joins,
// and the saved list is sorted and free of repeats.
//
// Input: byte 0 picks the current type ('1' + b % 5); then six parts separated by zero
// bytes: the current type's list, the lists of the other four types, the dropped lines.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "backup/merge_drop.hpp"
#include "common/list_buffer.hpp"
#include "common/registration_list.hpp"
#include "common/text_file.hpp"
#include "fuzz_check.hpp"
#include "fuzz_lines.hpp"
#include "fuzz_posix_world.hpp"

namespace {

class OkPort final : public bk::MessagePort {
 public:
  int ShowMessage(std::string_view, bk::DialogMode mode) override {
    return mode == bk::DialogMode::Ok ? bk::kOkAnswer : bk::kAnswerFirst;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const char type = static_cast<char>('1' + data[0] % 5);
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string_view parts[6];
  for (int i = 0; i < 6; ++i) {
    const std::size_t zero = i < 5 ? rest.find('\0') : std::string_view::npos;  // the drop takes the rest
    parts[i] = rest.substr(0, zero);
    rest = zero == std::string_view::npos ? std::string_view() : rest.substr(zero + 1);
  }

  bk::FileSystem& fs = fuzz::PosixWorld::Fresh();
  std::string before[5];
  int other = 1;
  for (char digit : bk::kTypeDigits) {
    const std::string_view text = digit == type ? parts[0] : parts[other++];
    if (!text.empty()) fuzz::Put(fs, bk::ListFileName('T', "BK", digit), text);
    before[digit - '1'] = std::string(text);
  }
  std::string drop(parts[5]);
  bk::NormaliseListText(&drop);
  fuzz::Put(fs, bk::kDropLinesPath, drop);

  bk::DropCounters counters;
  for (std::string_view line : fuzz::LineTexts(drop))
    (bk::IsEmptyFolderMarkerLine(line) ? counters.marker_lines : counters.file_lines)++;
  OkPort port;
  fuzz::FixedClock clock;
  bk::MergeHooks hooks;
  bk::MergeRequest request{fs, port, clock, hooks, 'T', "BK", type, counters};
  bk::ListBuffer list;
  const bk::MergeResult result = bk::MergeDrop(request, &list);
  FUZZ_CHECK(result.merged);

  // The other types' lists are untouched, byte for byte.
  std::set<std::string> other_keys;
  for (char digit : bk::kTypeDigits) {
    if (digit == type) continue;
    std::string now;
    const bk::Status s = bk::ReadWholeFile(fs, bk::ListFileName('T', "BK", digit), &now);
    FUZZ_CHECK(s.ok() ? now == before[digit - '1'] : before[digit - '1'].empty());
    std::string normal = before[digit - '1'];
    bk::NormaliseListText(&normal);
    for (std::string_view line : fuzz::LineTexts(normal))
      if (bk::SplitLine(line).well_formed) other_keys.insert(std::string(bk::LineKey(line)));
  }

  std::string saved;
  (void)bk::ReadWholeFile(fs, bk::ListFileName('T', "BK", type), &saved);
  const std::vector<std::string_view> saved_lines = fuzz::LineTexts(saved);
  // Sorted by whole lines; no registration twice; no line repeats the one before it. (Twins
  // on different source drives map to one copy but sort apart: they are not searched for.)
  std::set<std::string_view> saved_parts, saved_keys;
  std::vector<std::string> with_lf;
  for (std::size_t i = 0; i < saved_lines.size(); ++i) {
    const std::string_view line = saved_lines[i];
    saved_parts.insert(fuzz::ListRepeatPart(line));
    // (A hand-edited state digit other than '2' sorts a line away from its twin.)
    if (line[0] == '2' && bk::SplitLine(line).well_formed) FUZZ_CHECK(saved_keys.insert(bk::LineKey(line)).second);
    if (i > 0) FUZZ_CHECK(fuzz::ListRepeatPart(saved_lines[i - 1]) != fuzz::ListRepeatPart(line));
    with_lf.push_back(std::string(line) + "\n");
  }
  FUZZ_CHECK(std::is_sorted(with_lf.begin(), with_lf.end()));

  // Every registration the list held is still there (or its twin is), but lines the
  // list itself had marked for removal, and a folder's exclusion when the drop brings
  // that folder again (a folder dropped again is no longer left out).
  std::set<std::string_view> dropped_folders;
  for (std::string_view line : fuzz::LineTexts(drop))
    if (!line.empty() && line[0] != '0') dropped_folders.insert(bk::SplitLine(line).folder);
  std::string current = before[type - '1'];
  bk::NormaliseListText(&current);
  for (std::string_view line : fuzz::LineTexts(current)) {
    if (line[0] == '0') continue;
    if (bk::IsExclusionLine(line) && dropped_folders.count(bk::SplitLine(line).folder)) continue;
    FUZZ_CHECK(saved_parts.count(fuzz::ListRepeatPart(line)));
  }
  // A dropped file registered under another type never joins this one.
  std::set<std::string_view> current_keys;
  for (std::string_view line : fuzz::LineTexts(current)) current_keys.insert(bk::LineKey(line));
  for (std::string_view line : fuzz::LineTexts(drop)) {
    const std::string_view key = bk::LineKey(line);
    if (!bk::SplitLine(line).well_formed || !other_keys.count(std::string(key))) continue;
    FUZZ_CHECK(line[0] != '2' || current_keys.count(key) || !saved_keys.count(key));
  }
  return 0;
}
