// What every file-system adapter must do alike; runs natively over the POSIX adapter and
// under Wine over the Win32 adapter.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/text_file.hpp"
#include "support/sandbox.hpp"

namespace bk {
namespace {

using test::Sandbox;

const FileInfo* Find(const std::vector<FileInfo>& entries, std::string_view name) {
  const auto it = std::find_if(entries.begin(), entries.end(), [&](const FileInfo& e) { return e.name == name; });
  return it == entries.end() ? nullptr : &*it;
}

// 2024-01-02 03:04:05 UTC, with a 100 ns fraction, as the system counts it.
constexpr FileTime kSomeTime = 133486574450000000ULL + 1234567ULL;

TEST(FileSystemContract, ListsFilesAndFoldersWithSizesAndTimes) {
  Sandbox box;
  FileSystem& fs = box.fs();
  box.Write("S:\\data\\a.txt", "hello");
  box.Write("S:\\data\\sub\\b.bin", std::string(70000, 'x'));
  box.Write("S:\\data\\.hidden", "");
  ASSERT_TRUE(test::Succeeded(fs.SetLastWriteTime("S:\\data\\a.txt", kSomeTime)));

  std::vector<FileInfo> entries;
  ASSERT_TRUE(test::Succeeded(fs.ListFolder("S:\\data", &entries)));
  ASSERT_EQ(entries.size(), 3u);  // never "." or ".."
  const FileInfo* a = Find(entries, "a.txt");
  ASSERT_NE(a, nullptr);
  EXPECT_FALSE(a->is_directory());
  EXPECT_EQ(a->size, 5u);
  EXPECT_EQ(a->last_write, kSomeTime);
  const FileInfo* sub = Find(entries, "sub");
  ASSERT_NE(sub, nullptr);
  EXPECT_TRUE(sub->is_directory());
  EXPECT_NE(Find(entries, ".hidden"), nullptr);

  FileInfo info;
  ASSERT_TRUE(test::Succeeded(fs.GetInfo("S:\\data\\sub\\b.bin", &info)));
  EXPECT_EQ(info.size, 70000u);
  EXPECT_FALSE(info.is_directory());

  ASSERT_TRUE(test::Succeeded(fs.CreateFolderChain("S:\\empty")));
  ASSERT_TRUE(test::Succeeded(fs.ListFolder("S:\\empty", &entries)));
  EXPECT_TRUE(entries.empty());
}

TEST(FileSystemContract, MissingPathsAreNotFoundAndNothingElse) {
  Sandbox box;
  FileSystem& fs = box.fs();
  FileInfo info;
  std::vector<FileInfo> entries;
  EXPECT_TRUE(IsNotFound(fs.GetInfo("S:\\nothing.txt", &info)));
  EXPECT_TRUE(IsNotFound(fs.GetInfo("S:\\no\\such\\file.txt", &info)));
  EXPECT_TRUE(IsNotFound(fs.ListFolder("S:\\no-folder", &entries)));
  std::unique_ptr<ReadableFile> in;
  EXPECT_TRUE(IsNotFound(fs.OpenRead("BkList\\missing.ini", &in)));
  // A drive letter nothing answers on is never "not found"-and-fine for a file inside it
  // to be taken as deleted: the caller checks the drive; here it must at least fail.
  EXPECT_FALSE(fs.GetInfo("Q:\\x.txt", &info).ok());
  std::uint64_t free_bytes = 0;
  EXPECT_FALSE(fs.FreeSpace("Q:\\", &free_bytes).ok());
}

TEST(FileSystemContract, LargeFileSizesUseAllSixtyFourBits) {
  Sandbox box;
  const std::uint64_t five_gib = 5ULL << 30;
  box.MakeLargeFile("T:\\big.bin", five_gib);
  FileInfo info;
  ASSERT_TRUE(test::Succeeded(box.fs().GetInfo("T:\\big.bin", &info)));
  EXPECT_EQ(info.size, five_gib);
  std::vector<FileInfo> entries;
  ASSERT_TRUE(test::Succeeded(box.fs().ListFolder("T:\\", &entries)));
  const FileInfo* big = Find(entries, "big.bin");
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(big->size, five_gib);
}

TEST(FileSystemContract, ReadWriteRenameAndDelete) {
  Sandbox box;
  FileSystem& fs = box.fs();
  box.Write("T:\\old.txt", "old content that is longer");
  box.Write("T:\\new.txt", "new");
  ASSERT_TRUE(test::Succeeded(fs.Rename("T:\\new.txt", "T:\\old.txt")));  // replaces
  EXPECT_EQ(box.Read("T:\\old.txt"), "new");
  EXPECT_FALSE(box.Exists("T:\\new.txt"));

  ASSERT_TRUE(test::Succeeded(fs.CopyPlain("T:\\old.txt", "T:\\copy.txt")));
  EXPECT_EQ(box.Read("T:\\copy.txt"), "new");

  ASSERT_TRUE(test::Succeeded(fs.DeleteFile("T:\\copy.txt")));
  EXPECT_FALSE(box.Exists("T:\\copy.txt"));
  EXPECT_TRUE(IsNotFound(fs.DeleteFile("T:\\copy.txt")));
}

TEST(FileSystemContract, WriteHandleSetsTheLastWriteTimeOnClose) {
  Sandbox box;
  std::unique_ptr<WritableFile> out;
  ASSERT_TRUE(test::Succeeded(box.fs().CreateWrite("T:\\stamped.txt", &out)));
  ASSERT_TRUE(test::Succeeded(out->Write("abc", 3)));
  ASSERT_TRUE(test::Succeeded(out->SetLastWriteTime(kSomeTime)));
  ASSERT_TRUE(test::Succeeded(out->Close()));
  FileInfo info;
  ASSERT_TRUE(test::Succeeded(box.fs().GetInfo("T:\\stamped.txt", &info)));
  EXPECT_EQ(info.last_write, kSomeTime);
  EXPECT_EQ(info.size, 3u);
}

TEST(FileSystemContract, CreateNewMakesAFileButNeverTouchesWhatIsThere) {
  Sandbox box;
  FileSystem& fs = box.fs();
  std::unique_ptr<WritableFile> out;
  ASSERT_TRUE(test::Succeeded(fs.CreateNew("T:\\fresh.txt", &out)));
  ASSERT_TRUE(test::Succeeded(out->Write("fresh", 5)));
  ASSERT_TRUE(test::Succeeded(out->SetLastWriteTime(kSomeTime)));
  ASSERT_TRUE(test::Succeeded(out->Close()));
  out.reset();
  EXPECT_EQ(box.Read("T:\\fresh.txt"), "fresh");

  EXPECT_EQ(fs.CreateNew("T:\\fresh.txt", &out).code, err::kFileExists);
  EXPECT_EQ(box.Read("T:\\fresh.txt"), "fresh");
  FileInfo info;
  ASSERT_TRUE(test::Succeeded(fs.GetInfo("T:\\fresh.txt", &info)));
  EXPECT_EQ(info.last_write, kSomeTime);
  ASSERT_TRUE(test::Succeeded(fs.SetAttributes("T:\\fresh.txt", attr::kReadOnly | attr::kHidden)));
  EXPECT_EQ(fs.CreateNew("T:\\fresh.txt", &out).code, err::kFileExists);
  ASSERT_TRUE(test::Succeeded(fs.SetAttributes("T:\\fresh.txt", 0)));

  ASSERT_TRUE(test::Succeeded(fs.CreateFolderChain("T:\\dir")));
  EXPECT_FALSE(fs.CreateNew("T:\\dir", &out).ok());
  ASSERT_TRUE(test::Succeeded(fs.GetInfo("T:\\dir", &info)));
  EXPECT_TRUE(info.is_directory());
  EXPECT_TRUE(IsNotFound(fs.CreateNew("T:\\no\\such\\folder.txt", &out)));
}

TEST(FileSystemContract, AFlushKeepsBytesAndTimeAndLaterWritesStillGetTheTime) {
  Sandbox box;
  std::unique_ptr<WritableFile> out;
  ASSERT_TRUE(test::Succeeded(box.fs().CreateWrite("T:\\flushed.txt", &out)));
  ASSERT_TRUE(test::Succeeded(out->Write("abc", 3)));
  ASSERT_TRUE(test::Succeeded(out->SetLastWriteTime(kSomeTime)));
  ASSERT_TRUE(test::Succeeded(out->Flush()));
  ASSERT_TRUE(test::Succeeded(out->Write("def", 3)));  // after the flush: the time set still wins
  ASSERT_TRUE(test::Succeeded(out->Close()));
  FileInfo info;
  ASSERT_TRUE(test::Succeeded(box.fs().GetInfo("T:\\flushed.txt", &info)));
  EXPECT_EQ(info.last_write, kSomeTime);
  EXPECT_EQ(box.Read("T:\\flushed.txt"), "abcdef");
}

TEST(FileSystemContract, AnOpenFileTellsWhatItsPathTells) {
  Sandbox box;
  FileSystem& fs = box.fs();
  box.Write("S:\\info.bin", std::string(70000, 'i'));
  ASSERT_TRUE(test::Succeeded(fs.SetLastWriteTime("S:\\info.bin", kSomeTime)));
  ASSERT_TRUE(test::Succeeded(fs.SetAttributes("S:\\info.bin", attr::kReadOnly | attr::kHidden)));
  FileInfo by_path, by_handle;
  ASSERT_TRUE(test::Succeeded(fs.GetInfo("S:\\info.bin", &by_path)));
  std::unique_ptr<ReadableFile> in;
  ASSERT_TRUE(test::Succeeded(fs.OpenRead("S:\\info.bin", &in)));
  ASSERT_TRUE(test::Succeeded(in->GetInfo(&by_handle)));
  EXPECT_EQ(by_handle.size, 70000u);
  EXPECT_EQ(by_handle.last_write, kSomeTime);
  EXPECT_EQ(by_handle.attributes, by_path.attributes);
  EXPECT_NE(by_handle.attributes & attr::kHidden, 0u);
  in.reset();
  ASSERT_TRUE(test::Succeeded(fs.SetAttributes("S:\\info.bin", 0)));
}

TEST(FileSystemContract, ReadOnlyAttributeRoundTripsAndBlocksDeletion) {
  Sandbox box;
  FileSystem& fs = box.fs();
  box.Write("T:\\ro.txt", "x");
  ASSERT_TRUE(test::Succeeded(fs.SetAttributes("T:\\ro.txt", attr::kReadOnly)));
  FileInfo info;
  ASSERT_TRUE(test::Succeeded(fs.GetInfo("T:\\ro.txt", &info)));
  EXPECT_NE(info.attributes & attr::kReadOnly, 0u);
  EXPECT_FALSE(fs.DeleteFile("T:\\ro.txt").ok());
  ASSERT_TRUE(test::Succeeded(fs.SetAttributes("T:\\ro.txt", 0)));
  EXPECT_TRUE(test::Succeeded(fs.DeleteFile("T:\\ro.txt")));
}

TEST(FileSystemContract, FolderChainsAndWholeTrees) {
  Sandbox box;
  FileSystem& fs = box.fs();
  ASSERT_TRUE(test::Succeeded(fs.CreateFolderChain("T:\\BK\\Users\\a\\b\\c")));
  ASSERT_TRUE(test::Succeeded(fs.CreateFolderChain("T:\\BK\\Users\\a\\b\\c")));  // existing is fine
  box.Write("T:\\BK\\Users\\a\\b\\c\\f.txt", "1");
  box.Write("T:\\BK\\Users\\a\\g.txt", "2");
  box.Write("T:\\BK\\keep.txt", "3");
  ASSERT_TRUE(test::Succeeded(fs.DeleteTree("T:\\BK\\Users")));
  EXPECT_FALSE(box.Exists("T:\\BK\\Users"));
  EXPECT_TRUE(box.Exists("T:\\BK\\keep.txt"));
  EXPECT_FALSE(fs.DeleteTree("T:\\BK\\Users").ok());
  // A file where a folder of the chain should be is an error, never success.
  EXPECT_FALSE(fs.CreateFolderChain("T:\\BK\\keep.txt\\sub").ok());
}

TEST(FileSystemContract, ShiftJisNamesWithTrailByteBackslash) {
  Sandbox box;
  FileSystem& fs = box.fs();
  // 表 and ソ end in the byte 0x5C; it must never be taken for a separator.
  const std::string folder = "S:\\データ表\\ソフト";
  ASSERT_TRUE(test::Succeeded(fs.CreateFolderChain(folder)));
  box.Write(folder + "\\能力表.txt", "sjis");
  std::vector<FileInfo> entries;
  ASSERT_TRUE(test::Succeeded(fs.ListFolder(folder, &entries)));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "能力表.txt");
  EXPECT_EQ(box.Read(folder + "\\能力表.txt"), "sjis");
  ASSERT_TRUE(test::Succeeded(fs.ListFolder("S:\\データ表", &entries)));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "ソフト");
  EXPECT_TRUE(entries[0].is_directory());
  ASSERT_TRUE(test::Succeeded(fs.DeleteTree("S:\\データ表")));
  EXPECT_FALSE(box.Exists("S:\\データ表"));
}

