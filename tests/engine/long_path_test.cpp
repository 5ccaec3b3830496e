// Sources whose copies pass the old 259-byte limit, and names the system's plain form
// would change (trailing dots and spaces, device names with an extension): registered
// through the real drop and folder scan, merged, and backed up by the engine.
#include <gtest/gtest.h>

#include <set>

#include "backup/drop_registration.hpp"
#include "backup/merge_drop.hpp"
#include "engine_fixture.hpp"
#include "platform/file_copy.hpp"
#include "support/forwarding_file_system.hpp"

namespace bk::test {
namespace {

using NoMessages = AnswerOkUi;

// Japanese text of n characters (each two bytes of Shift-JIS, three of UTF-8 on disk).
std::string Japanese(std::size_t n, std::size_t start = 0) {
  static const char* const kChars[] = {"あ", "い", "う", "表", "ソ", "能", "漢", "字", "カ", "ナ"};
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += kChars[(start + i) % 10];
  return out;
}

// A folder of the given depth under S:\, each name of `per_name` characters (the test
// disks take 255 bytes per name, 85 Japanese characters).
std::string DeepFolder(const std::string& top, int depth, std::size_t per_name) {
  std::string folder = "S:\\" + top;
  for (int i = 0; i < depth; ++i) folder += "\\" + Japanese(per_name, i);
  return folder;
}

// Passes every call on, but shows one listed name as another (a name no test disk can
// hold, as a Windows disk could).
class RenamingFileSystem final : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  std::map<std::string, std::string> shown_as;

  Status ListFolder(std::string_view folder, std::vector<FileInfo>* entries) override {
    const Status s = inner().ListFolder(folder, entries);
    for (FileInfo& e : *entries)
      if (const auto it = shown_as.find(e.name); it != shown_as.end()) e.name = it->second;
    return s;
  }
};

class LongPathTest : public EngineTest {
 protected:
  // A drop on type `type` of T:\BK and its merge, as the registration window runs them.
  DropOutcome DropAndMerge(const std::vector<std::string>& paths, char type) {
    bool keep_going = true;
    DropHooks drop_hooks;
    ListBuffer list;
    DropContext ctx(fs(), report_, ui_, drop_hooks, list, keep_going);
    ctx.drive = 'T';
    ctx.folder = "BK";
    const DropOutcome outcome = RegisterDrop(ctx, paths, type);
    if (outcome != DropOutcome::MergePending) return outcome;
    MergeHooks merge_hooks;
    const DropCounters counters{ctx.batch.files_registered, ctx.batch.marker_lines, ctx.batch.problems};
    MergeRequest request{fs(), ui_, clock_, merge_hooks, 'T', "BK", type, counters};
    EXPECT_TRUE(MergeDrop(request, &list).merged);
    return outcome;
  }
  static std::string Copy(const std::string& source) { return "T:\\BK" + source.substr(2); }

