// How the POSIX adapter shows host symbolic links: relative targets, targets outside every
// drive, links to links and the one lookup a plain entry costs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/posix_file_system.hpp"
#include "support/sandbox.hpp"

namespace bk {
namespace {

TEST(PosixLinks, TargetsAreNamedByTheirDriveOrElseByTheirHostPath) {
  test::Sandbox box;
  auto& fs = static_cast<PosixFileSystem&>(box.fs());
  box.Write("S:\\dir\\表.txt", "x");
  box.Write("T:\\other.txt", "y");
  std::string dir, t_root;
  ASSERT_TRUE(test::Succeeded(fs.HostPath("S:\\dir", &dir)));
  ASSERT_TRUE(test::Succeeded(fs.HostPath("T:\\", &t_root)));
  // Relative, through "..", onto another drive, outside every drive, UTF-8 on the host.
  ASSERT_EQ(::symlink("\xE8\xA1\xA8.txt", (dir + "/rel").c_str()), 0);  // 表 in UTF-8
  ASSERT_EQ(::symlink(("../../" + t_root.substr(t_root.find_last_of('/') + 1) + "/other.txt").c_str(),
                      (dir + "/up").c_str()), 0);
  ASSERT_EQ(::symlink("/usr/share", (dir + "/host").c_str()), 0);
  ASSERT_EQ(::symlink("..", (dir + "/parent").c_str()), 0);
  std::string target;
  ASSERT_TRUE(test::Succeeded(fs.ReadLinkTarget("S:\\dir\\rel", &target)));
  EXPECT_EQ(target, "S:\\dir\\表.txt");
  ASSERT_TRUE(test::Succeeded(fs.ReadLinkTarget("S:\\dir\\up", &target)));
  EXPECT_EQ(target, "T:\\other.txt");
  ASSERT_TRUE(test::Succeeded(fs.ReadLinkTarget("S:\\dir\\host", &target)));
  EXPECT_EQ(target, "\\usr\\share");
  ASSERT_TRUE(test::Succeeded(fs.ReadLinkTarget("S:\\dir\\parent", &target)));
  EXPECT_EQ(target, "S:\\");

  // A link to the folder holding it is a folder link with the folder's identity.
  FileInfo info;
  ASSERT_TRUE(test::Succeeded(fs.GetInfo("S:\\dir\\parent", &info)));
  EXPECT_EQ(info.link, LinkKind::Folder);
  EXPECT_EQ(info.attributes, attr::kDirectory | attr::kReparsePoint);
  FolderId parent, root;
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("S:\\dir\\parent", &parent)));
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("S:", &root)));
  EXPECT_EQ(parent, root);
}

TEST(PosixLinks, ALinkToALinkIsItsFinalTargetAndALoopIsNotFound) {
  test::Sandbox box;
  auto& fs = static_cast<PosixFileSystem&>(box.fs());
  box.Write("S:\\d\\file.txt", "twelve bytes");
  std::string d;
  ASSERT_TRUE(test::Succeeded(fs.HostPath("S:\\d", &d)));
  ASSERT_EQ(::symlink("file.txt", (d + "/one").c_str()), 0);
  ASSERT_EQ(::symlink("one", (d + "/two").c_str()), 0);
  ASSERT_EQ(::symlink("loop-b", (d + "/loop-a").c_str()), 0);
  ASSERT_EQ(::symlink("loop-a", (d + "/loop-b").c_str()), 0);
  FileInfo info;
  ASSERT_TRUE(test::Succeeded(fs.GetInfo("S:\\d\\two", &info)));
  EXPECT_EQ(info.link, LinkKind::File);
  EXPECT_EQ(info.size, 12u);
  EXPECT_EQ(info.attributes, attr::kArchive | attr::kReparsePoint);
  std::vector<FileInfo> entries;
  ASSERT_TRUE(test::Succeeded(fs.ListFolder("S:\\d", &entries)));
  ASSERT_EQ(entries.size(), 5u);
  for (const FileInfo& e : entries) {
    if (e.name == "file.txt") continue;
    EXPECT_EQ(e.link, LinkKind::File) << e.name;
    EXPECT_EQ(e.size, e.name.starts_with("loop") ? 0u : 12u) << e.name;
  }
  // A loop of links leads nowhere: like a dangling link, nothing to read.
  EXPECT_FALSE(fs.GetInfo("S:\\d\\loop-a", &info).ok());
  std::unique_ptr<ReadableFile> in;
  EXPECT_FALSE(fs.OpenRead("S:\\d\\loop-a", &in).ok());
}

}  // namespace
}  // namespace bk
