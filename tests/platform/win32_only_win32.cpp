// Behaviour only the Win32 adapter has: the code page 932 conversion at the system
// boundary, names the system can hold but code page 932 cannot, and long paths.
#include "platform/win32_api.hpp"
#include <winioctl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/shift_jis.hpp"
#include "common/text_file.hpp"
#include "platform/program_folder.hpp"
#include "platform/wide.hpp"
#include "platform/win32_file_system.hpp"
#include "platform/win32_handles.hpp"
#include "support/sandbox.hpp"

namespace bk::test {
namespace {

// "データ表ソ能": three characters whose second Shift-JIS byte is 0x5C.
constexpr char kTrailBackslashName[] = "データ表ソ能";

TEST(Win32Wide, RoundTripKeepsCharactersEndingIn0x5C) {
  const std::string sjis = kTrailBackslashName;
  std::wstring wide;
  ASSERT_TRUE(ToWide(sjis, &wide));
  EXPECT_EQ(wide, L"\u30C7\u30FC\u30BF\u8868\u30BD\u80FD");
  EXPECT_EQ(std::count(wide.begin(), wide.end(), L'\\'), 0);
  std::string back;
  FromWide(wide, &back);
  EXPECT_EQ(back, sjis);
}

// The conversion every adapter uses is the system's code page 932, character for
// character: every byte pair reads as the system reads it, and every UTF-16 unit is
// written as the system writes it when the system's form leads back to the same unit
// (without best fit), else as an escape.
TEST(Win32Wide, TheTableIsTheSystemsCodePage932) {
  int differences = 0;
  auto note = [&](const char* what, unsigned code, unsigned ours, unsigned system) {
    if (++differences <= 10) ADD_FAILURE() << what << " 0x" << std::hex << code << ": ours 0x" << ours << ", system 0x" << system;
  };
  for (unsigned first = 0; first < 0x100; ++first) {
    for (unsigned second = 0; second < 0x100; ++second) {
      const bool pair = sjis::IsLeadByte(static_cast<unsigned char>(first));
      if (!pair && second > 0) break;
      char bytes[2] = {static_cast<char>(first), static_cast<char>(second)};
      const int n = pair ? 2 : 1;
      WCHAR system[4] = {};
      const int made = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, n, system, 4);
      std::u16string ours;
      const bool ok = ToUtf16(std::string_view(bytes, static_cast<std::size_t>(n)), &ours);
      // NUL and the escape byte are no name's bytes here; the system takes them as controls.
      if (first == 0 || first == 0x1B) continue;
      const bool system_ok = made == 1;
      if (ok != system_ok || (ok && ours[0] != system[0])) note("bytes", first << 8 | second, ok ? ours[0] : 0, system_ok ? system[0] : 0);
    }
  }
  for (unsigned u = 1; u < 0x10000; ++u) {
    if (u == 0x1B || (u >= 0xD800 && u <= 0xDFFF)) continue;
    const WCHAR unit = static_cast<WCHAR>(u);
    char out[4] = {};
    BOOL used_default = FALSE;
    const int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &unit, 1, out, 4, "?", &used_default);
    WCHAR again = 0;
    const bool exact = n > 0 && !used_default && MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, out, n, &again, 1) == 1 && again == unit;
    const std::string expected = exact ? std::string(out, static_cast<std::size_t>(n)) : sjis::EscapeUnit(static_cast<char16_t>(u));
    const std::string ours = FromUtf16(std::u16string(1, static_cast<char16_t>(u)));
    if (ours != expected) note("unit", u, ours.size() > 1 ? static_cast<unsigned char>(ours[0]) << 8 | static_cast<unsigned char>(ours[1]) : static_cast<unsigned char>(ours[0]), n > 1 ? static_cast<unsigned char>(out[0]) << 8 | static_cast<unsigned char>(out[1]) : static_cast<unsigned char>(out[0]));
  }
  EXPECT_EQ(differences, 0);
}

TEST(Win32Wide, NamesBeyondCodePage932AreEscapedNeverReplaced) {
  std::string out;
  // U+00A5 must not become 0x5C (a backslash) nor é an 'e': either would name another file.
  FromWide(L"a\u00A5b", &out);
  EXPECT_EQ(out, "a\x1B" "00A5b");
  FromWide(L"caf\u00E9", &out);
  EXPECT_EQ(out, "caf\x1B" "00E9");
  FromWide(L"\u2603.txt", &out);
  std::wstring back;
  ASSERT_TRUE(ToWide(out, &back));
  EXPECT_EQ(back, L"\u2603.txt");
}

