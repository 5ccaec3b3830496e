// The copy of one file, the same on every adapter. A file without a copy is written
// straight to its name, its time given last; a failed or cancelled new copy is deleted.
// A copy over an old one goes to a temporary file beside it, flushed, which replaces the
// old copy only when it is complete; a failed or cancelled one removes the temporary file
// and leaves the old copy as it was.
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
  // The caller saw a copy at the destination (in a fresh folder listing): the copy goes
  // over it at once, without first trying to create the file new.
  bool destination_present = false;
};

// The name of the temporary file a copy to destination writes first: "." + name + ".~bk"
// beside it. Registration and the new-file search skip names beginning with ".", so no
// registered or newly found file can have it.
// A name of more than 250 units gets a shortened form (see file_copy.cpp), whose base is
// not the copy's name.
std::string CopyTemporaryName(std::string_view destination);
// True when name (without folder) has the form of a temporary file; base is the name
// of the copy it was made for, unless the name is a shortened one.
bool IsCopyTemporaryName(std::string_view name, std::string_view* base);
// True when name is a temporary name in the shortened form of a long name.
bool IsShortenedCopyTemporaryName(std::string_view name);
// True when temporary is the temporary name of a copy named name (both without folder).
bool IsCopyTemporaryFor(std::string_view temporary, std::string_view name);

// Copies source over destination. The error code returned is the one of the step that
// failed (open, read, write, close, time, rename). On success *copy (when given) describes
// the copy made, as a listing of its folder would: its name, the bytes copied, the time
// given and the attributes.
Status CopyFileReplacing(FileSystem& fs, std::string_view source, std::string_view destination,
                         const CopyOptions& options = {}, FileInfo* copy = nullptr);

}  // namespace bk
