// A program folder and drives for the fuzz targets that go through the file system: one
// set of folders per process (in memory-backed storage where there is some), emptied
// before each input.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

#include "backup/merge_drop.hpp"
#include "common/error_report.hpp"
#include "common/text_file.hpp"
#include "fuzz_check.hpp"
#include "platform/posix_file_system.hpp"

namespace fuzz {

class FixedClock final : public bk::Clock {
 public:
  bk::LocalDate Today() override { return {2026, 12, 8}; }
};

// The fuzz build keeps its literals in UTF-8 (clang converts no execution character set),
// and the adapter refuses the Japanese names of the program's own files in that form:
// this passes them on under plain names.
class AliasFileSystem final : public bk::FileSystem {
 public:
  explicit AliasFileSystem(bk::FileSystem& inner) : inner_(inner) {}

  // The name, or the temporary name beside it ("<name>.new"), under its plain name.
  static std::string Alias(std::string_view path) {
    const std::pair<std::string_view, std::string_view> aliases[] = {
        {bk::kErrorReportPath, "report.txt"},
        {bk::kTemplatePath, "BkList\\template.txt"},
        {bk::kDuplicateListPath, "duplicates.txt"}};
    for (const auto& [name, plain] : aliases)
      if (path.substr(0, name.size()) == name) return std::string(plain) + std::string(path.substr(name.size()));
    return std::string(path);
  }
  bk::Status ListFolder(std::string_view f, std::vector<bk::FileInfo>* e) override { return inner_.ListFolder(Alias(f), e); }
  bk::Status GetInfo(std::string_view p, bk::FileInfo* i) override { return inner_.GetInfo(Alias(p), i); }
  bk::Status OpenRead(std::string_view p, std::unique_ptr<bk::ReadableFile>* f) override { return inner_.OpenRead(Alias(p), f); }
  bk::Status CreateWrite(std::string_view p, std::unique_ptr<bk::WritableFile>* f) override { return inner_.CreateWrite(Alias(p), f); }
  bk::Status CreateNew(std::string_view p, std::unique_ptr<bk::WritableFile>* f) override { return inner_.CreateNew(Alias(p), f); }
  bk::Status SetLastWriteTime(std::string_view p, bk::FileTime t) override { return inner_.SetLastWriteTime(Alias(p), t); }
  bk::Status SetAttributes(std::string_view p, std::uint32_t a) override { return inner_.SetAttributes(Alias(p), a); }
  bk::Status Rename(std::string_view a, std::string_view b) override { return inner_.Rename(Alias(a), Alias(b)); }
  bk::Status CopyPlain(std::string_view a, std::string_view b) override { return inner_.CopyPlain(Alias(a), Alias(b)); }
  bk::Status DeleteFile(std::string_view p) override { return inner_.DeleteFile(Alias(p)); }
  bk::Status CreateFolderChain(std::string_view p) override { return inner_.CreateFolderChain(Alias(p)); }
  bk::Status DeleteTree(std::string_view p) override { return inner_.DeleteTree(Alias(p)); }
  bk::Status RemoveEmptyFolder(std::string_view p) override { return inner_.RemoveEmptyFolder(Alias(p)); }
  bk::Status FreeSpace(std::string_view r, std::uint64_t* b) override { return inner_.FreeSpace(r, b); }
  bk::Status GetVolumeInfo(std::string_view r, bk::VolumeInfo* v) override { return inner_.GetVolumeInfo(r, v); }
  bk::Status GetFolderId(std::string_view f, bk::FolderId* id) override { return inner_.GetFolderId(Alias(f), id); }
  bk::Status ReadLinkTarget(std::string_view p, std::string* t) override { return inner_.ReadLinkTarget(Alias(p), t); }
  std::string ErrorMessage(std::uint32_t code) override { return inner_.ErrorMessage(code); }

 private:
  bk::FileSystem& inner_;
};

// Writes bytes to a file of the world; the harness's own setup must not fail.
inline void Put(bk::FileSystem& fs, std::string_view path, std::string_view bytes) {
  std::unique_ptr<bk::WritableFile> file;
  FUZZ_CHECK(fs.CreateWrite(path, &file).ok());
  FUZZ_CHECK(file->Write(bytes.data(), bytes.size()).ok());
  FUZZ_CHECK(file->Close().ok());
}

class PosixWorld {
 public:
  // The folders of drives P (the program folder, holding BkList and its template), S and
  // T, emptied; seen through AliasFileSystem.
  static bk::FileSystem& Fresh() {
    static PosixWorld world;
    world.Reset();
    return *world.alias_;
  }

 private:
  PosixWorld() {
    const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/bk-fuzz-XXXXXX";
    FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
    top_ = pattern;
  }
  ~PosixWorld() {
    std::error_code ec;
    std::filesystem::remove_all(top_, ec);
  }
  void Reset() {
    std::error_code ec;
    for (const char* d : {"P", "S", "T"}) {
      std::filesystem::remove_all(top_ / d, ec);
      std::filesystem::create_directories(top_ / d);
    }
    std::filesystem::create_directories(top_ / "P" / "BkList");
    fs_ = std::make_unique<bk::PosixFileSystem>((top_ / "P").string());
    fs_->SetFlushes(false);  // a flush waits milliseconds for the disk: thousands of inputs a second need none
    fs_->MapDrive('P', {(top_ / "P").string(), "PROGRAM", "NTFS", std::nullopt, false});
    fs_->MapDrive('S', {(top_ / "S").string(), "SOURCE", "NTFS", std::nullopt, false});
    fs_->MapDrive('T', {(top_ / "T").string(), "BACKUP", "NTFS", std::uint64_t{1} << 30, false});
    alias_ = std::make_unique<AliasFileSystem>(*fs_);
    Put(*alias_, bk::kTemplatePath, "template\r\n");
  }

  std::filesystem::path top_;
  std::unique_ptr<bk::PosixFileSystem> fs_;
  std::unique_ptr<AliasFileSystem> alias_;
};

}  // namespace fuzz