// Creates a file by its wide name, beyond what code page 932 can name.
void MakeWideFile(const std::wstring& path) {
  const KernelHandle h(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(h.get(), INVALID_HANDLE_VALUE) << GetLastError();
}

TEST(Win32Adapter, NamesBeyondCodePage932LeadToTheirFiles) {
  Sandbox box;
  box.Write("S:\\dir\\plain.txt", "x");
  MakeWideFile(L"S:\\dir\\\u2603.txt");
  std::vector<FileInfo> entries;
  ASSERT_TRUE(test::Succeeded(box.fs().ListFolder("S:\\dir", &entries)));
  ASSERT_EQ(entries.size(), 2u);
  std::sort(entries.begin(), entries.end(), [](const FileInfo& a, const FileInfo& b) { return a.name < b.name; });
  EXPECT_EQ(entries[0].name, "\x1B" "2603.txt");
  EXPECT_EQ(entries[1].name, "plain.txt");
  // The escaped name leads to the snowman's file and to no other.
  FileInfo info;
  EXPECT_TRUE(test::Succeeded(box.fs().GetInfo("S:\\dir\\" + entries[0].name, &info)));
  box.Write("S:\\dir\\" + entries[0].name, "snow");
  EXPECT_EQ(box.Read("S:\\dir\\\x1B" "2603.txt"), "snow");
  EXPECT_EQ(box.Read("S:\\dir\\plain.txt"), "x");
}

TEST(Win32Adapter, RefusesPathsThatCannotBeConverted) {
  Sandbox box;
  box.Write("S:\\a", "x");
  FileInfo info;
  // A NUL would end the path at "S:\a" in the system call: another file.
  EXPECT_EQ(box.fs().GetInfo(std::string("S:\\a\0b", 6), &info).code, err::kInvalidName);
  EXPECT_EQ(box.fs().DeleteFile(std::string("S:\\a\0b", 6)).code, err::kInvalidName);
  EXPECT_EQ(box.fs().CreateFolderChain("S:\\bad\x81").code, err::kInvalidName);
  EXPECT_TRUE(box.Exists("S:\\a"));
}

TEST(Win32Adapter, DevicesAreNotFiles) {
  Sandbox box;
  std::unique_ptr<WritableFile> out;
  EXPECT_FALSE(box.fs().CreateWrite("T:\\NUL", &out).ok());
  std::unique_ptr<ReadableFile> in;
  EXPECT_FALSE(box.fs().OpenRead("S:\\CON", &in).ok());
}

TEST(Win32Adapter, WorksBesidePathsLongerThanMaxPath) {
  Sandbox box;
  std::string folder = "T:\\";
  for (int i = 0; i < 7; ++i) folder += std::string(48, static_cast<char>('a' + i)) + "\\";
  folder += "表";
  ASSERT_GT(folder.size(), 300u);
  ASSERT_TRUE(test::Succeeded(box.fs().CreateFolderChain(folder)));
  const std::string file = folder + "\\data.txt";
  const std::string temp = file + ".new";
  std::unique_ptr<WritableFile> out;
  ASSERT_TRUE(test::Succeeded(box.fs().CreateWrite(temp, &out)));
  ASSERT_TRUE(test::Succeeded(out->Write("abc", 3)));
  ASSERT_TRUE(test::Succeeded(out->Close()));
  ASSERT_TRUE(test::Succeeded(box.fs().Rename(temp, file)));
  EXPECT_EQ(box.Read(file), "abc");
  std::vector<FileInfo> entries;
  ASSERT_TRUE(test::Succeeded(box.fs().ListFolder(folder, &entries)));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "data.txt");
  // Deleting a tree that holds paths beyond MAX_PATH removes it and touches nothing else
  // (the working folder with the program's lists least of all).
  box.Write("T:\\" + std::string(48, 'a') + "\\ro.txt", "r");
  ASSERT_TRUE(test::Succeeded(box.fs().SetAttributes("T:\\" + std::string(48, 'a') + "\\ro.txt", attr::kReadOnly)));
  EXPECT_TRUE(test::Succeeded(box.fs().DeleteTree("T:\\" + std::string(48, 'a'))));
  EXPECT_FALSE(box.Exists("T:\\" + std::string(48, 'a')));
  EXPECT_TRUE(box.Exists(kTemplatePath));
}

