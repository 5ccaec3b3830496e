// The floor of the Wine benchmark (bench/wine_bench.sh): the least a Windows program can do to
// bring a destination tree up to its source on the same Win32 layer. It walks the source with
// FindFirstFileExW, lists each destination folder the same way, and calls CopyFileW for every
// file whose copy is missing or differs in size or last-write time. No list, no report, no
// temporary names, no deletions.
//
//   copy_walk SOURCE DESTINATION     (both folders, e.g. S:\data T:\FW\data)
//
// Prints one line of counts; exit status 0 when every folder and file was done, 1 after the
// first failure (named on the error output), 2 for a wrong command line.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

struct Entry {
  std::wstring name;
  bool folder = false;
  std::uint64_t size = 0;
  std::uint64_t last_write = 0;
};

struct Counts {
  std::uint64_t folders = 0, files = 0, copied = 0, made_folders = 0;
};

std::uint64_t Join(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }

[[noreturn]] void Fail(const wchar_t* what, const std::wstring& path) {
  std::fwprintf(stderr, L"copy_walk: %ls %ls failed with error %lu\n", what, path.c_str(), GetLastError());
  std::exit(1);
}

// Every entry of a folder but "." and "..". False when the folder is not there.
bool ListFolder(const std::wstring& folder, std::vector<Entry>* entries) {
  entries->clear();
  WIN32_FIND_DATAW data;
  const std::wstring pattern = folder + L"\\*";
  HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                 FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
    Fail(L"listing", folder);
  }
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    entries->push_back({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                        Join(data.nFileSizeHigh, data.nFileSizeLow),
                        Join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime)});
  } while (FindNextFileW(find, &data));
  const DWORD error = GetLastError();
  FindClose(find);
  if (error != ERROR_NO_MORE_FILES) Fail(L"listing", folder);
  return true;
}

void Walk(const std::wstring& source, const std::wstring& destination, Counts* counts) {
  ++counts->folders;
  std::vector<Entry> entries;
  if (!ListFolder(source, &entries)) Fail(L"finding", source);

  // A folder made here is empty: listing it would only add a call the first copy never needs.
  std::unordered_map<std::wstring, Entry> there;
  std::vector<Entry> existing;
  if (ListFolder(destination, &existing)) {
    for (Entry& e : existing) there.emplace(e.name, std::move(e));
  } else {
    if (!CreateDirectoryW(destination.c_str(), nullptr)) Fail(L"creating", destination);
    ++counts->made_folders;
  }

  for (const Entry& e : entries) {
    if (e.folder) continue;
    ++counts->files;
    const auto copy = there.find(e.name);
    if (copy != there.end() && !copy->second.folder && copy->second.size == e.size &&
        copy->second.last_write == e.last_write)
      continue;
    const std::wstring from = source + L"\\" + e.name;
    if (!CopyFileW(from.c_str(), (destination + L"\\" + e.name).c_str(), FALSE)) Fail(L"copying", from);
    ++counts->copied;
  }
  for (const Entry& e : entries)
    if (e.folder) Walk(source + L"\\" + e.name, destination + L"\\" + e.name, counts);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fwprintf(stderr, L"usage: copy_walk SOURCE DESTINATION\n");
    return 2;
  }
  Counts counts;
  Walk(argv[1], argv[2], &counts);
  std::printf("copy_walk: %llu folders (%llu made), %llu files, %llu copied\n",
              static_cast<unsigned long long>(counts.folders), static_cast<unsigned long long>(counts.made_folders),
              static_cast<unsigned long long>(counts.files), static_cast<unsigned long long>(counts.copied));
  return 0;
}
