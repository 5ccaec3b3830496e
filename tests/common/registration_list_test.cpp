#include "common/registration_list.hpp"

#include <gtest/gtest.h>

#include "platform/fault_file_system.hpp"
#include "support/sandbox.hpp"

namespace bk {
namespace {

std::string Line(std::string_view folder, std::string_view name, char type, std::uint64_t size) {
  return MakeRegistrationLine('2', folder, name, type, size);
}

TEST(ListFiles, NamesFollowDriveFolderAndType) {
  EXPECT_EQ(ListFileName('D', "BK", '3'), "BkList\\DBK3.ini");
  EXPECT_EQ(ListFileName('D', "BK1", '1'), "BkList\\DBK11.ini");
  const auto all = AllListFileNames('D', "BK1");
  EXPECT_EQ(all[0], "BkList\\DBK11.ini");
  EXPECT_EQ(all[4], "BkList\\DBK15.ini");
  // The digit replaced is the one five places before the end, never a digit of the folder.
  EXPECT_EQ(AllListFileNames('E', "111")[1], "BkList\\E1112.ini");
  EXPECT_EQ(TypeName('3'), "ミラー(全て)");
  EXPECT_EQ(TypeName('9'), "");
}

TEST(ListLines, LayoutOfFileAndMarkerLines) {
  EXPECT_EQ(Line("C:\\a", "b.txt", '3', 1234), "2C:\\a\tb.txt\t30000000001234\n");
  EXPECT_EQ(Line("C:", "root.txt", '1', 0), "2C:\troot.txt\t10000000000000\n");
  EXPECT_EQ(Line("C:\\a", kEmptyFolderMarker, '2', 99), "2C:\\a\t\b\b\b\t20000000000000\n");
  // A size the 13-digit field cannot hold never widens it.
  EXPECT_EQ(Line("C:\\a", "huge", '3', 10000000000000ULL), "2C:\\a\thuge\t39999999999999\n");
  std::uint64_t size = 0;
  EXPECT_TRUE(ReadSizeField("2C:\\a\tb\t30000000001234\n", &size));
  EXPECT_EQ(size, 1234u);
  EXPECT_FALSE(ReadSizeField("2C:\\a\tb\t3000000000123\n", &size));  // 12 digits
  EXPECT_FALSE(ReadSizeField("2C:\\a\tb\t300000000012x4\n", &size));
  EXPECT_FALSE(ReadSizeField("2C:\\a b 30000000001234\n", &size));
  EXPECT_TRUE(IsEmptyFolderMarkerLine("2C:\\a\t\b\b\b\t20000000000000"));
  EXPECT_FALSE(IsEmptyFolderMarkerLine("2C:\\a\t0000000000000"));
}

TEST(ListFiles, LoadCountsLinesAndSortsAndAcceptsHandEdits) {
  test::Sandbox box;
  // Unsorted, CR LF, a line without TABs and a last line without LF.
  box.Write("BkList\\DBK3.ini",
            "2C:\\b\tz.txt\t30000000000001\r\n"
            "broken line\r\n"
            "2C:\\a\t\b\b\b\t30000000000000\n"
            "2C:\\a\ty.txt\t30000000000010");
  ListBuffer list;
  LoadedList loaded;
  ASSERT_TRUE(test::Succeeded(LoadList(box.fs(), 'D', "BK", '3', false, &list, &loaded)));
  EXPECT_EQ(loaded.type_digit, '3');
  EXPECT_EQ(list.line_count, 4u);
  EXPECT_EQ(list.folder_count, 3u);
  EXPECT_EQ(list.text,
            "2C:\\a\t\b\b\b\t30000000000000\n"
            "2C:\\a\ty.txt\t30000000000010\n"
            "2C:\\b\tz.txt\t30000000000001\n"
            "broken line\n");
  EXPECT_EQ(list.slot_width, std::string("2C:\\a\ty.txt\t30000000000010\n").size() + 4);
}

TEST(ListFiles, MissingListsFallBackOutsideADropOnly) {
  test::Sandbox box;
  box.Write("BkList\\DBK4.ini", Line("C:\\d", "x", '4', 1));
  ListBuffer list;
  LoadedList loaded;
  ASSERT_TRUE(test::Succeeded(LoadList(box.fs(), 'D', "BK", '2', true, &list, &loaded)));
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(loaded.type_digit, 0);
  ASSERT_TRUE(test::Succeeded(LoadList(box.fs(), 'D', "BK", '2', false, &list, &loaded)));
  EXPECT_EQ(loaded.type_digit, '4');
  EXPECT_EQ(list.line_count, 1u);
  ASSERT_TRUE(test::Succeeded(LoadList(box.fs(), 'E', "none", '1', false, &list, &loaded)));
  EXPECT_TRUE(list.empty());
}

TEST(ListFiles, AListThatCannotBeReadIsAnErrorNeverAnEmptyList) {
  test::Sandbox box;
  box.Write("BkList\\DBK3.ini", Line("C:\\a", "keep.txt", '3', 5));
  FaultFileSystem faulty(box.fs());
  faulty.Add({FsOp::OpenRead, "DBK3.ini", err::kSharingViolation});
  ListBuffer list;
  LoadedList loaded;
  EXPECT_EQ(LoadList(faulty, 'D', "BK", '3', true, &list, &loaded).code, err::kSharingViolation);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(box.Read("BkList\\DBK3.ini"), Line("C:\\a", "keep.txt", '3', 5));
}

TEST(ListFiles, SaveWritesOrDeletesAndSumSizesAddsAllFive) {
  test::Sandbox box;
  std::int64_t total = -5;
  EXPECT_TRUE(test::Succeeded(SumSizes(box.fs(), 'D', "BK", &total)));
  EXPECT_EQ(total, 0);
  ListBuffer list;
  list.text = Line("C:\\a", "x", '1', 100) + Line("C:\\a", kEmptyFolderMarker, '1', 0);
  ASSERT_TRUE(test::Succeeded(SaveList(box.fs(), 'D', "BK", '1', list)));
  list.text = Line("C:\\b", "y", '5', 9999999999999ULL) + "broken\n";
  ASSERT_TRUE(test::Succeeded(SaveList(box.fs(), 'D', "BK", '5', list)));
  EXPECT_TRUE(test::Succeeded(SumSizes(box.fs(), 'D', "BK", &total)));
  EXPECT_EQ(total, 100 + 9999999999999LL);
  EXPECT_EQ(box.Read("BkList\\DBK1.ini"), Line("C:\\a", "x", '1', 100) + Line("C:\\a", kEmptyFolderMarker, '1', 0));

  ListBuffer empty;
  ASSERT_TRUE(test::Succeeded(SaveList(box.fs(), 'D', "BK", '1', empty)));
  EXPECT_FALSE(box.Exists("BkList\\DBK1.ini"));
  ASSERT_TRUE(test::Succeeded(SaveList(box.fs(), 'D', "BK", '1', empty)));  // already gone: fine
  ListBuffer reloaded;
  LoadedList loaded;
  ASSERT_TRUE(test::Succeeded(LoadList(box.fs(), 'D', "BK", '1', false, &reloaded, &loaded)));
  EXPECT_EQ(loaded.type_digit, '5');
}

TEST(ListFiles, MarkerOnlyListsCountLinesButNoFiles) {
  ListBuffer list;
  list.text = Line("C:\\a", kEmptyFolderMarker, '2', 0) + Line("C:\\b", kEmptyFolderMarker, '2', 0);
  std::size_t files = 99;
  WalkLines(&list, &files);
  EXPECT_EQ(list.line_count, 2u);
  EXPECT_EQ(files, 0u);
}

}  // namespace
}  // namespace bk