TEST(Win32Adapter, DeleteTreeTakesOneRealFolderOnly) {
  Sandbox box;
  box.Write("S:\\keep\\a.txt", "a");
  box.Write("S:\\gone\\sub\\b.txt", "b");
  for (const char* refused : {"S:\\", "S:", "S:\\*", "S:\\ke?p", "S:\\gone\\..", "S:\\gone\\..\\keep",
                              "S:\\.\\keep", "S:/gone/../keep", ""}) {
    EXPECT_EQ(box.fs().DeleteTree(refused).code, err::kInvalidParameter) << refused;
  }
  EXPECT_TRUE(box.Exists("S:\\keep\\a.txt"));
  EXPECT_TRUE(box.Exists("S:\\gone\\sub\\b.txt"));
  EXPECT_EQ(box.fs().DeleteTree("S:\\keep\\a.txt").code, err::kDirectory);
  EXPECT_EQ(box.fs().DeleteTree("S:\\nowhere").code, err::kPathNotFound);
  // Read-only entries inside, folders included, go with the tree.
  ASSERT_TRUE(test::Succeeded(box.fs().SetAttributes("S:\\gone\\sub\\b.txt", attr::kReadOnly)));
  ASSERT_TRUE(test::Succeeded(box.fs().SetAttributes("S:\\gone\\sub", attr::kReadOnly)));
  EXPECT_TRUE(test::Succeeded(box.fs().DeleteTree("S:\\gone\\")));
  EXPECT_FALSE(box.Exists("S:\\gone"));
  EXPECT_TRUE(box.Exists("S:\\keep\\a.txt"));
}

TEST(Win32Adapter, LongPathFormIsBuiltByHand) {
  EXPECT_EQ(LongPathForm(L"D:\\BK\\a"), L"\\\\?\\D:\\BK\\a");
  EXPECT_EQ(LongPathForm(L"D:"), L"\\\\?\\D:\\");
  EXPECT_EQ(LongPathForm(L"D:\\"), L"\\\\?\\D:\\");
  EXPECT_EQ(LongPathForm(L"\\\\server\\share\\x"), L"\\\\?\\UNC\\server\\share\\x");
  // Trailing dots and spaces and device names with an extension stay as they are.
  EXPECT_EQ(LongPathForm(L"D:\\a\\foo."), L"\\\\?\\D:\\a\\foo.");
  EXPECT_EQ(LongPathForm(L"D:\\a \\foo "), L"\\\\?\\D:\\a \\foo ");
  EXPECT_EQ(LongPathForm(L"D:\\a\\aux.c"), L"\\\\?\\D:\\a\\aux.c");
  // The long form takes no '/' and no empty part; a trailing separator is kept.
  EXPECT_EQ(LongPathForm(L"D:/a//b\\"), L"\\\\?\\D:\\a\\b\\");
  // Relative and drive-relative paths, and "." or ".." parts, keep the plain form.
  for (const wchar_t* plain : {L"BkList\\TBK1.ini", L"D:a", L"\\a", L"D:\\a\\..\\b", L"D:\\.\\b",
                               L"\\\\?\\D:\\x.", L"\\\\.\\COM1", L""})
    EXPECT_EQ(LongPathForm(plain), plain);
  // A bare device name anywhere keeps the plain form, which reaches the device (refused as
  // no disk file) rather than making a file no other program can open.
  for (const wchar_t* plain : {L"D:\\a\\NUL", L"D:\\con \\x", L"D:\\a\\com1.", L"D:\\lpt9", L"D:\\a\\Aux"})
    EXPECT_EQ(LongPathForm(plain), plain);
}