  NoMessages ui_;
};

TEST_F(LongPathTest, SourcesOf200And300CharactersAreRegisteredAndBackedUp) {
  // 3 folders of 60 and a name of 16 + ".txt": 200 characters, over 400 bytes.
  const std::string file200 = DeepFolder("one", 3, 60) + "\\" + Japanese(16, 3) + ".txt";
  // 5 folders of 56 and names of 20: 300 characters below the dropped folder.
  const std::string top300 = "S:\\all";
  const std::string folder300 = DeepFolder("all", 5, 56);
  const std::string file300 = folder300 + "\\" + Japanese(20, 5);
  const std::string beside300 = folder300 + "\\" + Japanese(19, 7) + ".dat";
  ASSERT_GT(file200.size(), 400u);
  ASSERT_GT(file300.size(), 600u);
  Source(file200, "two hundred");
  Source(file300, "three hundred");
  Source(beside300, "beside");

  ASSERT_EQ(DropAndMerge({file200}, '1'), DropOutcome::MergePending);
  ASSERT_EQ(DropAndMerge({top300}, '3'), DropOutcome::MergePending);
  EXPECT_TRUE(ui_.texts.empty()) << ui_.texts.front();
  // The lines are kept whole in the lists, far beyond 259 bytes.
  EXPECT_NE(ListText('1').find(file200.substr(0, sjis::LastSeparator(file200))), std::string::npos);
  EXPECT_NE(ListText('3').find(folder300 + "\t" + Japanese(20, 5) + "\t"), std::string::npos);

  Run();
  EXPECT_TRUE(ReportLines().empty()) << ReportLines().front();
  for (const std::string& source : {file200, file300, beside300}) EXPECT_EQ(box().Read(Copy(source)), box().Read(source));

  // Changed: the copies are replaced through their temporary names beside them.
  Source(file200, "two hundred, changed", kT0 + 10 * kSecond);
  Source(file300, "three hundred, changed", kT0 + 10 * kSecond);
  Run();
  EXPECT_TRUE(ReportLines().empty()) << ReportLines().front();
  EXPECT_EQ(box().Read(Copy(file200)), "two hundred, changed");
  EXPECT_EQ(box().Read(Copy(file300)), "three hundred, changed");
  EXPECT_EQ(box().Read(Copy(beside300)), "beside");
  EXPECT_FALSE(box().Exists(CopyTemporaryName(Copy(file300))));
}

TEST_F(LongPathTest, APathTheSystemCannotHoldIsStillRefusedWithItsReportLine) {
  const std::string too_long_name = "S:\\x\\" + std::string(256, 'n');  // the name passes 255 units
  std::string deep = "S:";
  while (deep.size() < 32800) deep += "\\" + std::string(200, 'd');  // the whole passes 32 767 units
  Source("S:\\x\\kept.txt", "k");
  ASSERT_EQ(DropAndMerge({too_long_name, deep, "S:\\x\\kept.txt"}, '1'), DropOutcome::MergePending);
  const std::string refused = "(ENT)ファイルパスの文字数超過で登録しません。T:\\BK";
  EXPECT_EQ(box().Read(kErrorReportPath),
            DateHeader({2026, 12, 7}) + refused + too_long_name.substr(2) + "\n" + refused + deep.substr(2) + "\n");
  EXPECT_EQ(ListText('1'), MakeRegistrationLine('2', "S:\\x", "kept.txt", '1', 1));
}

TEST_F(LongPathTest, TheNewFileSearchRefusesANameTheDestinationCannotHold) {
  Source("S:\\m\\a.txt", "a");
  Source("S:\\m\\b.txt", "b");
  RegisterFolder('2', "S:\\m", false);
  SaveLists();
  Source("S:\\m\\found", "new");
  Source("S:\\m\\" + std::string(255, 'f'), "at the limit");
  RenamingFileSystem renaming(faulty_);
  const std::string too_long(256, 'n');
  renaming.shown_as["found"] = too_long;
  RunContext ctx{renaming, report_, hooks_, flags_, settings_};
  report_.Begin();
  RunBackup(ctx, {{'T', "BK"}});
  report_.Close();
  EXPECT_EQ(ReportLines(), std::vector<std::string>{"(PGM)ファイルパスの文字数が超過した。T:\\BK\\m\\" + too_long});
  EXPECT_EQ(box().Read("T:\\BK\\m\\a.txt"), "a");
  EXPECT_EQ(box().Read("T:\\BK\\m\\" + std::string(255, 'f')), "at the limit");
}

TEST_F(LongPathTest, NamesThePlainFormWouldChangeAreDistinctFiles) {
  const std::vector<std::string> names = {"foo", "foo.", "foo ", "aux.c"};
  for (const std::string& name : names) Source("S:\\d\\" + name, "content of [" + name + "]");
#ifndef _WIN32
  // A bare device name only a test disk holds as a file: still never copied.
  Source("S:\\d\\aux", "a bare device name");
#endif
  ASSERT_EQ(DropAndMerge({"S:\\d"}, '2'), DropOutcome::MergePending);
  Run();
  for (const std::string& name : names) EXPECT_EQ(box().Read("T:\\BK\\d\\" + name), "content of [" + name + "]");
  std::vector<FileInfo> copies;
  ASSERT_TRUE(test::Succeeded(box().fs().ListFolder("T:\\BK\\d", &copies)));
  EXPECT_EQ(copies.size(), names.size());
#ifndef _WIN32
  // Its registration line and the new-file search meet it.
  EXPECT_EQ(ReportLines(), (std::vector<std::string>{"(PGM)アクセス拒否等。S:\\d\taux\t20000000000018",
                                                     "(PGM)アクセス拒否等。S:\\d\\aux"}));
#else
  EXPECT_TRUE(ReportLines().empty());
#endif
  // Changed, each on its own: every copy follows its own source.
  for (const std::string& name : names) Source("S:\\d\\" + name, "changed [" + name + "]", kT0 + 10 * kSecond);
  Run();
  for (const std::string& name : names) EXPECT_EQ(box().Read("T:\\BK\\d\\" + name), "changed [" + name + "]");
}

TEST_F(LongPathTest, ALeftoverShortenedTemporaryIsRemovedOnlyBesideItsOwnName) {
  const std::string name(255, 'L');
  Source("S:\\w\\" + name, "long");
  RegisterFolder('2', "S:\\w", false);
  SaveLists();
  Run();
  // A crash's leftover of the long name, and a user's dot file of the same form.
  const std::string ours = CopyTemporaryName("T:\\BK\\w\\" + name);
  const std::string other = CopyTemporaryName("T:\\BK\\w\\" + std::string(241, 'L') + std::string(14, 'x'));
  ASSERT_NE(ours, other);
  box().Write(ours, "half");
  box().Write(other, "the user's");
  Source("S:\\w\\" + name, "long, changed", kT0 + 10 * kSecond);
  Run();
  EXPECT_FALSE(box().Exists(ours));
  EXPECT_EQ(box().Read(other), "the user's");
  EXPECT_EQ(box().Read("T:\\BK\\w\\" + name), "long, changed");
}

}  // namespace
}  // namespace bk::test