TEST(FileSystemContract, DrivesReportFreeSpaceLabelAndFileSystem) {
  Sandbox box;
  std::uint64_t free_bytes = 0;
  ASSERT_TRUE(test::Succeeded(box.fs().FreeSpace("T:\\", &free_bytes)));
  EXPECT_GT(free_bytes, 0u);
  VolumeInfo volume;
  ASSERT_TRUE(test::Succeeded(box.fs().GetVolumeInfo("T:\\", &volume)));
  EXPECT_EQ(volume.label, "BACKUP");
  EXPECT_FALSE(volume.file_system.empty());
  ASSERT_TRUE(test::Succeeded(box.fs().GetVolumeInfo("S:\\", &volume)));
  EXPECT_EQ(volume.label, "SOURCE");
}

TEST(FileSystemContract, SystemMessagesAreTextWithoutLineEnd) {
  Sandbox box;
  for (std::uint32_t code : {err::kFileNotFound, err::kAccessDenied, err::kDiskFull}) {
    const std::string text = box.fs().ErrorMessage(code);
    EXPECT_FALSE(text.empty()) << code;
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '\r');
  }
}

TEST(FileSystemContract, RelativePathsLandInTheProgramFolder) {
  Sandbox box;
  box.Write("BkList\\probe.txt", "here");
  EXPECT_EQ(box.Read("P:\\BkList\\probe.txt"), "here");
}

}  // namespace
}  // namespace bk