TEST(Win32Adapter, NamesThePlainFormChangesAreFilesOfTheirOwn) {
  Sandbox box;
  const std::vector<std::string> names = {"foo", "foo.", "foo ", "aux.c"};
  ASSERT_TRUE(test::Succeeded(box.fs().CreateFolderChain("S:\\d.")));  // a folder name ending in a dot
  for (const std::string& name : names) {
    std::unique_ptr<WritableFile> out;
    ASSERT_TRUE(test::Succeeded(box.fs().CreateNew("S:\\d.\\" + name, &out))) << name;
    ASSERT_TRUE(test::Succeeded(out->Write(name.data(), name.size())));
    ASSERT_TRUE(test::Succeeded(out->Close()));
  }
  std::vector<FileInfo> entries;
  ASSERT_TRUE(test::Succeeded(box.fs().ListFolder("S:\\d.", &entries)));
  std::vector<std::string> listed;
  for (const FileInfo& e : entries) listed.push_back(e.name);
  std::sort(listed.begin(), listed.end());
  std::vector<std::string> expected = names;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(listed, expected);
  for (const std::string& name : names) {
    std::unique_ptr<ReadableFile> in;
    ASSERT_TRUE(test::Succeeded(box.fs().OpenRead("S:\\d.\\" + name, &in))) << name;
    std::string got(16, '\0');
    std::size_t n = 0;
    ASSERT_TRUE(test::Succeeded(in->Read(got.data(), got.size(), &n)));
    EXPECT_EQ(got.substr(0, n), name);
  }
  // A bare device name still reaches the device in the plain form and is refused as a
  // file; a permanent tree delete takes no relative path.
  std::unique_ptr<WritableFile> out;
  EXPECT_FALSE(box.fs().CreateWrite("NUL", &out).ok());
  EXPECT_EQ(box.fs().DeleteTree("S:d.").code, err::kInvalidParameter);
  EXPECT_EQ(box.fs().DeleteTree("d.").code, err::kInvalidParameter);
  EXPECT_TRUE(test::Succeeded(box.fs().DeleteTree("S:\\d.")));
  EXPECT_FALSE(box.Exists("S:\\d."));
}

TEST(Win32Adapter, ErrorMessagesAreTrimmedText) {
  Sandbox box;
  const std::string known = box.fs().ErrorMessage(err::kFileNotFound);
  ASSERT_FALSE(known.empty());
  EXPECT_NE(known.back(), '\n');
  EXPECT_NE(known.back(), '\r');
  EXPECT_NE(known.back(), ' ');
  EXPECT_EQ(box.fs().ErrorMessage(0x2FFFFFFF), "エラー 805306367 が発生しました。");
}

// Makes folder a junction to target (both absolute wide paths): the mount-point reparse
// data the system's own tools write. The answer is the system's error, 0 on success.
DWORD MakeJunction(const std::wstring& folder, const std::wstring& target) {
  if (!CreateDirectoryW(folder.c_str(), nullptr)) return GetLastError();
  KernelHandle h(CreateFileW(folder.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!h) {
    const DWORD error = GetLastError();
    RemoveDirectoryW(folder.c_str());
    return error;
  }
  const std::wstring substitute = L"\\??\\" + target;
  const std::size_t sub_bytes = substitute.size() * 2, print_bytes = target.size() * 2;
  // Tag, data length, reserved; four name fields; both names with their NULs.
  std::vector<unsigned char> data(8 + 8 + sub_bytes + 2 + print_bytes + 2, 0);
  const auto put16 = [&](std::size_t at, std::size_t v) {
    data[at] = static_cast<unsigned char>(v);
    data[at + 1] = static_cast<unsigned char>(v >> 8);
  };
  const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
  std::memcpy(data.data(), &tag, 4);
  put16(4, data.size() - 8);
  put16(8, 0);
  put16(10, sub_bytes);
  put16(12, sub_bytes + 2);
  put16(14, print_bytes);
  std::memcpy(data.data() + 16, substitute.data(), sub_bytes);
  std::memcpy(data.data() + 16 + sub_bytes + 2, target.data(), print_bytes);
  DWORD got = 0;
  const BOOL ok = DeviceIoControl(h.get(), FSCTL_SET_REPARSE_POINT, data.data(), static_cast<DWORD>(data.size()),
                                  nullptr, 0, &got, nullptr);
  const DWORD error = ok ? 0 : GetLastError();
  h.reset();  // closed before its folder can be removed
  if (error) RemoveDirectoryW(folder.c_str());
  return error;
}

TEST(Win32Links, AJunctionIsAFolderLinkAndATreeDeleteTakesOnlyTheLink) {
  Sandbox box;
  FileSystem& fs = box.fs();
  box.Write("S:\\real\\sub\\inner.txt", "inner");
  ASSERT_TRUE(test::Succeeded(fs.CreateFolderChain("S:\\links")));
  if (const DWORD error = MakeJunction(L"S:\\links\\junction", L"S:\\real\\sub"); error != 0) {
    GTEST_SKIP() << "FSCTL_SET_REPARSE_POINT made no junction, error " << error;
  }
  std::vector<FileInfo> entries;
  ASSERT_TRUE(test::Succeeded(fs.ListFolder("S:\\links", &entries)));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].link, LinkKind::Folder);
  EXPECT_TRUE(entries[0].is_directory());
  EXPECT_NE(entries[0].attributes & attr::kReparsePoint, 0u);
  FileInfo info;
  ASSERT_TRUE(test::Succeeded(fs.GetInfo("S:\\links\\junction", &info)));
  EXPECT_EQ(info.link, LinkKind::Folder);
  FolderId link, target;
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("S:\\links\\junction", &link)));
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("S:\\real\\sub", &target)));
  EXPECT_EQ(link, target);
  std::string named;
  ASSERT_TRUE(test::Succeeded(fs.ReadLinkTarget("S:\\links\\junction", &named)));
  EXPECT_EQ(named, "S:\\real\\sub");
  ASSERT_TRUE(test::Succeeded(fs.DeleteTree("S:\\links")));
  EXPECT_EQ(box.Read("S:\\real\\sub\\inner.txt"), "inner");
}

