// FaultFileSystem plays what a test drive cannot hold: cloud placeholders and two folders
// with one identity.
#include <gtest/gtest.h>

#include "platform/fault_file_system.hpp"
#include "support/sandbox.hpp"

namespace bk {
namespace {

TEST(FaultFileSystemPlays, CloudAttributesWhereverTheEntryIsSeen) {
  test::Sandbox box;
  box.Write("S:\\cloud\\online.txt", "not here");
  box.Write("S:\\cloud\\local.txt", "here");
  FaultFileSystem fs(box.fs());
  fs.SetExtraAttributes("online", attr::kRecallOnDataAccess | attr::kOffline);
  fs.SetExtraAttributes("cloud\\", attr::kRecallOnOpen);  // the folder itself is no match

  std::vector<FileInfo> entries;
  ASSERT_TRUE(test::Succeeded(fs.ListFolder("S:\\cloud", &entries)));
  ASSERT_EQ(entries.size(), 2u);
  for (const FileInfo& e : entries) {
    EXPECT_NE(e.attributes & attr::kRecallOnOpen, 0u) << e.name;
    const bool online = e.name == "online.txt";
    EXPECT_EQ((e.attributes & attr::kRecallOnDataAccess) != 0, online) << e.name;
    EXPECT_EQ((e.attributes & attr::kOffline) != 0, online) << e.name;
    EXPECT_FALSE(e.is_directory());
  }
  FileInfo info;
  ASSERT_TRUE(test::Succeeded(fs.GetInfo("S:\\cloud\\online.txt", &info)));
  EXPECT_EQ(info.attributes & (attr::kRecallOnDataAccess | attr::kOffline | attr::kRecallOnOpen),
            attr::kRecallOnDataAccess | attr::kOffline | attr::kRecallOnOpen);
  EXPECT_EQ(info.size, 8u);
  ASSERT_TRUE(test::Succeeded(fs.GetInfo("S:\\cloud", &info)));
  EXPECT_EQ(info.attributes & (attr::kRecallOnOpen | attr::kRecallOnDataAccess), 0u);
  std::unique_ptr<ReadableFile> in;
  ASSERT_TRUE(test::Succeeded(fs.OpenRead("S:\\cloud\\online.txt", &in)));
  ASSERT_TRUE(test::Succeeded(in->GetInfo(&info)));
  EXPECT_NE(info.attributes & attr::kRecallOnDataAccess, 0u);
  EXPECT_EQ(info.size, 8u);
  fs.Clear();
  ASSERT_TRUE(test::Succeeded(fs.GetInfo("S:\\cloud\\online.txt", &info)));
  EXPECT_EQ(info.attributes & (attr::kRecallOnDataAccess | attr::kOffline | attr::kRecallOnOpen), 0u);
}

TEST(FaultFileSystemPlays, AChosenFolderIdAndFailuresOfTheNewCalls) {
  test::Sandbox box;
  ASSERT_TRUE(test::Succeeded(box.fs().CreateFolderChain("S:\\top\\deep\\again")));
  FaultFileSystem fs(box.fs());
  FolderId top;
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("S:\\top", &top)));
  // "again" is "top" once more, as a loop no link announces would be.
  fs.SetFolderIdOf("\\again", top);
  FolderId deep, again;
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("S:\\top\\deep", &deep)));
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("S:\\top\\deep\\again", &again)));
  EXPECT_EQ(again, top);
  EXPECT_FALSE(deep == top);
  // A played id never makes a missing folder exist.
  EXPECT_TRUE(IsNotFound(fs.GetFolderId("S:\\top\\again", &again)));

  fs.Add({FsOp::GetFolderId, "deep", err::kNotReady});
  EXPECT_EQ(fs.GetFolderId("S:\\top\\deep", &deep).code, err::kNotReady);
  EXPECT_TRUE(test::Succeeded(fs.GetFolderId("S:\\top", &deep)));
  fs.Add({FsOp::ReadLinkTarget, "", err::kAccessDenied});
  std::string target;
  EXPECT_EQ(fs.ReadLinkTarget("S:\\top", &target).code, err::kAccessDenied);
  EXPECT_EQ(fs.failures(), 2);
  fs.RemoveDrive('S');
  EXPECT_EQ(fs.GetFolderId("S:\\top", &deep).code, err::kNotReady);
}

}  // namespace
}  // namespace bk
