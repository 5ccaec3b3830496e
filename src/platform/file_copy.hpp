// The copy of one file, the same on every adapter: the bytes go to a temporary file beside
// the destination, which replaces the old copy only when it is complete. A failed or
// cancelled copy removes the temporary file and leaves the old copy as it was.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.hpp"

namespace bk {

inline constexpr std::size_t kCopyChunkBytes = 1 << 20;

struct CopyOptions {
  // Called after each chunk with the bytes copied so far and the source's size.
  std::function<void(std::uint64_t done, std::uint64_t total)> progress;
  // Nonzero asks the copy to stop before its next chunk (answered with "request aborted").
  const std::atomic<int>* cancel = nullptr;
  // The last-write time to give the copy; nothing: the source's own, read before copying.
  std::optional<FileTime> stamp;
  // The caller knows (from a fresh folder listing) that neither the destination nor a
  // leftover temporary file exists, so their attributes need not be looked at.
  bool destination_absent = false;
};

// The name of the temporary file a copy to destination writes first: "." + name + ".~bk"
// beside it. Registration and the new-file search skip names beginning with ".", so no
// registered or newly found file can have it.
std::string CopyTemporaryName(std::string_view destination);
// True when name (without folder) has the form of a temporary file; base is the name
// of the copy it was made for.
bool IsCopyTemporaryName(std::string_view name, std::string_view* base);

// Copies source over destination. The error code returned is the one of the step that
// failed (open, read, write, close, time, rename).
Status CopyFileReplacing(FileSystem& fs, std::string_view source, std::string_view destination,
                         const CopyOptions& options = {});

}  // namespace bk
