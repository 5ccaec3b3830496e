// ToDrive.txt reader: whatever the bytes, the tables keep their bounds, and what is
// written back reads back as the same tables.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "common/destination_table.hpp"
#include "common/source_path.hpp"
#include "fuzz_check.hpp"

namespace {

void CheckSlots(const bk::DestinationSlots& slots, bool links) {
  FUZZ_CHECK(slots.size() <= bk::kMaxTableEntries);
  std::set<std::string_view> seen;
  for (const std::string& e : slots.entries()) {
    FUZZ_CHECK(!e.empty() && e.size() <= bk::kMaxSlotText);
    FUZZ_CHECK(e.find('\n') == std::string::npos && e.find('\r') == std::string::npos);
    if (links) {
      std::string_view source, target;
      FUZZ_CHECK(bk::SplitLink(e, &source, &target));
      FUZZ_CHECK(bk::IsDrivePath(source) && bk::IsDrivePath(target));
    } else {
      FUZZ_CHECK(bk::IsDrivePath(e));
    }
    FUZZ_CHECK(seen.insert(e).second);  // no entry twice
  }
}

void CheckTables(const bk::DestinationTables& t) {
  if (t.current.chosen()) {
    FUZZ_CHECK(bk::IsDrivePath(t.current.Text()));
    FUZZ_CHECK(t.current.Text().size() <= bk::kMaxSlotText);
  }
  CheckSlots(t.destinations, false);
  CheckSlots(t.power_off, false);
  CheckSlots(t.links, true);
  FUZZ_CHECK(t.mail_option == 0 || t.mail_option == 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const bk::DestinationTables t = bk::ParseToDrive(text);
  CheckTables(t);

  const std::string written = bk::FormatToDrive(t);
  const bk::DestinationTables again = bk::ParseToDrive(written);
  CheckTables(again);
  FUZZ_CHECK(again.current.drive == t.current.drive);
  FUZZ_CHECK(again.current.folder == t.current.folder);
  FUZZ_CHECK(again.destinations.entries() == t.destinations.entries());
  FUZZ_CHECK(again.power_off.entries() == t.power_off.entries());
  FUZZ_CHECK(again.links.entries() == t.links.entries());
  FUZZ_CHECK(again.mail_option == t.mail_option);
  // Writing is stable: a second save gives the same bytes.
  FUZZ_CHECK(bk::FormatToDrive(again) == written);
  return 0;
}
