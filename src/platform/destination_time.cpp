#include "platform/destination_time.hpp"

#include <algorithm>

namespace bk {

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

FileTime Distance(FileTime a, FileTime b) { return a > b ? a - b : b - a; }

}  // namespace

FileSystemKind FileSystemKindOf(std::string_view file_system) {
  for (std::string_view fat : {"FAT", "FAT12", "FAT16", "FAT32"})
    if (EqualsIgnoringCase(file_system, fat)) return FileSystemKind::Fat;
  if (EqualsIgnoringCase(file_system, "exFAT")) return FileSystemKind::ExFat;
  if (EqualsIgnoringCase(file_system, "NTFS") || EqualsIgnoringCase(file_system, "ReFS")) return FileSystemKind::Exact;
  return FileSystemKind::Other;
}

bool HoldsFileSize(FileSystemKind kind, std::uint64_t size) {
  return kind != FileSystemKind::Fat || size <= kFatMaxFileSize;
}

FileTime DestinationTimeRule::Stored(FileTime time) const {
  switch (kind) {
    case FileSystemKind::Fat: {
      // FAT keeps local time in 2-second steps, and Windows rounds a time it is given up
      // to the next even second. Time zones are whole minutes (an even number of
      // seconds), so a second even in local time is even in UTC too, and the rounding
      // can be done on the UTC time. FILETIME's epoch (1601) is an even number of
      // seconds from every other, so its even seconds are the calendar's.
      time = std::clamp(time, kFatEarliest, kFatLatest);
      const FileTime past = time % kFatTimeStep;
      if (past != 0) time += kFatTimeStep - past;
      return std::min(time, kFatLatest);
    }
    case FileSystemKind::ExFat:
      time = std::clamp(time, kFatEarliest, kExFatLatest);
      return time - time % kExFatTimeStep;
    case FileSystemKind::Exact:
    case FileSystemKind::Other:
      break;
  }
  return time;
}

bool DestinationTimeRule::Matches(FileTime source, FileTime copy) const {
  switch (kind) {
    case FileSystemKind::Exact: return source == copy;
    case FileSystemKind::Fat: return Stored(source) == copy;
    case FileSystemKind::ExFat:
      return Distance(std::clamp(source, kFatEarliest, kExFatLatest), copy) < kExFatTimeStep;
    case FileSystemKind::Other: return Distance(source, copy) < kTimeSecond;
  }
  return source == copy;
}

}  // namespace bk
