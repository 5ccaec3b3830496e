#include <gtest/gtest.h>

#include "platform/shift_jis.hpp"
#include "common/text_file.hpp"
#include "support/sandbox.hpp"

namespace bk::test {

void Sandbox::Write(std::string_view path, std::string_view bytes) {
  const auto sep = sjis::LastSeparator(path);
  if (sep != std::string_view::npos && sep > 2) {
    ASSERT_TRUE(test::Succeeded(fs().CreateFolderChain(path.substr(0, sep)))) << path;
  }
  const Status s = WriteWholeFile(fs(), path, bytes);
  ASSERT_TRUE(Succeeded(s)) << path;
}

std::string Sandbox::Read(std::string_view path) {
  std::string out;
  const Status s = ReadWholeFile(fs(), path, &out);
  EXPECT_TRUE(Succeeded(s)) << path;
  return out;
}

bool Sandbox::Exists(std::string_view path) {
  FileInfo info;
  return fs().GetInfo(path, &info).ok();
}

}  // namespace bk::test
