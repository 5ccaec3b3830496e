// The error report on arbitrary bytes: duplicate removal keeps exactly the last of each
// set of lines equal from their sixth byte, at its place; and the power-off program's
// keep/append/restore steps never lose the earlier report.
//
// Input: byte 0 the steps' options (bit 0: an earlier report exists, bit 1: the new run
// records problems, bit 2: BkList\err.txt cannot be written, so the earlier report cannot
// be kept there); then the earlier report's bytes up to the first zero byte; then the
// new run's problem lines.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/error_report.hpp"
#include "common/text_file.hpp"
#include "fuzz_check.hpp"
#include "fuzz_lines.hpp"
#include "fuzz_posix_world.hpp"
#include "platform/fault_file_system.hpp"

namespace {

// The part of a line that decides a repeat: from its sixth byte, without the line end.
std::string_view RepeatKey(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  return line.size() > 5 ? line.substr(5) : std::string_view{};
}

void CheckDuplicateRemoval(std::string_view text) {
  const std::string out = bk::RemoveDuplicateReportLines(text);
  const std::vector<std::string_view> in_lines = fuzz::LinesWithEnds(text);
  const std::vector<std::string_view> out_lines = fuzz::LinesWithEnds(out);
  // The last line of each key, in input order, is what must remain.
  std::map<std::string_view, std::size_t> last;
  for (std::size_t i = 0; i < in_lines.size(); ++i) last[RepeatKey(in_lines[i])] = i;
  std::vector<std::string_view> expected;
  for (std::size_t i = 0; i < in_lines.size(); ++i) {
    const auto it = last.find(RepeatKey(in_lines[i]));
    if (it != last.end() && it->second == i) expected.push_back(in_lines[i]);
  }
  FUZZ_CHECK(out_lines.size() == expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    std::string_view a = out_lines[i], b = expected[i];
    if (a.back() == '\n') a.remove_suffix(1);
    if (b.back() == '\n') b.remove_suffix(1);
    FUZZ_CHECK(a == b);
  }
}

void CheckPowerOffReport(int options, std::string_view earlier, std::string_view lines) {
  bk::FileSystem& world = fuzz::PosixWorld::Fresh();
  bk::FaultFileSystem fs(world);
  fuzz::FixedClock clock;
  const bool had_report = options & 1;
  const bool keep_fails = options & 4;
  if (had_report) fuzz::Put(world, bk::kErrorReportPath, earlier);
  if (keep_fails) fs.Add({bk::FsOp::CreateWrite, "err.txt"});

  bk::EarlierReport kept;
  const bk::Status keep_status = bk::KeepEarlierReport(fs, &kept);
  FUZZ_CHECK(keep_status.ok() || (keep_fails && had_report));
  FUZZ_CHECK(kept.existed == had_report);
  bk::ErrorReport report(fs, clock);
  bk::BeginPowerOffReport(report, kept);
  const bool problems = options & 2;
  if (problems) {
    for (std::string_view line : fuzz::LinesWithEnds(lines)) {
      if (line.back() == '\n') line.remove_suffix(1);
      report.AddSystem("message ", line);
    }
    report.AddSystem("message ", "S:\\last");
  }
  FUZZ_CHECK(bk::FinishPowerOffReport(fs, report, kept).ok());

  std::string final_text;
  const bk::Status read = bk::ReadWholeFile(fs, bk::kErrorReportPath, &final_text);
  if (!problems) {
    // Without problems the earlier report is back exactly as it was, or there is none.
    FUZZ_CHECK(read.ok() == had_report);
    if (had_report) FUZZ_CHECK(final_text == earlier);
    return;
  }
  FUZZ_CHECK(read.ok());
  FUZZ_CHECK(final_text.find("S:\\last\n") != std::string::npos);
  if (had_report) {
    // The earlier report is there whole: after the new lines when it was kept aside,
    // before them when it stayed where it was.
    const std::size_t at = kept.kept ? final_text.rfind(earlier) : final_text.find(earlier);
    FUZZ_CHECK(at != std::string::npos);
    if (kept.kept) FUZZ_CHECK(final_text.find("S:\\last\n") < at || earlier.empty());
    else FUZZ_CHECK(at == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t zero = rest.find('\0');
  const std::string_view earlier = rest.substr(0, zero);
  const std::string_view lines = zero == std::string_view::npos ? std::string_view() : rest.substr(zero + 1);
  CheckDuplicateRemoval(rest);
  CheckPowerOffReport(data[0], earlier, lines);
  return 0;
}
