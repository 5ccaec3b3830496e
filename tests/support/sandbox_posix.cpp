#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/posix_file_system.hpp"
#include "support/sandbox.hpp"

namespace bk::test {

struct Sandbox::Impl {
  std::filesystem::path top;
  std::unique_ptr<PosixFileSystem> fs;
  PosixClock clock;
};

Sandbox::Sandbox() : impl_(std::make_unique<Impl>()) {
  char pattern[] = "/tmp/bk-sandbox-XXXXXX";
  const char* made = ::mkdtemp(pattern);
  if (!made) throw std::runtime_error("mkdtemp failed");
  impl_->top = made;
  for (const char* d : {"P", "S", "T", "U"}) std::filesystem::create_directories(impl_->top / d);
  std::filesystem::create_directories(impl_->top / "P" / "BkList");
  impl_->fs = std::make_unique<PosixFileSystem>((impl_->top / "P").string());
  // A test never loses power; the flushes it asks about are seen by FaultFileSystem.
  impl_->fs->SetFlushes(false);
  impl_->fs->MapDrive('P', {(impl_->top / "P").string(), "PROGRAM", "NTFS", std::nullopt, false});
  impl_->fs->MapDrive('S', {(impl_->top / "S").string(), "SOURCE", "NTFS", std::nullopt, false});
  impl_->fs->MapDrive('T', {(impl_->top / "T").string(), "BACKUP", "NTFS", std::nullopt, false});
  impl_->fs->MapDrive('U', {(impl_->top / "U").string(), "BACKUP2", "NTFS", std::nullopt, false});
  Write("BkList\\ANIS_LF形式で保存するための原本.txt", "template\r\n");
}

Sandbox::~Sandbox() {
  std::error_code ec;
  // Read-only files and folders must not stop the clean-up.
  for (auto it = std::filesystem::recursive_directory_iterator(impl_->top, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(impl_->top, ec);
}

FileSystem& Sandbox::fs() { return *impl_->fs; }
Clock& Sandbox::clock() { return impl_->clock; }
const char* Sandbox::AdapterName() { return "posix"; }

bool Sandbox::PlayFileSystem(char letter, std::string_view file_system) {
  PosixDrive* drive = impl_->fs->Drive(letter);
  if (!drive) return false;
  drive->file_system = std::string(file_system);
  return true;
}

bool Sandbox::MakeLink(std::string_view link, std::string_view target, bool) {
  std::string from, to;
  if (!impl_->fs->HostPath(link, &from) || !impl_->fs->HostPath(target, &to)) return false;
  return ::symlink(to.c_str(), from.c_str()) == 0;
}

void Sandbox::MakeLargeFile(std::string_view path, std::uint64_t size) {
  std::string host;
  ASSERT_TRUE(test::Succeeded(impl_->fs->HostPath(path, &host)));
  const int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
  ::close(fd);
}

}  // namespace bk::test
