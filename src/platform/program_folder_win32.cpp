#include "platform/program_folder.hpp"

#include "platform/win32_api.hpp"

#include <string>

namespace bk {

bool EnterProgramFolder() {
  // The path can exceed MAX_PATH (a deep unpack folder): grow until it fits whole.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD got = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (got == 0) return false;
    if (got < path.size()) {
      path.resize(got);
      break;
    }
    if (path.size() >= 32768) return false;
    path.resize(path.size() * 2);
  }
  const auto sep = path.find_last_of(L'\\');
  if (sep == std::wstring::npos) return false;
  path.resize(sep + 1);
  return SetCurrentDirectoryW(path.c_str()) != FALSE;
}

}  // namespace bk