namespace bk {
namespace {

TEST(FileSystemContract, BytesThatAreNoShiftJisTextAreRefusedNotGuessed) {
  test::Sandbox box;
  std::unique_ptr<WritableFile> out;
  const Status s = box.fs().CreateWrite(std::string("T:\\bad\x81"), &out);
  EXPECT_FALSE(s.ok());
  EXPECT_FALSE(IsNotFound(s));
}

}  // namespace
}  // namespace bk

namespace bk {
namespace {

TEST(FileSystemContract, OnlyAnEmptyFolderIsRemoved) {
  test::Sandbox box;
  FileSystem& fs = box.fs();
  ASSERT_TRUE(test::Succeeded(fs.CreateFolderChain("T:\\BK\\full\\sub")));
  box.Write("T:\\BK\\full\\f.txt", "kept");
  EXPECT_EQ(fs.RemoveEmptyFolder("T:\\BK\\full").code, err::kDirNotEmpty);
  EXPECT_EQ(box.Read("T:\\BK\\full\\f.txt"), "kept");
  ASSERT_TRUE(test::Succeeded(fs.RemoveEmptyFolder("T:\\BK\\full\\sub")));
  EXPECT_FALSE(box.Exists("T:\\BK\\full\\sub"));
  EXPECT_TRUE(IsNotFound(fs.RemoveEmptyFolder("T:\\BK\\full\\sub")));
  EXPECT_FALSE(fs.RemoveEmptyFolder("T:\\BK\\full\\f.txt").ok());  // a file is no folder
  EXPECT_TRUE(box.Exists("T:\\BK\\full\\f.txt"));
}

}  // namespace
}  // namespace bk

