// Real users' names, escapes included, through everything that touches a name: the
// registration (drop and merge), the backup of each type (copy, update, deletion), the
// registration window's list and search, the deletion of a folder's registration, the
// duplicate list, and the list files themselves. Runs on either adapter.
#include <algorithm>
#include <set>

#include "backup/drop_registration.hpp"
#include "backup/list_view_model.hpp"
#include "backup/merge_drop.hpp"
#include "backup/search_delete.hpp"
#include "common/folder_exclusion.hpp"
#include "common/progress_line.hpp"
#include "common/source_path.hpp"
#include "engine_fixture.hpp"
#include "platform/wide.hpp"
#include "real_names.hpp"

namespace bk::test {
namespace {

constexpr std::size_t kNameCount = std::size(kRealNames);

// Indexes into kRealNames of the names the steps below single out.
std::size_t IndexOf(std::string_view label) {
  for (std::size_t i = 0; i < kNameCount; ++i)
    if (label == kRealNames[i].label) return i;
  ADD_FAILURE() << "no name " << label;
  return 0;
}

std::string NameOf(std::size_t i) { return FromUtf16(kRealNames[i].wide); }
std::string RootFile(std::size_t i) { return "S:\\data\\" + NameOf(i); }
std::string FolderOf(std::size_t i) { return "S:\\data\\dirs\\" + NameOf(i); }
std::string InnerFile(std::size_t i) { return FolderOf(i) + "\\" + NameOf(i); }

std::u16string Wide(std::string_view text) {
  std::u16string w;
  EXPECT_TRUE(ToUtf16(text, &w)) << sjis::ReadableText(text);
  return w;
}

using QuietUi = AnswerOkUi;

// One file or folder of a tree, as a listing and a read give it.
struct TreeEntry {
  bool folder = false;
  std::uint64_t size = 0;
  FileTime time = 0;
  std::string bytes;
  bool operator==(const TreeEntry&) const = default;
};
using Tree = std::map<std::string, TreeEntry>;  // by path below the tree's top

// What differs between two trees, readably; empty when they are equal.
std::string TreeDiff(const Tree& expected, const Tree& actual) {
  std::string out;
  for (const auto& [path, entry] : expected) {
    const auto it = actual.find(path);
    if (it == actual.end()) out += "missing: " + sjis::ReadableText(path) + "\n";
    else if (!(it->second == entry)) out += "differs: " + sjis::ReadableText(path) + "\n";
  }
  for (const auto& [path, entry] : actual)
    if (!expected.count(path)) out += "extra: " + sjis::ReadableText(path) + "\n";
  return out;
}

class RealNames : public EngineTest {
 protected:
  RealNames() {
    drop_.drive = 'T';
    drop_.folder = "BK";
  }

  // S:\data\<name> for every name, and S:\data\dirs\<name>\<name>: each name as a file
  // name and as a folder name. Contents and times differ from file to file.
  void MakeTree() {
    for (std::size_t i = 0; i < kNameCount; ++i) {
      Source(RootFile(i), "root " + std::to_string(i) + " " + NameOf(i), kT0 + i * kSecond);
      Source(InnerFile(i), "inner " + std::to_string(i) + " " + std::string(i, 'x'), kT0 + (100 + i) * kSecond);
    }
  }
  std::set<std::string> AllSourceFiles() {
    std::set<std::string> out;
    for (std::size_t i = 0; i < kNameCount; ++i) out.insert({RootFile(i), InnerFile(i)});
    return out;
  }

  // What a user drops on each type's box: the single files; the top folder and each
  // folder below it for the types without subfolders; the top folder alone otherwise.
  static std::vector<std::string> DropPaths(char type) {
    std::vector<std::string> paths;
    if (type == '1') {
      for (std::size_t i = 0; i < kNameCount; ++i) paths.insert(paths.end(), {RootFile(i), InnerFile(i)});
    } else {
      paths.push_back("S:\\data");
      if (type == '2' || type == '4')
        for (std::size_t i = 0; i < kNameCount; ++i) paths.push_back(FolderOf(i));
    }
    return paths;
  }

  // A drop and its merge, as the registration window runs them.
  MergeResult Register(char type, const std::vector<std::string>& paths) {
    EXPECT_EQ(RegisterDrop(drop_, paths, type), DropOutcome::MergePending);
    EXPECT_EQ(drop_.batch.problems, 0u);
    const DropBatch& b = drop_.batch;
    const MergeRequest request{fs(), ui_, clock_, merge_hooks_, 'T', "BK", type,
                               DropCounters{b.files_registered, b.marker_lines, b.problems}};
    const MergeResult result = MergeDrop(request, &list_);
    SetPhase(drop_, RegistrationPhase::Idle);
    EXPECT_TRUE(result.merged);
    return result;
  }

