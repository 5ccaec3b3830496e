// How every program creates, replaces and reads its text files.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system.hpp"

namespace bk {

// Every created text file starts as a copy of this template (so it has the template's
// code page and LF line ends), then is emptied and written.
inline constexpr std::string_view kTemplatePath = "BkList\\ANIS_LF形式で保存するための原本.txt";

// Longest line a 260-byte line buffer holds.
inline constexpr std::size_t kMaxLineBytes = 259;

// Copies the template over path (the result is not needed: the open creates the file
// anyway) and opens path for binary writing, emptied.
Status CreateTextFile(FileSystem& fs, std::string_view path, std::unique_ptr<WritableFile>* file);

// Replaces a data file whole: the bytes go to a temporary file beside it (itself made by
// the template copy when from_template is set), which is flushed and then renamed over
// the target. A failure at any step removes the temporary file and leaves the old file as
// it was.
Status ReplaceFileWhole(FileSystem& fs, std::string_view path, std::string_view bytes,
                        bool from_template = true);

// Reads a whole file into *out.
Status ReadWholeFile(FileSystem& fs, std::string_view path, std::string* out);

// Writes a whole file directly (created or emptied), without the template copy.
Status WriteWholeFile(FileSystem& fs, std::string_view path, std::string_view bytes);

// What the user is shown when a file operation failed: the system's text for the error
// and, on the next line, the file or destination it concerns.
std::string FailureMessage(FileSystem& fs, Status failure, std::string_view name);

// The name of the temporary file a whole-file replacement writes first.
std::string TemporaryNameFor(std::string_view path);

// Reads lines from text read whole, as the 260-byte line buffer does: a line ends at its
// LF; its content ends at the first CR or LF; a longer line is cut at max_bytes bytes, or
// one byte less where the last would be the lead byte of a double-byte character, and the
// rest of it, up to its LF, is skipped (never taken for another line).
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}
  bool ReadLine(std::string_view* line, std::size_t max_bytes = kMaxLineBytes);
  bool AtEnd() const { return pos_ >= text_.size(); }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace bk
