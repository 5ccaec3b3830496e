// The system itself sees the real names: what the adapter creates from a name's
// Shift-JIS text (escapes included) is listed by FindFirstFileW as the name's UTF-16.
#include "platform/win32_api.hpp"

#include <gtest/gtest.h>

#include <set>

#include "platform/wide.hpp"
#include "platform/win32_handles.hpp"
#include "real_names.hpp"
#include "support/sandbox.hpp"

namespace bk::test {
namespace {

std::set<std::wstring> ListWide(const std::wstring& folder) {
  std::set<std::wstring> out;
  WIN32_FIND_DATAW data;
  const FindHandle h(FindFirstFileW((folder + L"\\*").c_str(), &data));
  EXPECT_NE(h.get(), INVALID_HANDLE_VALUE);
  if (!h) return out;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L".." && name != L"dirs") out.insert(name);
  } while (FindNextFileW(h.get(), &data));
  return out;
}

TEST(RealNamesOnTheSystem, AreListedAsTheirRealCharacters) {
  Sandbox box;
  std::set<std::wstring> expected;
  for (const RealName& n : kRealNames) {
    box.Write("S:\\data\\" + FromUtf16(n.wide), n.label);
    box.Write("S:\\data\\dirs\\" + FromUtf16(n.wide) + "\\x.txt", n.label);
    expected.insert(std::wstring(n.wide.begin(), n.wide.end()));
  }
  EXPECT_EQ(ListWide(L"S:\\data"), expected);
  EXPECT_EQ(ListWide(L"S:\\data\\dirs"), expected);
}

}  // namespace
}  // namespace bk::test