namespace bk {
namespace {

// A folder link and a file link beside a plain file: the walk must tell them apart, never
// follow the first and back up the second as the file it points to.
TEST(FileSystemContract, FolderAndFileLinksAreToldApartAndAFileLinkIsItsTarget) {
  test::Sandbox box;
  FileSystem& fs = box.fs();
  box.Write("S:\\real\\sub\\inner.txt", "inner");
  box.Write("S:\\real\\data.bin", std::string(4000, 'd'));
  ASSERT_TRUE(test::Succeeded(fs.SetLastWriteTime("S:\\real\\data.bin", kSomeTime)));
  box.Write("S:\\links\\plain.txt", "p");
  if (!box.MakeLink("S:\\links\\folder-link", "S:\\real\\sub", true) ||
      !box.MakeLink("S:\\links\\file-link", "S:\\real\\data.bin", false)) {
    GTEST_SKIP() << "the system made no symbolic link (Wine 8's CreateSymbolicLinkW makes none)";
  }

  std::vector<FileInfo> entries;
  ASSERT_TRUE(test::Succeeded(fs.ListFolder("S:\\links", &entries)));
  ASSERT_EQ(entries.size(), 3u);
  const FileInfo* plain = Find(entries, "plain.txt");
  const FileInfo* folder = Find(entries, "folder-link");
  const FileInfo* file = Find(entries, "file-link");
  ASSERT_TRUE(plain && folder && file);
  EXPECT_EQ(plain->link, LinkKind::None);
  EXPECT_EQ(plain->attributes & attr::kReparsePoint, 0u);
  EXPECT_EQ(folder->link, LinkKind::Folder);
  EXPECT_TRUE(folder->is_directory());
  EXPECT_NE(folder->attributes & attr::kReparsePoint, 0u);
  EXPECT_EQ(file->link, LinkKind::File);
  EXPECT_FALSE(file->is_directory());
  EXPECT_NE(file->attributes & attr::kReparsePoint, 0u);
  EXPECT_EQ(file->size, 4000u);
  EXPECT_EQ(file->last_write, kSomeTime);

  // GetInfo says what the listing says.
  for (const FileInfo* listed : {plain, folder, file}) {
    FileInfo info;
    ASSERT_TRUE(test::Succeeded(fs.GetInfo("S:\\links\\" + listed->name, &info))) << listed->name;
    EXPECT_EQ(info.link, listed->link) << listed->name;
    EXPECT_EQ(info.attributes, listed->attributes) << listed->name;
    EXPECT_EQ(info.size, listed->size) << listed->name;
    EXPECT_EQ(info.last_write, listed->last_write) << listed->name;
  }
  EXPECT_EQ(box.Read("S:\\links\\file-link"), std::string(4000, 'd'));
  ASSERT_TRUE(test::Succeeded(fs.ListFolder("S:\\links\\folder-link", &entries)));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "inner.txt");

