#include "reset/registration_reset.hpp"

#include <string>
#include <vector>

#include "common/destination_table.hpp"
#include "platform/shift_jis.hpp"
#include "common/text_file.hpp"

namespace bk {

bool IsRegistrationFile(const FileInfo& entry) {
  if (entry.is_directory()) return false;
  constexpr std::string_view kExtension = ".INI";
  if (entry.name.size() < kExtension.size()) return false;
  // The last four bytes are ASCII only when no double-byte character ends there; a
  // trail byte can look like 'I' or 'N' (0x49, 0x4E), so the part before must be whole.
  const std::string_view name = entry.name;
  const std::string_view stem = name.substr(0, name.size() - kExtension.size());
  if (sjis::EndsWithLeadByte(stem)) return false;
  return sjis::AsciiUpper(name.substr(stem.size())) == kExtension;
}

ResetOutcome ResetRegistrations(FileSystem& fs) {
  ResetOutcome outcome;
  std::vector<FileInfo> entries;
  outcome.listing = fs.ListFolder(kListFolder, &entries);
  if (!outcome.listing) return outcome;
  for (const FileInfo& entry : entries) {
    if (!IsRegistrationFile(entry)) continue;
    std::string path(kListFolder);
    path += '\\';
    path += entry.name;
    if (const Status s = fs.DeleteFile(path)) {
      ++outcome.deleted;
    } else {
      if (outcome.skipped++ == 0) {
        outcome.first_skip = s;
        outcome.first_skipped = path;
      }
    }
  }
  outcome.destinations = SaveToDrive(fs, ParseToDrive(kDefaultToDrive));
  return outcome;
}

std::string ResetFailureText(FileSystem& fs, const ResetOutcome& outcome) {
  if (!outcome.listing) return FailureMessage(fs, outcome.listing, kListFolder);
  std::string text;
  const auto add = [&](Status s, std::string_view name) {
    if (s) return;
    if (!text.empty()) text += "\n\n";
    text += FailureMessage(fs, s, name);
  };
  if (outcome.skipped > 0) add(outcome.first_skip, outcome.first_skipped);
  add(outcome.destinations, kToDrivePath);
  return text;
}

}  // namespace bk
