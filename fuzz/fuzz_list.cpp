// Registration-list text: after normalising, every line walk stays inside its line and
// the parts of a line put back together give the line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/list_buffer.hpp"
#include "fuzz_check.hpp"

namespace {

// True when part lies within whole (as a view of the same bytes); a part left empty
// points nowhere in particular.
bool Inside(std::string_view part, std::string_view whole) {
  if (part.empty()) return true;
  return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

void CheckLine(std::string_view line) {
  const bk::LineParts p = bk::SplitLine(line);
  FUZZ_CHECK(p.line == line);
  FUZZ_CHECK(Inside(p.folder, line) && Inside(p.name, line) && Inside(p.tail, line));
  const std::string_view key = bk::LineKey(line);
  FUZZ_CHECK(Inside(key, line));
  if (p.well_formed) {
    FUZZ_CHECK(p.folder.find('\t') == std::string_view::npos);
    FUZZ_CHECK(p.name.find('\t') == std::string_view::npos);
    std::string rebuilt(1, line[0]);
    rebuilt.append(p.folder).append(1, '\t').append(p.name).append(1, '\t').append(p.tail);
    FUZZ_CHECK(rebuilt == line);
    std::string expected_key(p.folder);
    expected_key.append(1, '\t').append(p.name);
    FUZZ_CHECK(key == expected_key);
  } else {
    // Fewer than two TABs after the state byte: the key is the rest of the line.
    FUZZ_CHECK(line.empty() ? key.empty() : key == line.substr(1));
  }
  FUZZ_CHECK(bk::IsEmptyFolderMarkerLine(line) == (p.well_formed && p.name == bk::kEmptyFolderMarker));
  FUZZ_CHECK(bk::IsExclusionLine(line) == (p.well_formed && p.name == bk::kExclusionMarker));

  std::uint64_t size = 0;
  if (bk::ReadSizeField(line, &size)) {
    FUZZ_CHECK(p.well_formed && p.tail.size() == 1 + bk::kSizeDigits);
    FUZZ_CHECK(size <= bk::kMaxFieldSize);
    FUZZ_CHECK(bk::SizeField(size) == p.tail.substr(1));
    if (p.name != bk::kEmptyFolderMarker && p.name != bk::kExclusionMarker) {
      // A well-formed line is exactly what the writer makes of its parts (a marker or an
      // exclusion always gets the size 0).
      std::string with_lf(line);
      with_lf += '\n';
      FUZZ_CHECK(bk::MakeRegistrationLine(line[0], p.folder, p.name, p.tail[0], size) == with_lf);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  bk::NormaliseListText(&text);
  if (!text.empty()) FUZZ_CHECK(text.back() == '\n');
  FUZZ_CHECK(text.size() <= size + 1);

  bk::ListBuffer list;
  list.text = text;
  std::size_t files = 0;
  bk::WalkLines(&list, &files);
  const auto lfs = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  FUZZ_CHECK(list.line_count == lfs);
  FUZZ_CHECK(files <= list.line_count);
  FUZZ_CHECK(list.text == text);  // walking does not change the text

  std::size_t lines = 0, longest = 0;
  bk::ForEachLine(text, [&](std::string_view line, std::size_t offset) {
    ++lines;
    FUZZ_CHECK(offset + line.size() < text.size());
    FUZZ_CHECK(text[offset + line.size()] == '\n');
    FUZZ_CHECK(line.find('\n') == std::string_view::npos);
    longest = std::max(longest, line.size() + 1);
    CheckLine(line);
  });
  FUZZ_CHECK(lines == lfs);
  FUZZ_CHECK(list.slot_width == longest + 4);
  return 0;
}
