// On the host the real names are stored as UTF-8, never as the escape bytes: another
// program on the machine sees "Beyoncé", not "Beyonc\x1B00E9".
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "platform/posix_file_system.hpp"
#include "platform/wide.hpp"
#include "real_names.hpp"
#include "support/sandbox.hpp"

namespace bk::test {
namespace {

// UTF-16 (well formed: no lone surrogate in these names) -> UTF-8.
std::string Utf8(std::u16string_view w) {
  std::string out;
  for (std::size_t i = 0; i < w.size(); ++i) {
    std::uint32_t c = w[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < w.size()) c = 0x10000 + ((c - 0xD800) << 10) + (w[++i] - 0xDC00);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
      out += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
              static_cast<char>(0x80 | (c & 0x3F))};
    } else {
      out += {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
              static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
  }
  return out;
}

TEST(RealNamesOnTheHost, AreStoredAsUtf8OfTheRealCharacters) {
  Sandbox box;
  std::set<std::string> expected;
  for (const RealName& n : kRealNames) {
    box.Write("S:\\data\\" + FromUtf16(n.wide), n.label);
    box.Write("S:\\data\\dirs\\" + FromUtf16(n.wide) + "\\x.txt", n.label);
    expected.insert(Utf8(n.wide));
  }
  auto& posix = dynamic_cast<PosixFileSystem&>(box.fs());
  for (const char* folder : {"S:\\data", "S:\\data\\dirs"}) {
    std::string host;
    ASSERT_TRUE(test::Succeeded(posix.HostPath(folder, &host)));
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(host))
      if (e.path().filename() != "dirs") names.insert(e.path().filename().string());
    EXPECT_EQ(names, expected) << folder;
  }
}

}  // namespace
}  // namespace bk::test
