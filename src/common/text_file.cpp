#include "common/text_file.hpp"

#include <algorithm>
#include <cstring>

#include "platform/shift_jis.hpp"

namespace bk {

Status CreateTextFile(FileSystem& fs, std::string_view path, std::unique_ptr<WritableFile>* file) {
  (void)fs.CopyPlain(kTemplatePath, path);
  return fs.CreateWrite(path, file);
}

std::string FailureMessage(FileSystem& fs, Status failure, std::string_view name) {
  std::string text = fs.ErrorMessage(failure.code);
  text += '\n';
  text += name;
  return text;
}

std::string TemporaryNameFor(std::string_view path) {
  std::string tmp(path);
  tmp += ".new";
  return tmp;
}

Status WriteWholeFile(FileSystem& fs, std::string_view path, std::string_view bytes) {
  std::unique_ptr<WritableFile> file;
  Status s = fs.CreateWrite(path, &file);
  if (!s) return s;
  s = file->Write(bytes.data(), bytes.size());
  const Status closed = file->Close();
  return s ? closed : s;
}

Status ReplaceFileWhole(FileSystem& fs, std::string_view path, std::string_view bytes,
                        bool from_template) {
  const std::string tmp = TemporaryNameFor(path);
  std::unique_ptr<WritableFile> file;
  Status s = from_template ? CreateTextFile(fs, tmp, &file) : fs.CreateWrite(tmp, &file);
  if (s) {
    s = file->Write(bytes.data(), bytes.size());
    // Only bytes on the disk may replace the old file: after a power loss the data file
    // must not turn out empty.
    if (s) s = file->Flush();
    const Status closed = file->Close();
    if (s) s = closed;
    file.reset();
  }
  if (s) s = fs.Rename(tmp, path);
  if (!s) (void)fs.DeleteFile(tmp);
  return s;
}

namespace {

// A file is read through a buffer of its size (4 KiB to this), which stays in the cache,
// and appended: the text's fresh memory is then touched once, by the copy. Reading
// straight into a resized string first fills it with zeros, a pass of its own over it.
constexpr std::size_t kReadChunk = 256 * 1024;

}  // namespace

Status ReadWholeFile(FileSystem& fs, std::string_view path, std::string* out) {
  out->clear();
  std::unique_ptr<ReadableFile> file;
  Status s = fs.OpenRead(path, &file);
  if (!s) return s;
  // Room for the length the open file tells plus one byte, to see the end at once; the
  // reads, not that length, decide what is read (another program may write on meanwhile).
  FileInfo info;
  const std::size_t expected = file->GetInfo(&info) ? static_cast<std::size_t>(info.size) + 1 : kReadChunk;
  out->reserve(expected);
  std::string chunk(std::clamp<std::size_t>(expected, 4096, kReadChunk), '\0');
  for (;;) {
    std::size_t got = 0;
    s = file->Read(chunk.data(), chunk.size(), &got);
    if (!s) {
      out->clear();
      return s;
    }
    if (got == 0) return Status::Ok();
    out->append(chunk.data(), got);
  }
}

bool LineReader::ReadLine(std::string_view* line, std::size_t max_bytes) {
  if (pos_ >= text_.size()) return false;
  const std::size_t start = pos_;
  const void* lf = std::memchr(text_.data() + start, '\n', text_.size() - start);
  const std::size_t end =
      lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text_.data()) : text_.size();
  pos_ = lf ? end + 1 : end;
  std::string_view content = text_.substr(start, end - start);
  // A cut never splits a double-byte character: a lead byte that would be left alone at
  // the end goes with the rest of the line.
  if (content.size() > max_bytes) content = sjis::CutAtCharBoundary(content, max_bytes);
  const std::size_t cr = content.find('\r');
  if (cr != std::string_view::npos) content = content.substr(0, cr);
  *line = content;
  return true;
}

}  // namespace bk
