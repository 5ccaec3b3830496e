#include "common/destination_table.hpp"

#include <gtest/gtest.h>

#include "platform/fault_file_system.hpp"
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

  // A link line of 261 bytes whose 260th byte begins あ: cut before あ it would read as a
  // valid 259-byte link of two other destinations.
  const std::string link = "T:\\" + std::string(125, 'a') + " > U:\\" + std::string(125, 'b');
  ASSERT_EQ(link.size(), kMaxSlotText);
  EXPECT_EQ(ParseToDrive("*\n*\n*\n" + link + "\n*\n1\n").links.size(), 1u);
  EXPECT_TRUE(ParseToDrive("*\n*\n*\n" + link + "あ\n*\n1\n").links.empty());
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
  EXPECT_FALSE(three.Add("D:\\b"));  // the same folder on the drive
  EXPECT_TRUE(three.Add("D:\\Ｂ"));  // full-width: another name
  EXPECT_TRUE(three.Remove("d:\\a"));
  EXPECT_EQ(three.entries(), (std::vector<std::string>{"D:\\B", "D:\\C", "D:\\Ｂ"}));
}

TEST(ToDrive, NamesEqualButForLetterCaseAreOneDestination) {
  EXPECT_TRUE(SameDestination("T:\\ＢＫ", "t:\\Ｂｋ"));
  EXPECT_TRUE(SameDestination("T:\\Ωя", "T:\\ωЯ"));
  EXPECT_FALSE(SameDestination("T:\\ヂ", "T:\\ア"));
  // A hand-edited file keeps the first of two spellings, in every section; links compare
  // side by side.
  const DestinationTables t = ParseToDrive(
      "*\nT:\\ＢＫ\nT:\\Ｂｋ\nU:\\Ωα\nU:\\ωΑ\n*\nT:\\ｂｋ\nT:\\ＢＫ\n*\nT:\\ＢＫ > U:\\Ωα\nt:\\ｂｋ > u:\\ωα\n*\n1\n");
  EXPECT_EQ(t.destinations.entries(), (std::vector<std::string>{"T:\\ＢＫ", "U:\\Ωα"}));
  EXPECT_EQ(t.power_off.entries(), (std::vector<std::string>{"T:\\ｂｋ"}));
  EXPECT_EQ(t.links.entries(), (std::vector<std::string>{"T:\\ＢＫ > U:\\Ωα"}));
  EXPECT_TRUE(t.destinations.Contains("T:\\ｂＫ"));
  EXPECT_TRUE(t.power_off.Contains("T:\\ＢＫ"));
}

TEST(ToDrive, LoadAndSaveThroughTheDataFolder) {
  test::Sandbox box;
  DestinationTables missing;
  ASSERT_TRUE(test::Succeeded(LoadToDrive(box.fs(), &missing)));  // no file: the empty default
  EXPECT_FALSE(missing.current.chosen());
  EXPECT_EQ(missing.mail_option, 1);
  DestinationTables t;
  t.current = {'E', "日本語表"};
  t.destinations.Add("E:\\日本語表");
  ASSERT_TRUE(test::Succeeded(SaveToDrive(box.fs(), t)));
  EXPECT_EQ(box.Read("BkList\\ToDrive.txt"), "E:\\日本語表\nE:\\日本語表\n*\n*\n*\n1\n");
  DestinationTables loaded;
  ASSERT_TRUE(test::Succeeded(LoadToDrive(box.fs(), &loaded)));
  EXPECT_EQ(loaded.current.folder, "日本語表");
}