  // A link and its target are one folder; its siblings and parent are others.
  FolderId link_id, sub_id, real_id, links_id;
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("S:\\links\\folder-link", &link_id)));
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("S:\\real\\sub\\", &sub_id)));
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("S:\\real", &real_id)));
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("S:\\links", &links_id)));
  EXPECT_EQ(link_id, sub_id);
  EXPECT_FALSE(link_id == real_id);
  EXPECT_FALSE(link_id == links_id);

  std::string target;
  ASSERT_TRUE(test::Succeeded(fs.ReadLinkTarget("S:\\links\\file-link", &target)));
  EXPECT_EQ(target, "S:\\real\\data.bin");
  ASSERT_TRUE(test::Succeeded(fs.ReadLinkTarget("S:\\links\\folder-link", &target)));
  EXPECT_EQ(target, "S:\\real\\sub");
  EXPECT_EQ(fs.ReadLinkTarget("S:\\links\\plain.txt", &target).code, err::kNotAReparsePoint);
  EXPECT_EQ(fs.ReadLinkTarget("S:\\real", &target).code, err::kNotAReparsePoint);
  EXPECT_TRUE(IsNotFound(fs.ReadLinkTarget("S:\\links\\none", &target)));
}

// A file link whose target is gone: listed (a walk sees it and can report it), but
// nothing reads from it.
TEST(FileSystemContract, ADanglingFileLinkIsListedAndNotFound) {
  test::Sandbox box;
  FileSystem& fs = box.fs();
  box.Write("S:\\links\\target.txt", "soon gone");
  if (!box.MakeLink("S:\\links\\gone", "S:\\links\\target.txt", false)) {
    GTEST_SKIP() << "the system made no symbolic link (Wine 8's CreateSymbolicLinkW makes none)";
  }
  ASSERT_TRUE(test::Succeeded(fs.DeleteFile("S:\\links\\target.txt")));
  std::vector<FileInfo> entries;
  ASSERT_TRUE(test::Succeeded(fs.ListFolder("S:\\links", &entries)));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "gone");
  EXPECT_EQ(entries[0].link, LinkKind::File);
  EXPECT_EQ(entries[0].size, 0u);
  EXPECT_FALSE(entries[0].is_directory());
  EXPECT_NE(entries[0].attributes & attr::kReparsePoint, 0u);
  FileInfo info;
  EXPECT_TRUE(IsNotFound(fs.GetInfo("S:\\links\\gone", &info)));
  std::unique_ptr<ReadableFile> in;
  EXPECT_TRUE(IsNotFound(fs.OpenRead("S:\\links\\gone", &in)));
  std::string target;
  ASSERT_TRUE(test::Succeeded(fs.ReadLinkTarget("S:\\links\\gone", &target)));
  EXPECT_EQ(target, "S:\\links\\target.txt");
}

