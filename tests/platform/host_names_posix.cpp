// The POSIX adapter's host names: UTF-8 on disk, converted as the system converts names.
#include <gtest/gtest.h>

#include "platform/posix_file_system.hpp"

namespace bk {
namespace {

std::string Esc(const char* hex) { return std::string("\x1B") + hex; }

TEST(PosixHostNames, EveryHostNameHasOneNameAndBack) {
  const std::string hosts[] = {"Beyonc\xC3\xA9 \xE2\x80\x93 Halo.mp3", "\xF0\xA0\xAE\xB7.txt",
                               "\xED\xA0\x80",  // a lone high surrogate, as Windows allows one
                               "\xED\xB3\xBF\xED\xA0\x80x",  // lone halves in either order
                               "caf\x1B" "00E9",  // a raw escape byte in a host name is no escape
                               "\xE3\x80\x9C", "plain"};
  for (const std::string& host : hosts) {
    const std::string name = Utf8ToCp932(host);
    std::string back;
    ASSERT_TRUE(Cp932ToUtf8(name, &back)) << host;
    EXPECT_EQ(back, host);
  }
  // Stray bytes no Windows name has still give a name, always the same one.
  const std::string stray = Utf8ToCp932("\xFF\xFE raw");
  EXPECT_EQ(stray, Esc("DCFF") + Esc("DCFE") + " raw");
  std::string host;
  ASSERT_TRUE(Cp932ToUtf8(stray, &host));
  EXPECT_EQ(Utf8ToCp932(host), stray);
  EXPECT_EQ(Utf8ToCp932("caf\xC3\xA9"), "caf" + Esc("00E9"));
  EXPECT_EQ(Utf8ToCp932("\xE8\xA1\xA8"), "表");
  // U+301C from a Mac is escaped natively exactly as the system's conversion escapes it.
  EXPECT_EQ(Utf8ToCp932("\xE3\x80\x9C"), Esc("301C"));
}

}  // namespace
}  // namespace bk
