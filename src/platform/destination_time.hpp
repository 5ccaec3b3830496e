// How a destination's file system keeps last-write times and sizes, chosen from its name
// ("NTFS", "exFAT", "FAT32", ...): the one place the engine's "is this copy unchanged"
// and the POSIX adapter's playing of a drive take it from.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/file_system.hpp"

namespace bk {

enum class FileSystemKind {
  Exact,  // NTFS, ReFS: times to 100 ns, kept as given
  ExFat,  // 10 ms steps, 1980 to 2107
  Fat,    // FAT, FAT12, FAT16, FAT32: 2-second steps rounded up, 1980 to 2107, files below 4 GiB
  Other,  // a network share, anything unknown: what it keeps below a second is not known
};

// The kind a file-system name (any letter case) stands for.
FileSystemKind FileSystemKindOf(std::string_view file_system);

// The largest file a FAT volume holds: 4 GiB - 1 byte.
inline constexpr std::uint64_t kFatMaxFileSize = 0xFFFFFFFFULL;

// True when a file of size bytes can be stored on a file system of this kind.
bool HoldsFileSize(FileSystemKind kind, std::uint64_t size);

// The range FAT and exFAT times can hold: 1980-01-01 00:00:00 to 2107-12-31 23:59:58
// (FAT) or 23:59:59.99 (exFAT). These volumes keep local time; the bounds are taken in
// UTC here, so a source dated within a few hours of them may be compared against a bound
// a time zone away from the one the volume applies (a file dated 1979-12-31 in Japan).
inline constexpr FileTime kFatEarliest = 119600064000000000ULL;  // 1980-01-01 00:00:00
inline constexpr FileTime kFatLatest = 159992927980000000ULL;    // 2107-12-31 23:59:58
inline constexpr FileTime kExFatLatest = 159992927999900000ULL;  // 2107-12-31 23:59:59.99

inline constexpr FileTime kTimeSecond = 10000000ULL;  // one second in 100 ns steps
inline constexpr FileTime kExFatTimeStep = 100000ULL;  // 10 ms
inline constexpr FileTime kFatTimeStep = 2 * kTimeSecond;

// When a copy's last-write time counts as its source's.
struct DestinationTimeRule {
  FileSystemKind kind = FileSystemKind::Exact;

  static DestinationTimeRule For(std::string_view file_system) { return {FileSystemKindOf(file_system)}; }

  // The time a destination of this kind keeps when it is given time: FAT rounds up to
  // the next even second and exFAT down to 10 ms, both clamped into their range; the
  // others keep it as given.
  FileTime Stored(FileTime time) const;

  // True when copy (a copy's last-write time as the destination reports it) is what the
  // destination keeps for source:
  //   Exact: equal.
  //   Fat: equal to the source time as FAT stores it (rounded up to the even second,
  //        clamped), so any change that moves the source into another 2-second step is
  //        seen, among them every change of 2 seconds or more and every change of one
  //        second from an even whole second.
  //   ExFat: less than 10 ms from the source time clamped into range.
  //   Other: less than one second apart, so a change of a second or more is seen while a
  //        share that rounds the fraction of a second away never copies a file again.
  bool Matches(FileTime source, FileTime copy) const;
};

}  // namespace bk