namespace bk {
namespace {

TEST(ListLines, NormalisingDropsBlankLinesAndCarriageReturns) {
  std::string text = "\n\r\n2C:\\a\tb\t30000000000001\r\n\r\n\n2C:\\c\td\t30000000000002";
  NormaliseListText(&text);
  EXPECT_EQ(text, "2C:\\a\tb\t30000000000001\n2C:\\c\td\t30000000000002\n");
  std::string clean = "2C:\\a\tb\t30000000000001\n";
  NormaliseListText(&clean);
  EXPECT_EQ(clean, "2C:\\a\tb\t30000000000001\n");
  // A hand-edited run of CRs: all go at once, so a second pass changes nothing.
  std::string crs = "2\r\r\r\n2C:\\e\tf\t30000000000003\r\r\n\r\r\n";
  NormaliseListText(&crs);
  EXPECT_EQ(crs, "2\n2C:\\e\tf\t30000000000003\n");
  std::string again = crs;
  NormaliseListText(&again);
  EXPECT_EQ(again, crs);
}

}  // namespace
}  // namespace bk

namespace bk {
namespace {

TEST(ListFiles, AnUnreadableListMakesTheSumUnknownNotSmaller) {
  test::Sandbox box;
  FaultFileSystem faulty(box.fs());
  ListBuffer list;
  list.text = MakeRegistrationLine('2', "C:\\a", "x", '1', 100);
  ASSERT_TRUE(test::Succeeded(SaveList(box.fs(), 'D', "BK", '1', list)));
  list.text = MakeRegistrationLine('2', "C:\\b", "big", '3', 5000000000ULL);
  ASSERT_TRUE(test::Succeeded(SaveList(box.fs(), 'D', "BK", '3', list)));
  faulty.Add({FsOp::OpenRead, "DBK3.ini", err::kSharingViolation});
  std::int64_t total = 0;
  EXPECT_EQ(SumSizes(faulty, 'D', "BK", &total).code, err::kSharingViolation);
  EXPECT_EQ(total, kTotalUnknown);
  faulty.Clear();
  ASSERT_TRUE(test::Succeeded(SumSizes(faulty, 'D', "BK", &total)));
  EXPECT_EQ(total, 5000000100LL);
}

}  // namespace
}  // namespace bk
