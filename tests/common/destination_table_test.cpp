#include "common/destination_table.hpp"

#include <gtest/gtest.h>

#include "support/sandbox.hpp"

namespace bk {
namespace {

TEST(ToDrive, TheDefaultFileMeansNothingChosen) {
  const DestinationTables t = ParseToDrive(kDefaultToDrive);
  EXPECT_FALSE(t.current.chosen());
  EXPECT_TRUE(t.destinations.empty());
  EXPECT_TRUE(t.power_off.empty());
  EXPECT_TRUE(t.links.empty());
  EXPECT_EQ(t.mail_option, 1);
  EXPECT_EQ(FormatToDrive(t), kDefaultToDrive);
}

TEST(ToDrive, RoundTripsByteForByteAndAcceptsCrLf) {
  const std::string file = "D:\\BK\nD:\\BK\nE:\\BK2\n*\nD:\\BK\n*\nD:\\BK > E:\\BK2\n*\n0\n";
  const DestinationTables t = ParseToDrive(file);
  EXPECT_EQ(t.current.drive, 'D');
  EXPECT_EQ(t.current.folder, "BK");
  EXPECT_EQ(t.destinations.entries(), (std::vector<std::string>{"D:\\BK", "E:\\BK2"}));
  EXPECT_EQ(t.power_off.entries(), std::vector<std::string>{"D:\\BK"});
  EXPECT_EQ(t.links.entries(), std::vector<std::string>{"D:\\BK > E:\\BK2"});
  EXPECT_EQ(t.mail_option, 0);
  EXPECT_EQ(FormatToDrive(t), file);

  std::string crlf;
  for (char c : file) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(FormatToDrive(ParseToDrive(crlf)), file);
}

TEST(ToDrive, MailOptionIsZeroOnlyForALeadingZero) {
  EXPECT_EQ(ParseToDrive("*\n*\n*\n*\n0\n").mail_option, 0);
  EXPECT_EQ(ParseToDrive("*\n*\n*\n*\n1\n").mail_option, 1);
  EXPECT_EQ(ParseToDrive("*\n*\n*\n*\n2\n").mail_option, 1);
  EXPECT_EQ(ParseToDrive("*\n*\n*\n*\n").mail_option, 1);
}

TEST(ToDrive, HandEditedFilesAreContained) {
  std::string file = "garbage\n";
  for (int i = 0; i < 1005; ++i) file += "D:\\F" + std::to_string(i) + "\n";
  file += "D:\\F1\nnot a drive\n\n*\nD:\\F1\nD:\\F1\n*\nD:\\F1 > nowhere\nD:\\F1 > E:\\X\n*\n0\n";
  const DestinationTables t = ParseToDrive(file);
  EXPECT_FALSE(t.current.chosen());  // line 1 is no drive path
  ASSERT_EQ(t.destinations.size(), kMaxTableEntries);
  EXPECT_EQ(t.destinations.entries().back(), "D:\\F999");
  EXPECT_EQ(t.power_off.entries(), std::vector<std::string>{"D:\\F1"});
  EXPECT_EQ(t.links.entries(), std::vector<std::string>{"D:\\F1 > E:\\X"});
  EXPECT_EQ(t.mail_option, 0);
}

TEST(ToDrive, TablesKeepOrderAndRefuseTheThousandAndFirst) {
  DestinationSlots slots;
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(slots.Add("D:\\B" + std::to_string(i)));
  EXPECT_TRUE(slots.full());
  EXPECT_FALSE(slots.Add("D:\\one-more"));
  DestinationTables t;
  t.destinations = slots;
  const std::string text = FormatToDrive(t);
  EXPECT_EQ(ParseToDrive(text).destinations.size(), 1000u);

  DestinationSlots three;
  three.Add("D:\\A");
  three.Add("D:\\B");
  three.Add("D:\\C");
  EXPECT_FALSE(three.Add("D:\\B"));  // unique
  EXPECT_TRUE(three.Add("D:\\b"));   // case matters
  EXPECT_TRUE(three.Remove("D:\\A"));
  EXPECT_EQ(three.entries(), (std::vector<std::string>{"D:\\B", "D:\\C", "D:\\b"}));
}

TEST(ToDrive, LoadAndSaveThroughTheDataFolder) {
  test::Sandbox box;
  DestinationTables missing = LoadToDrive(box.fs());  // no file: the empty default
  EXPECT_FALSE(missing.current.chosen());
  EXPECT_EQ(missing.mail_option, 1);
  DestinationTables t;
  t.current = {'E', "日本語表"};
  t.destinations.Add("E:\\日本語表");
  ASSERT_TRUE(SaveToDrive(box.fs(), t).ok());
  EXPECT_EQ(box.Read("BkList\\ToDrive.txt"), "E:\\日本語表\nE:\\日本語表\n*\n*\n*\n1\n");
  EXPECT_EQ(LoadToDrive(box.fs()).current.folder, "日本語表");
}

}  // namespace
}  // namespace bk