TEST(FileSystemContract, FolderIdsNameOneFolderEachAndDriveRootsHaveOne) {
  test::Sandbox box;
  FileSystem& fs = box.fs();
  ASSERT_TRUE(test::Succeeded(fs.CreateFolderChain("S:\\a\\b")));
  ASSERT_TRUE(test::Succeeded(fs.CreateFolderChain("S:\\c")));
  FolderId a1, a2, b, c, root1, root2, other_root;
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("S:\\a", &a1)));
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("S:\\a\\", &a2)));
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("S:\\a\\b", &b)));
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("S:\\c", &c)));
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("S:", &root1)));
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("S:\\", &root2)));
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("T:\\", &other_root)));
  EXPECT_EQ(a1, a2);
  EXPECT_EQ(root1, root2);
  EXPECT_FALSE(a1 == b);
  EXPECT_FALSE(a1 == c);
  EXPECT_FALSE(a1 == root1);
  EXPECT_FALSE(root1 == other_root);
  // Renamed, a folder keeps its identity: it is the folder, not its name.
  ASSERT_TRUE(test::Succeeded(fs.Rename("S:\\c", "S:\\moved")));
  FolderId moved;
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("S:\\moved", &moved)));
  EXPECT_EQ(moved, c);
  EXPECT_TRUE(IsNotFound(fs.GetFolderId("S:\\c", &c)));
  EXPECT_TRUE(IsNotFound(fs.GetFolderId("S:\\no\\such", &c)));
}

}  // namespace
}  // namespace bk