// Only "not there" is the empty default; a file that is there but cannot be read is an
// error, so that nobody saves the default over every destination it holds.
TEST(ToDrive, OnlyAMissingFileLoadsAsTheEmptyDefault) {
  test::Sandbox box;
  const std::string stored = "T:\\BK\nT:\\BK\n*\nT:\\BK\n*\n*\n0\n";
  box.Write("BkList\\ToDrive.txt", stored);
  FaultFileSystem faulty(box.fs());
  struct Case {
    Fault fault;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {{FsOp::OpenRead, "ToDrive.txt", err::kSharingViolation}, err::kSharingViolation},
      {{FsOp::OpenRead, "ToDrive.txt", err::kAccessDenied}, err::kAccessDenied},
      {{FsOp::Read, "ToDrive.txt", err::kIoDevice}, err::kIoDevice},  // breaks off mid-read
      {{FsOp::OpenRead, "ToDrive.txt", err::kNotReady}, err::kNotReady},
      {{FsOp::OpenRead, "ToDrive.txt", err::kFileNotFound}, err::kOk},
      {{FsOp::OpenRead, "ToDrive.txt", err::kPathNotFound}, err::kOk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault.code);
    faulty.Clear();
    faulty.Add(c.fault);
    DestinationTables t;
    t.destinations.Add("X:\\STALE");
    EXPECT_EQ(LoadToDrive(faulty, &t).code, c.expected);
    // Either way the tables hold the default, never a mix with what was there before.
    EXPECT_EQ(FormatToDrive(t), kDefaultToDrive);
    EXPECT_EQ(box.Read("BkList\\ToDrive.txt"), stored);
  }
  faulty.Clear();
  DestinationTables t;
  ASSERT_TRUE(test::Succeeded(LoadToDrive(faulty, &t)));
  EXPECT_EQ(FormatToDrive(t), stored);
}

// A hand-edited destination that registration would refuse never reaches the tables:
// its list file names would leave BkList, its copies the drive root.
TEST(ToDrive, DestinationsRegistrationWouldRefuseAreSkipped) {
  const std::vector<std::string> refused = {
      "D:\\",         "D:\\.",        "D:\\..",     "D:\\..\\x",    "D:\\a\\b",
      "D:\\a/b",      "D:\\a:b",      "D:\\BK.",    "D:\\BK ",       "D:\\CON",
      "D:\\lpt1.txt", "D:\\a*b",      "D:\\a\tb",  "1:\\BK",        "D:\\" + std::string(126, 'a'),
      "D:\\\x95"};  // a lone lead byte at the end
  for (const std::string& bad : refused) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(IsDestinationText(bad));
    const std::string text = bad + "\n" + bad + "\nD:\\OK\n*\n" + bad + "\n*\n" + bad + " > D:\\OK\nD:\\OK > " +
                             bad + "\n*\n1\n";
    const DestinationTables t = ParseToDrive(text);
    EXPECT_FALSE(t.current.chosen());
    EXPECT_EQ(t.destinations.entries(), std::vector<std::string>{"D:\\OK"});
    EXPECT_TRUE(t.power_off.empty());
    EXPECT_TRUE(t.links.empty());
  }
  // A link line too long for the reader is skipped, never cut into another valid link.
  const std::string longest = "D:\\" + std::string(125, 'a');
  const std::string cut_link = longest + " > D:\\" + std::string(200, 'b');
  EXPECT_TRUE(ParseToDrive("*\n*\n*\n" + cut_link + "\n*\n1\n").links.empty());
  const std::string full_link = longest + " > D:\\" + std::string(125, 'b');  // 259 bytes: kept
  EXPECT_EQ(ParseToDrive("*\n*\n*\n" + full_link + "\n*\n1\n").links.entries(), std::vector<std::string>{full_link});

  // Names registration takes stay, "表" (trail byte 0x5C) and the longest name included.
  for (const std::string& good :
       {std::string("D:\\日本語表"), std::string("d:\\bk.old"), "D:\\" + std::string(125, 'a'), std::string("D:\\a b")}) {
    SCOPED_TRACE(good);
    EXPECT_TRUE(IsDestinationText(good));
    const DestinationTables t = ParseToDrive(good + "\n" + good + "\n*\n" + good + "\n*\nE:\\X > " + good + "\n*\n1\n");
    EXPECT_EQ(t.current.Text(), good);
    EXPECT_EQ(t.destinations.size(), 1u);
    EXPECT_EQ(t.power_off.size(), 1u);
    EXPECT_EQ(t.links.size(), 1u);
  }
}

}  // namespace
}  // namespace bk