// scripts/wine-tests.sh maps L: to a tree of Unix symbolic links made on the Linux side,
// which no Windows call can make: tree\sub\up -> .., tree\folder-link -> sub,
// tree\file-link -> sub\data.txt, tree\gone-link -> missing.txt. Read only.
bool HasLinkDrive() {
  const KernelHandle h(
      CreateFileW(L"L:\\.windows-label", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!h) return false;
  char label[8] = {};
  DWORD got = 0;
  ReadFile(h.get(), label, sizeof label - 1, &got, nullptr);
  return std::string(label, got) == "LINKS";
}

TEST(Win32UnixLinks, ALoopThroughAUnixLinkIsTheSameFolderAndNeverAPlainOne) {
  if (!HasLinkDrive()) GTEST_SKIP() << "no L: drive of Unix links (run scripts/wine-tests.sh)";
  Sandbox box;
  FileSystem& fs = box.fs();
  FolderId tree, up, sub, folder_link;
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("L:\\tree", &tree)));
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("L:\\tree\\sub\\up", &up)));
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("L:\\tree\\sub", &sub)));
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("L:\\tree\\folder-link", &folder_link)));
  EXPECT_EQ(up, tree);
  EXPECT_EQ(folder_link, sub);
  EXPECT_FALSE(sub == tree);
  // Deeper through the loop, still the same folders.
  FolderId deeper;
  ASSERT_TRUE(test::Succeeded(fs.GetFolderId("L:\\tree\\sub\\up\\sub\\up", &deeper)));
  EXPECT_EQ(deeper, tree);

  std::vector<FileInfo> entries;
  ASSERT_TRUE(test::Succeeded(fs.ListFolder("L:\\tree", &entries)));
  auto find = [&](std::string_view name) -> const FileInfo* {
    for (const FileInfo& e : entries)
      if (e.name == name) return &e;
    return nullptr;
  };
  const FileInfo* folder = find("folder-link");
  const FileInfo* file = find("file-link");
  ASSERT_TRUE(folder && file);
  EXPECT_TRUE(folder->is_directory());
  // Wine marks a Unix link to a folder with the reparse bit and no tag: a folder link.
  EXPECT_EQ(folder->link, LinkKind::Folder) << std::hex << folder->attributes;
  // A Unix link to a file is shown as the file itself.
  EXPECT_FALSE(file->is_directory());
  EXPECT_EQ(file->size, 11u);
  EXPECT_EQ(box.Read("L:\\tree\\file-link"), "linked data");
  FileInfo info;
  ASSERT_TRUE(test::Succeeded(fs.GetInfo("L:\\tree\\sub\\up", &info)));
  EXPECT_EQ(info.link, LinkKind::Folder) << std::hex << info.attributes;
  std::string named;
  const Status read = fs.ReadLinkTarget("L:\\tree\\folder-link", &named);
  std::printf("Wine: folder-link attributes 0x%x, file-link 0x%x, gone-link %s, ReadLinkTarget %s\n",
              static_cast<unsigned>(folder->attributes), static_cast<unsigned>(file->attributes),
              find("gone-link") ? "listed" : "not listed",
              read ? named.c_str() : ("error " + std::to_string(read.code)).c_str());
}

TEST(Win32ProgramFolder, EntersTheExecutablesFolder) {
  Sandbox box;  // its working folder is P:\; restored below
  ASSERT_TRUE(EnterProgramFolder());
  std::wstring exe(32768, L'\0');
  exe.resize(GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size())));
  std::wstring cwd(32768, L'\0');
  cwd.resize(GetCurrentDirectoryW(static_cast<DWORD>(cwd.size()), cwd.data()));
  SetCurrentDirectoryW(L"P:\\");
  const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
  EXPECT_EQ(cwd, folder);
}

}  // namespace
}  // namespace bk::test