  // "folder\name" of every file line of a type's list.
  std::set<std::string> ListedFiles(char type) {
    std::set<std::string> out;
    ForEachLine(ListText(type), [&](std::string_view line, std::size_t) {
      const LineParts parts = SplitLine(line);
      EXPECT_TRUE(parts.well_formed) << sjis::ReadableText(line);
      if (IsFileLine(line)) out.insert(std::string(parts.folder) + "\\" + std::string(parts.name));
    });
    return out;
  }

  void ListTree(const std::string& folder, const std::string& below, Tree* out) {
    std::vector<FileInfo> entries;
    ASSERT_TRUE(test::Succeeded(box_.fs().ListFolder(folder, &entries))) << sjis::ReadableText(folder);
    for (const FileInfo& e : entries) {
      const std::string path = folder + "\\" + e.name;
      const std::string key = below.empty() ? e.name : below + "\\" + e.name;
      if (e.is_directory()) {
        (*out)[key] = TreeEntry{true, 0, 0, {}};
        ListTree(path, key, out);
      } else {
        (*out)[key] = TreeEntry{false, e.size, e.last_write, box_.Read(path)};
      }
    }
  }
  Tree TreeOf(const std::string& folder) {
    Tree tree;
    ListTree(folder, "", &tree);
    return tree;
  }

  std::set<std::string> Copied() { return {hooks_.copies.begin(), hooks_.copies.end()}; }

