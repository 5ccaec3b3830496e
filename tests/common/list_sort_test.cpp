#include "common/list_sort.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace bk {
namespace {

std::string L(char state, std::string_view folder, std::string_view name, std::uint64_t size = 0) {
  return MakeRegistrationLine(state, folder, name, '3', size);
}

TEST(SortLines, OrdersByUnsignedBytesOfWholeLines) {
  std::string text = L('2', "C:\\a\\sub", "f") + L('2', "C:\\a", "z") + L('1', "C:\\z", "n") +
                     L('0', "D:\\q", "r") + L('2', "C:\\a", "\x88\x9F.txt") + L('2', "C:\\a b", "x");
  SortLines(&text);
  EXPECT_EQ(text, L('0', "D:\\q", "r") + L('1', "C:\\z", "n") + L('2', "C:\\a", "z") +
                      L('2', "C:\\a", "\x88\x9F.txt") +  // bytes above 0x80 sort after ASCII
                      L('2', "C:\\a b", "x") + L('2', "C:\\a\\sub", "f"));
  // A folder's own files come before its subfolders' (TAB ranks below every path byte).
}

TEST(SortLines, OneLineAndEmptyTextsStayAsTheyAre) {
  std::string one = L('2', "C:\\a", "x");
  SortLines(&one);
  EXPECT_EQ(one, L('2', "C:\\a", "x"));
  std::string none;
  SortLines(&none);
  EXPECT_EQ(none, "");
}

TEST(SortForDisplay, CountsLinesAndFolderGroups) {
  ListBuffer list;
  list.text = L('2', "C:\\b", "1") + L('2', "C:\\a", "2") + L('2', "C:\\b", "3") +
              L('2', "C:\\a", std::string(kEmptyFolderMarker));
  SortForDisplay(&list);
  EXPECT_EQ(list.line_count, 4u);
  EXPECT_EQ(list.folder_count, 2u);  // counted in the sorted order
  EXPECT_EQ(list.text.substr(0, 5), "2C:\\a");
  ListBuffer empty;
  SortForDisplay(&empty);
  EXPECT_EQ(empty.line_count, 0u);
  EXPECT_EQ(empty.folder_count, 0u);
}

TEST(RemoveTypeDuplicates, RemovesRepeatsAndMarkedLinesAndCountsThem) {
  ListBuffer list;
  list.text = L('2', "C:\\a", "x", 5) + L('2', "C:\\a", "x", 5) + L('2', "C:\\a", "x", 5) +
              L('2', "C:\\a", std::string(kEmptyFolderMarker)) + L('2', "C:\\a", std::string(kEmptyFolderMarker)) +
              L('0', "C:\\gone", "y") + L('2', "C:\\b", "y", 1);
  const DuplicateRemoval r = RemoveTypeDuplicates(&list);
  EXPECT_EQ(r.repeated_files, 2u);
  EXPECT_EQ(r.repeated_markers, 1u);
  EXPECT_EQ(r.removed, 4u);
  EXPECT_EQ(list.text, L('2', "C:\\a", std::string(kEmptyFolderMarker)) + L('2', "C:\\a", "x", 5) + L('2', "C:\\b", "y", 1));
  EXPECT_EQ(list.line_count, 3u);
  EXPECT_EQ(list.folder_count, 2u);
}

TEST(RemoveTypeDuplicates, TheDriveLetterAndStateAreNotPartOfTheKey) {
  ListBuffer list;
  // Same path on two drives, next to each other after sorting: one destination file.
  list.text = L('2', "D:\\same", "f", 9) + L('2', "C:\\same", "f", 7);
  DuplicateRemoval r = RemoveTypeDuplicates(&list);
  EXPECT_EQ(r.repeated_files, 1u);
  EXPECT_EQ(list.text, L('2', "C:\\same", "f", 7));
  // Not adjacent after sorting: both stay.
  list.text = L('2', "D:\\same", "f") + L('2', "C:\\same", "f") + L('2', "C:\\x", "g");
  r = RemoveTypeDuplicates(&list);
  EXPECT_EQ(r.removed, 0u);
  EXPECT_EQ(list.line_count, 3u);
}

TEST(RemoveTypeDuplicates, ADroppedLineNeverTakesAKeptRegistrationWithIt) {
  ListBuffer list;
  // '0' sorts first; the registered '2' line with the same key must survive.
  list.text = L('2', "C:\\a", "x", 5) + L('0', "C:\\a", "x", 5);
  const DuplicateRemoval r = RemoveTypeDuplicates(&list);
  EXPECT_EQ(list.text, L('2', "C:\\a", "x", 5));
  EXPECT_EQ(r.repeated_files, 0u);
  EXPECT_EQ(r.removed, 1u);
}

TEST(RemoveTypeDuplicates, BlankLinesNeverTakeARegistrationWithThem) {
  ListBuffer list;
  list.text = "\n\n" + L('2', "C:\\a", "b.txt", 1) + L('2', "C:\\c", "d.txt", 2);
  const DuplicateRemoval r = RemoveTypeDuplicates(&list);
  EXPECT_EQ(r.repeated_files, 0u);
  EXPECT_NE(list.text.find(L('2', "C:\\a", "b.txt", 1)), std::string::npos);
  EXPECT_NE(list.text.find(L('2', "C:\\c", "d.txt", 2)), std::string::npos);
  EXPECT_EQ(r.removed + list.line_count, 4u);
  EXPECT_EQ(list.line_count, 2u);  // the blank lines carry nothing and go
}

TEST(RemoveTypeDuplicates, ALastLineWithoutLineFeedIsCounted) {
  ListBuffer list;
  list.text = L('2', "C:\\b", "x") + L('2', "C:\\a", "x");
  list.text.pop_back();
  RemoveTypeDuplicates(&list);
  EXPECT_EQ(list.line_count, 2u);
  EXPECT_EQ(list.text, L('2', "C:\\a", "x") + L('2', "C:\\b", "x"));
}

TEST(RemoveTypeDuplicates, ShortAndSingleLists) {
  ListBuffer list;
  list.text = L('2', "C:\\a", "x");
  EXPECT_EQ(RemoveTypeDuplicates(&list).removed, 0u);
  EXPECT_EQ(list.line_count, 1u);
  list.text = "2C\n2C\n";  // hand-edited lines shorter than the skipped prefix
  RemoveTypeDuplicates(&list);
  EXPECT_EQ(list.line_count, 1u);
  list.text = L('0', "C:\\a", "x");  // marked for removal: goes even when alone
  EXPECT_EQ(RemoveTypeDuplicates(&list).removed, 1u);
  EXPECT_TRUE(list.empty());
}

TEST(SortLines, LargeShuffledListsComeBackInOrder) {
  std::vector<std::string> lines;
  for (int i = 0; i < 5000; ++i)
    lines.push_back(L('2', "C:\\f" + std::to_string(i % 97), "n" + std::to_string(i), i));
  std::vector<std::string> shuffled = lines;
  std::mt19937 rng(7);
  std::shuffle(shuffled.begin(), shuffled.end(), rng);
  std::string text;
  for (auto& l : shuffled) text += l;
  SortLines(&text);
  std::sort(lines.begin(), lines.end());
  std::string expected;
  for (auto& l : lines) expected += l;
  EXPECT_EQ(text, expected);
}

// Big lists are sorted while a helper thread prepares the sorted copy, which two threads
// then fill half each: the halves must meet exactly. Lists with long shared prefixes, many
// equal lines, bytes above 0x7F and lines of every length around the eight-byte key windows.
std::string SortedByReference(std::vector<std::string> lines) {
  std::sort(lines.begin(), lines.end());
  std::string out;
  for (const std::string& l : lines) out += l;
  return out;
}

TEST(SortLines, BigListsComeBackInByteOrder) {
  std::mt19937 rng(11);
  const auto check = [&](std::vector<std::string> lines) {
    std::vector<std::string> shuffled = lines;
    std::shuffle(shuffled.begin(), shuffled.end(), rng);
    std::string text;
    for (const std::string& l : shuffled) text += l;
    SortLines(&text);
    EXPECT_EQ(text, SortedByReference(lines));
  };
  const std::string deep = "C:\\Users\\someone\\Documents\\projects\\2026\\";
  std::vector<std::string> varied, equal_heavy, lengths;
  for (int i = 0; i < 90000; ++i) {
    varied.push_back(L('2', deep + "写真" + std::to_string(i % 613), "f" + std::to_string(rng() % 50000), i));
    // Most lines the same: long runs of equal keys at every depth.
    equal_heavy.push_back(i % 10 == 0 ? L('2', deep + "z", std::to_string(i)) : L('2', deep + "a", "same"));
    std::string line(static_cast<std::size_t>(1 + rng() % 24), 'x');
    for (char& c : line) c = static_cast<char>(0x78 + rng() % 0x88);  // 'x' to 0xFF
    lengths.push_back(line + "\n");
  }
  check(varied);
  check(equal_heavy);
  check(lengths);
  check(std::vector<std::string>(80000, L('2', deep, "one")));
}

TEST(RemoveTypeDuplicates, BigListsKeepOneOfEachRegistrationInOrder) {
  std::vector<std::string> lines;
  for (int i = 0; i < 120000; ++i)
    lines.push_back(L(i % 7 == 0 ? '0' : '2', "C:\f" + std::to_string(i % 300), "n" + std::to_string(i % 50000), i % 3));
  std::mt19937 rng(5);
  std::shuffle(lines.begin(), lines.end(), rng);
  ListBuffer list;
  for (const std::string& l : lines) list.text += l;
  const DuplicateRemoval removal = RemoveTypeDuplicates(&list);
  // By reference: sorted, '0' lines out, then the first of each run of equal keys.
  std::sort(lines.begin(), lines.end());
  std::string expected;
  std::string previous_key;
  std::size_t folders = 0;
  std::string previous_folder;
  for (const std::string& l : lines) {
    if (l[0] == '0') continue;
    const std::size_t tab2 = l.find('\t', l.find('\t') + 1);
    const std::string key = l.substr(4, tab2 - 4);
    if (!expected.empty() && key == previous_key) continue;
    previous_key = key;
    const std::string folder = l.substr(1, l.find('\t'));
    if (folder != previous_folder) ++folders;
    previous_folder = folder;
    expected += l;
  }
  EXPECT_EQ(list.text, expected);
  EXPECT_EQ(list.line_count, static_cast<std::size_t>(std::count(expected.begin(), expected.end(), '\n')));
  EXPECT_EQ(list.folder_count, folders);
  EXPECT_EQ(removal.removed, lines.size() - list.line_count);
}

}  // namespace
}  // namespace bk
