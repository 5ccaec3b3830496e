// The sandbox over the Win32 adapter. scripts/wine-tests.sh maps P:, S:, T: and U: to
// fresh folders, each holding a ".windows-label" file that names its drive; a drive
// without the expected label is never emptied (on a real machine P: could be anything).
#include "platform/win32_api.hpp"
#include <winioctl.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "platform/wide.hpp"
#include "platform/win32_file_system.hpp"
#include "platform/win32_handles.hpp"
#include "support/sandbox.hpp"

namespace bk::test {

namespace {

constexpr wchar_t kLabelFile[] = L".windows-label";

struct Drive {
  wchar_t letter;
  const char* label;
};
constexpr Drive kDrives[] = {{L'P', "PROGRAM"}, {L'S', "SOURCE"}, {L'T', "BACKUP"}, {L'U', "BACKUP2"}};

bool IsDotName(const wchar_t* n) { return n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0)); }

std::string Narrow(const std::wstring& w) {
  std::string s;
  FromWide(w, &s);
  return s;
}

// The label file's text without trailing white space.
std::string ReadLabel(const std::wstring& root) {
  KernelHandle h(CreateFileW((root + kLabelFile).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h) return {};
  char buffer[64] = {};
  DWORD got = 0;
  if (!ReadFile(h.get(), buffer, sizeof buffer - 1, &got, nullptr)) return {};
  std::string text(buffer, got);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

// Clears read-only, hidden and system below and on path, so that any delete may proceed.
void ClearAttributes(const std::wstring& path, DWORD attributes) {
  if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) {
    SetFileAttributesW(path.c_str(), (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FILE_ATTRIBUTE_DIRECTORY
                                                                              : FILE_ATTRIBUTE_NORMAL);
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return;
  WIN32_FIND_DATAW data;
  FindHandle find(FindFirstFileExW((path + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, 0));
  if (!find) return;
  do {
    if (!IsDotName(data.cFileName)) ClearAttributes(path + L"\\" + data.cFileName, data.dwFileAttributes);
  } while (FindNextFileW(find.get(), &data));
}

// Removes an entry whose name the adapter cannot express (code page 932 lacks it).
void RemoveWide(const std::wstring& path, DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileExW((path + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                     nullptr, 0));
    if (find) {
      do {
        if (!IsDotName(data.cFileName)) RemoveWide(path + L"\\" + data.cFileName, data.dwFileAttributes);
      } while (FindNextFileW(find.get(), &data));
    }
  }
  const BOOL done = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str());
  if (!done) throw std::runtime_error("sandbox: cannot remove " + Narrow(path));
}

}  // namespace

struct Sandbox::Impl {
  Win32FileSystem fs;
  Win32Clock clock;
};

Sandbox::Sandbox() : impl_(std::make_unique<Impl>()) {
  for (const Drive& d : kDrives) {
    const std::wstring root = std::wstring(1, d.letter) + L":\\";
    if (ReadLabel(root) != d.label) {
      throw std::runtime_error(std::string("sandbox: drive ") + static_cast<char>(d.letter) +
                               ": is not a test drive labelled " + d.label + " (run scripts/wine-tests.sh)");
    }
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileExW((root + L"*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                     nullptr, 0));
    if (!find) throw std::runtime_error(std::string("sandbox: cannot list ") + static_cast<char>(d.letter) + ":");
    do {
      if (IsDotName(data.cFileName) || std::wstring_view(data.cFileName) == kLabelFile) continue;
      const std::wstring wide = root + data.cFileName;
      ClearAttributes(wide, data.dwFileAttributes);
      std::string path;
      FromWide(wide, &path);
      const Status s = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? impl_->fs.DeleteTree(path)
                                                                           : impl_->fs.DeleteFile(path);
      if (!s) throw std::runtime_error("sandbox: cannot delete " + path + " code " + std::to_string(s.code));
    } while (FindNextFileW(find.get(), &data));
  }
  if (!impl_->fs.CreateFolderChain("P:\\BkList")) throw std::runtime_error("sandbox: cannot create P:\\BkList");
  if (!SetCurrentDirectoryW(L"P:\\")) throw std::runtime_error("sandbox: cannot enter P:\\");
  Write("BkList\\ANIS_LF形式で保存するための原本.txt", "template\r\n");
}

Sandbox::~Sandbox() = default;

FileSystem& Sandbox::fs() { return impl_->fs; }
Clock& Sandbox::clock() { return impl_->clock; }
const char* Sandbox::AdapterName() { return "win32"; }

bool Sandbox::PlayFileSystem(char, std::string_view) { return false; }

// Wine 8's CreateSymbolicLinkW answers success and makes nothing; a link counts only when
// the system shows it afterwards.
bool Sandbox::MakeLink(std::string_view link, std::string_view target, bool folder) {
  std::wstring from, to;
  if (!ToWide(link, &from) || !ToWide(target, &to)) return false;
  const DWORD flags = (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
  if (!CreateSymbolicLinkW(from.c_str(), to.c_str(), flags)) return false;
  const DWORD a = GetFileAttributesW(from.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

void Sandbox::MakeLargeFile(std::string_view path, std::uint64_t size) {
  std::wstring w;
  ASSERT_TRUE(ToWide(path, &w)) << path;
  KernelHandle h(CreateFileW(w.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr));
  ASSERT_TRUE(static_cast<bool>(h)) << path << " error " << GetLastError();
  DWORD returned = 0;
  // Sparse where the file system allows; a plain file of that size otherwise.
  (void)DeviceIoControl(h.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  ASSERT_TRUE(SetFilePointerEx(h.get(), end, nullptr, FILE_BEGIN)) << path << " error " << GetLastError();
  ASSERT_TRUE(SetEndOfFile(h.get())) << path << " error " << GetLastError();
}

}  // namespace bk::test