  QuietUi ui_;
  DropHooks drop_hooks_;
  MergeHooks merge_hooks_;
  ListBuffer list_;
  bool keep_going_ = true;
  DropContext drop_{fs(), report_, ui_, drop_hooks_, list_, keep_going_};
};

class RealNamesByType : public RealNames, public ::testing::WithParamInterface<char> {};

TEST_P(RealNamesByType, AreRegisteredCopiedUpdatedAndDeletedAsTheTypeSays) {
  const char type = GetParam();
  const bool mirror = type == '2' || type == '3';
  MakeTree();

  // Registration: every file gets its line, nothing is refused or reported.
  Register(type, DropPaths(type));
  EXPECT_EQ(drop_.batch.files_registered, 2 * kNameCount);
  EXPECT_TRUE(ui_.texts.empty()) << sjis::ReadableText(ui_.texts.empty() ? "" : ui_.texts[0]);
  EXPECT_FALSE(box_.Exists(kErrorReportPath));
  EXPECT_EQ(ListedFiles(type), AllSourceFiles());

  // The first backup copies everything: name for name, byte for byte, time for time.
  Run();
  for (const std::string& line : ReportLines()) ADD_FAILURE() << sjis::ReadableText(line);
  EXPECT_EQ(Copied(), AllSourceFiles());
  EXPECT_EQ(hooks_.copies.size(), 2 * kNameCount);
  EXPECT_EQ(TreeDiff(TreeOf("S:\\data"), TreeOf("T:\\BK\\data")), "");

  // Two changed files, one under an escaped folder: only they are copied again.
  const std::size_t changed_root = IndexOf("e-acute and en dash");
  const std::size_t changed_inner = IndexOf("kanji beyond JIS X 0208 (a pair)");
  Source(RootFile(changed_root), "changed", kT0 + 1000 * kSecond);
  Source(InnerFile(changed_inner), "changed, and longer than before", kT0 + 1001 * kSecond);
  hooks_.copies.clear();
  Run();
  EXPECT_TRUE(ReportLines().empty());
  EXPECT_EQ(Copied(), (std::set<std::string>{RootFile(changed_root), InnerFile(changed_inner)}));
  EXPECT_EQ(TreeDiff(TreeOf("S:\\data"), TreeOf("T:\\BK\\data")), "");

  // Two deleted files, one the last file of an escaped folder: the lines go; a mirror
  // deletes the copies, the other types keep them.
  const Tree before = TreeOf("T:\\BK\\data");
  const std::size_t gone_root = IndexOf("emoji (a surrogate pair)");
  const std::size_t gone_inner = IndexOf("u-umlaut");
  ASSERT_TRUE(test::Succeeded(box_.fs().DeleteFile(RootFile(gone_root))));
  ASSERT_TRUE(test::Succeeded(box_.fs().DeleteFile(InnerFile(gone_inner))));
  hooks_.copies.clear();
  Run();
  EXPECT_TRUE(ReportLines().empty());
  EXPECT_TRUE(hooks_.copies.empty());
  std::set<std::string> remaining = AllSourceFiles();
  remaining.erase(RootFile(gone_root));
  remaining.erase(InnerFile(gone_inner));
  EXPECT_EQ(ListedFiles(type), remaining);
  Tree expected = TreeOf("S:\\data");
  const std::string gone_root_key = NameOf(gone_root);
  const std::string gone_inner_key = "dirs\\" + NameOf(gone_inner) + "\\" + NameOf(gone_inner);
  if (!mirror) {
    expected[gone_root_key] = before.at(gone_root_key);
    expected[gone_inner_key] = before.at(gone_inner_key);
  }
  EXPECT_EQ(TreeDiff(expected, TreeOf("T:\\BK\\data")), "");
}

std::string TypeLabel(const ::testing::TestParamInfo<char>& info) {
  static const char* const kLabels[] = {"File", "MirrorExcl", "MirrorAll", "DiffExcl", "DiffAll"};
  return kLabels[info.param - '1'];
}

INSTANTIATE_TEST_SUITE_P(EveryType, RealNamesByType, ::testing::Values('1', '2', '3', '4', '5'), TypeLabel);

TEST_F(RealNames, ListRowsReadAsTheRealNamesAndATypedNameFindsItsRow) {
  MakeTree();
  Register('3', {"S:\\data"});
  ListView view;
  const ListOwner owner{fs(), 'T', "BK"};
  ASSERT_TRUE(BuildListView(owner, list_, &view));

  // Every row converts back to the real characters.
  std::multiset<std::u16string> files;
  std::set<std::u16string> folders;
  std::vector<std::u16string> rows;
  for (const ListRow& row : view.rows) {
    rows.push_back(Wide(row.text));
    if (row.is_folder) {
      folders.insert(rows.back());
    } else {
      ASSERT_EQ(rows.back().substr(0, 2), u"\u3000\u3000");
      if (rows.back().size() > 2) files.insert(rows.back().substr(2));  // a marker row is blank
    }
  }
  std::multiset<std::u16string> expected_files;
  std::set<std::u16string> expected_folders = {u"S:\\data\\", u"S:\\data\\dirs\\"};
  for (const RealName& n : kRealNames) {
    expected_files.insert(std::u16string(n.wide));
    expected_files.insert(std::u16string(n.wide));
    expected_folders.insert(u"S:\\data\\dirs\\" + std::u16string(n.wide) + u"\\");
  }
  EXPECT_EQ(files, expected_files);
  EXPECT_EQ(folders, expected_folders);

  // A typed name finds the first row that shows it (each word, as the search splits on
  // half-width spaces).
  for (const RealName& n : kRealNames) {
    std::vector<std::u16string> words;
    for (std::size_t from = 0;;) {
      const std::size_t space = n.wide.find(u' ', from);
      words.emplace_back(n.wide.substr(from, space - from));
      if (space == std::u16string_view::npos) break;
      from = space + 1;
    }
    std::size_t expected_row = rows.size();
    for (std::size_t r = 0; r < rows.size() && expected_row == rows.size(); ++r)
      if (std::all_of(words.begin(), words.end(), [&](const std::u16string& w) { return rows[r].find(w) != std::u16string::npos; }))
        expected_row = r;
    SearchState state;
    const SearchResult found = Search(&state, view, FromUtf16(n.wide), ui_);
    EXPECT_EQ(found.outcome, SearchOutcome::Found) << n.label;
    EXPECT_EQ(found.row, expected_row) << n.label;
  }
  EXPECT_TRUE(ui_.texts.empty());

  // The hexadecimal digits of an escape are no characters of the name: a typed year or
  // code finds nothing ("2013" is the en dash's escape, "00E9" é's, "D83D" the emoji's).
  for (const char* typed : {"2013", "00E9", "E9", "D83D", "DE00", "301C"}) {
    SearchState state;
    EXPECT_EQ(Search(&state, view, typed, ui_).outcome, SearchOutcome::ReachedEnd) << typed;
  }
}

TEST_F(RealNames, AnEscapedFolderIsDeletedFromItsListWithItsLines) {
  MakeTree();
  Register('3', {"S:\\data"});
  const ListOwner owner{fs(), 'T', "BK"};
  std::size_t files_left = 2 * kNameCount;
  for (const char* label : {"u-umlaut", "kanji beyond JIS X 0208 (a pair)", "escape after a 0x5C trail byte",
                            "trail bytes 0x5C at the end", "yen sign (never a backslash)"}) {
    const std::size_t i = IndexOf(label);
    ListView view;
    ASSERT_TRUE(BuildListView(owner, list_, &view));
    const auto folder_row = FindRow(view, FolderOf(i) + "\\");
    ASSERT_TRUE(folder_row.has_value()) << label;
    // The folder row and its file rows, as a user selects a folder.
    std::vector<std::size_t> selected{*folder_row};
    for (std::size_t r = *folder_row + 1; r < view.row_count() && !view.rows[r].is_folder; ++r) selected.push_back(r);
    const DeleteResult result = DeleteSelected(owner, ui_, selected, &list_, &view);
    EXPECT_TRUE(result.deleted) << label;
    EXPECT_EQ(result.deleted_lines, 1u) << label;
    EXPECT_EQ(result.partial_folders, 0u) << label;
    --files_left;
    const std::set<std::string> listed = ListedFiles('3');
    EXPECT_EQ(listed.size(), files_left) << label;
    EXPECT_EQ(listed.count(InnerFile(i)), 0u) << label;
    EXPECT_EQ(listed.count(RootFile(i)), 1u) << label;  // the file of the same name elsewhere stays
    // The registration follows its tree: the folder is left out rather than walked again.
    EXPECT_NE(ListText('3').find(MakeExclusionLine(FolderOf(i), '3')), std::string::npos) << label;
  }
  EXPECT_TRUE(ui_.texts.empty());
}

TEST_F(RealNames, ACrossTypeDuplicateIsListedReadably) {
  MakeTree();
  Register('3', {"S:\\data"});
  const std::size_t beyonce = IndexOf("e-acute and en dash");
  const std::size_t kanji = IndexOf("kanji beyond JIS X 0208 (a pair)");
  const std::size_t trail = IndexOf("escape after a 0x5C trail byte");
  Source("S:\\other\\" + NameOf(trail), "elsewhere");
  const MergeResult result = Register('1', {RootFile(beyonce), RootFile(kanji), "S:\\other\\" + NameOf(trail)});
  EXPECT_EQ(result.rejected_files, 2u);
  EXPECT_EQ(box_.Read(kDuplicateListPath),
            "発生日付[2026/12/07]　登録タイプ[ファイル]\n"
            "S:\\data\\Beyonc[U+00E9] [U+2013] Halo.mp3\tミラー(全て)\n"
            "S:\\data\\[U+20BB7]野家\tミラー(全て)\n");
  EXPECT_EQ(ListedFiles('1'), std::set<std::string>{"S:\\other\\" + NameOf(trail)});
  EXPECT_FALSE(box_.Exists(kErrorReportPath));
  ASSERT_EQ(ui_.texts.size(), 1u);
  EXPECT_EQ(ui_.texts[0].find('\x1B'), std::string::npos);
}

TEST_F(RealNames, AListWithEscapesReadsBackAndSavesByteForByte) {
  MakeTree();
  for (const char type : {'1', '3'}) {
    if (type == '1') Register(type, {RootFile(IndexOf("Korean")), InnerFile(IndexOf("Thai"))});
    else Register(type, {"S:\\data"});
    const std::string stored = ListText(type);
    ASSERT_NE(stored.find('\x1B'), std::string::npos);
    ListBuffer list;
    LoadedList loaded;
    ASSERT_TRUE(test::Succeeded(LoadList(fs(), 'T', "BK", type, false, &list, &loaded)));
    EXPECT_EQ(loaded.type_digit, type);
    ASSERT_TRUE(test::Succeeded(SaveList(fs(), 'T', "BK", type, list)));
    EXPECT_EQ(ListText(type), stored) << type;
  }
}

// The engine's check of a line's folder and name: an escape is a character of a real
// name; a bare escape byte, or the escape of a control character, is no name.
TEST(RealNameParts, EscapesAreNameCharactersAndControlBytesAreNot) {
  for (const RealName& n : kRealNames) {
    const std::string name = FromUtf16(n.wide);
    EXPECT_TRUE(IsContainedSource("S:\\" + name, name)) << n.label;
    EXPECT_TRUE(IsDeletableBackupFolder({'T', "BK"}, "T:\\BK\\" + name + "\\" + name)) << n.label;
  }
  const std::string esc = "\x1B";
  EXPECT_FALSE(IsContainedSource("S:\\d", "a" + esc + "001Bb"));  // an escaped ESC
  EXPECT_FALSE(IsContainedSource("S:\\d", "a" + esc + "0009"));   // an escaped TAB
  EXPECT_FALSE(IsContainedSource("S:\\d", "a" + esc));            // a bare escape byte
  EXPECT_FALSE(IsContainedSource("S:\\d", esc + "00e9"));         // lower case: no escape
  EXPECT_FALSE(IsContainedSource("S:\\" + esc + "00E", "x"));
  EXPECT_FALSE(IsContainedSource("S:\\d", esc + "00E9:stream"));  // the rest is still checked
}

// The run window's name line keeps an escape whole, or the line would not convert and
// show nothing at all.
TEST(RealNameParts, TheShortenedNameLineConvertsForEveryCut) {
  for (const RealName& n : kRealNames) {
    const std::string name = FromUtf16(n.wide);
    for (const std::string& long_name : {std::string(30, 'a') + name + name + name, name + std::string(40, 'b') + name}) {
      for (int width = 10; width <= 80; ++width) {
        std::u16string w;
        EXPECT_TRUE(ToUtf16(ShortenedName(long_name, width), &w)) << n.label << " at " << width;
      }
    }
  }
}

}  // namespace
}  // namespace bk::test
