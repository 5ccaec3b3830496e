#include "engine_fixture.hpp"
#include "platform/destination_time.hpp"

namespace bk::test {
namespace {

TEST_F(EngineTest, DifferentialKeepsCopiesOfDeletedFilesAndAddsNewOnes) {
  Source("S:\\d\\a.txt", "a");
  Source("S:\\d\\b.txt", "b");
  RegisterFolder('4', "S:\\d", false);
  SaveLists();
  Run();
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteFile("S:\\d\\a.txt")));
  Source("S:\\d\\new.txt", "new!", kT0 + kSecond);
  Run();
  EXPECT_TRUE(box().Exists("T:\\BK\\d\\a.txt"));  // differential never deletes
  EXPECT_EQ(box().Read("T:\\BK\\d\\new.txt"), "new!");
  EXPECT_EQ(ListText('4'), "2S:\\d\tb.txt\t40000000000001\n2S:\\d\tnew.txt\t40000000000004\n");

  // The last file gone: the folder stays registered through a marker.
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteFile("S:\\d\\b.txt")));
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteFile("S:\\d\\new.txt")));
  Run();
  EXPECT_EQ(ListText('4'), "2S:\\d\t\b\b\b\t40000000000000\n");
  EXPECT_TRUE(box().Exists("T:\\BK\\d\\b.txt"));
}

TEST_F(EngineTest, SingleFilesAreCopiedUpdatedAndDroppedButNeverDeleted) {
  Source("S:\\f\\one.txt", "1");
  Source("S:\\root.txt", "r");
  RegisterFile("S:\\f\\one.txt");
  RegisterFile("S:\\root.txt");
  SaveLists();
  Run();
  EXPECT_EQ(box().Read("T:\\BK\\root.txt"), "r");  // a file in a drive root
  EXPECT_EQ(box().Read("T:\\BK\\f\\one.txt"), "1");
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteFile("S:\\f\\one.txt")));
  Source("S:\\f\\other.txt", "not registered");
  Run();
  EXPECT_TRUE(box().Exists("T:\\BK\\f\\one.txt"));
  EXPECT_FALSE(box().Exists("T:\\BK\\f\\other.txt"));  // no new-file search for files
  EXPECT_EQ(ListText('1'), "2S:\troot.txt\t10000000000001\n");
}

TEST_F(EngineTest, MailOptionKeepsChangedEmlFilesOnlyInTheFileList) {
  settings_.mail_option = 1;
  Source("S:\\m\\in.eml", "v1");
  Source("S:\\f\\single.eml", "v1");
  RegisterFolder('3', "S:\\m", false);
  RegisterFile("S:\\f\\single.eml");
  SaveLists();
  Run();
  Source("S:\\m\\in.eml", "v2", kT0 + kSecond);
  Source("S:\\f\\single.eml", "v2", kT0 + kSecond);
  Run();
  EXPECT_EQ(box().Read("T:\\BK\\f\\single.eml"), "v1");  // not copied again
  EXPECT_EQ(box().Read("T:\\BK\\m\\in.eml"), "v2");      // the new-file search copies it
  settings_.mail_option = 0;
  Run();
  EXPECT_EQ(box().Read("T:\\BK\\f\\single.eml"), "v2");
}

TEST_F(EngineTest, FreeSpaceRefusalsAreReportedAndLaterFilesRefusedToo) {
  Source("S:\\s\\a-small.txt", std::string(10, 's'));
  RegisterFolder('3', "S:\\s", false);
  SaveLists();
  Run();
  Source("S:\\s\\b-big.bin", std::string(3000, 'b'));
  Source("S:\\s\\c-small.txt", std::string(10, 'c'));
  faulty().SetFreeSpace('T', 1000);
  Run();
  const auto lines = ReportLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "(ADD)ドライブ T:\\ の空き領域不足のためコピーしません。S:\\s\\b-big.bin");
  EXPECT_EQ(lines[1], "(ADD)ドライブ T:\\ の空き領域不足のためコピーしません。S:\\s\\c-small.txt");
  EXPECT_FALSE(box().Exists("T:\\BK\\s\\b-big.bin"));
  EXPECT_EQ(ListText('3').find("b-big"), std::string::npos);

  // Without the free-space check nothing is refused.
  settings_.free_space_check = false;
  Run();
  EXPECT_TRUE(box().Exists("T:\\BK\\s\\b-big.bin"));
  EXPECT_TRUE(ReportLines().empty());
}

TEST_F(EngineTest, UpdatesAndSingleFileCopiesAreRefusedWhenSpaceRunsOut) {
  Source("S:\\f\\a.bin", std::string(100, 'a'));
  RegisterFile("S:\\f\\a.bin");
  SaveLists();
  Run();
  Source("S:\\f\\a.bin", std::string(5000, 'A'), kT0 + kSecond);
  faulty().SetFreeSpace('T', 50);
  Run();
  ASSERT_EQ(ReportLines(), std::vector<std::string>{
                               "(UPD)ドライブ T:\\ の空き領域不足のためファイル更新しません。S:\\f\\a.bin"});
  EXPECT_EQ(box().Read("T:\\BK\\f\\a.bin"), std::string(100, 'a'));

  ASSERT_TRUE(test::Succeeded(box().fs().DeleteFile("T:\\BK\\f\\a.bin")));
  Run();
  ASSERT_EQ(ReportLines(), std::vector<std::string>{
                               "(CPY)ドライブ T:\\ の空き領域不足のためコピーしません。S:\\f\\a.bin"});
}

TEST_F(EngineTest, AbortDuringThePassOverRegisteredLines) {
  Source("S:\\a\\1.txt", "1");
  Source("S:\\b\\2.txt", "2");
  Source("S:\\c\\3.txt", "3");
  RegisterFolder('3', "S:\\a", false);
  RegisterFolder('3', "S:\\b", false);
  RegisterFolder('3', "S:\\c", false);
  Source("S:\\f\\later.txt", "types after the aborted one are not visited");
  RegisterFile("S:\\f\\later.txt");
  SaveLists();
  const std::string before = ListText('3');
  hooks_.abort_at_handled = 3;  // Ctrl + Shift seen at the third registered file (S:\b\2.txt)
  const RunOutcome outcome = Run();
  EXPECT_TRUE(outcome.aborted);
  EXPECT_TRUE(box().Exists("T:\\BK\\f\\later.txt"));  // type 1 ran before type 3
  EXPECT_TRUE(box().Exists("T:\\BK\\a\\1.txt"));
  EXPECT_FALSE(box().Exists("T:\\BK\\b\\2.txt"));  // its copy was cancelled at once
  EXPECT_FALSE(box().Exists("T:\\BK\\c\\3.txt"));  // later groups untouched
  EXPECT_EQ(ListText('3'), before);
  const auto lines = ReportLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("S:\\ > T:\\BK\\b\\2.txt"), std::string::npos);
}

TEST_F(EngineTest, AbortDuringTheThirdTypeLeavesLaterTypesUntouched) {
  Source("S:\\one\\x.txt", "x");
  Source("S:\\three\\y.txt", "y");
  Source("S:\\five\\z.txt", "z");
  RegisterFile("S:\\one\\x.txt");
  RegisterFolder('3', "S:\\three", false);
  RegisterFolder('5', "S:\\five", false);
  SaveLists();
  // The progress thread sets the abort flag while the third type copies.
  hooks_.on_copy = [&](std::string_view source) {
    if (source == "S:\\three\\y.txt") flags_.abort = 1;
  };
  const RunOutcome outcome = Run();
  EXPECT_TRUE(outcome.aborted);
  EXPECT_TRUE(box().Exists("T:\\BK\\one\\x.txt"));
  EXPECT_FALSE(box().Exists("T:\\BK\\five\\z.txt"));
  EXPECT_NE(ListText('3').find("y.txt"), std::string::npos);  // stored with the progress made
}

TEST_F(EngineTest, AnAbortBeforeNewFilesAreCopiedKeepsThemListedForNextTime) {
  Source("S:\\n\\a.txt", "a");
  RegisterFolder('3', "S:\\n", false);
  SaveLists();
  Run();
  Source("S:\\n\\b.txt", "b");
  Source("S:\\n\\c.txt", "c");
  hooks_.on_pump = [&] {
    if (!hooks_.progress.empty() && hooks_.progress.back().find(" 1 / 2") != std::string::npos) flags_.abort = 1;
  };
  Run();
  const std::string list = ListText('3');
  EXPECT_NE(list.find("2S:\\n\tb.txt"), std::string::npos);
  EXPECT_NE(list.find("2S:\\n\tc.txt"), std::string::npos);
  EXPECT_FALSE(box().Exists("T:\\BK\\n\\c.txt"));
  hooks_.on_pump = nullptr;
  Run();
  EXPECT_TRUE(box().Exists("T:\\BK\\n\\c.txt"));  // copied as missing on the next run
}

TEST_F(EngineTest, CommandOneVisitsTheCurrentDestinationThenItsLinkTargets) {
  Source("S:\\l\\f.txt", "linked");
  RegisterFolder('3', "S:\\l", false);
  SaveLists('T', "BK");
  RegisterFolder('3', "S:\\l", false);
  SaveLists('U', "B1");
  RegisterFolder('3', "S:\\l", false);
  SaveLists('T', "B2");
  DestinationTables tables = ParseToDrive(
      "T:\\BK\nT:\\BK\nU:\\B1\nT:\\B2\n*\n*\nU:\\B1 > T:\\B2\nT:\\BK > U:\\B1\nT:\\BK > T:\\B2\n*\n1\n");
  const std::vector<SyncTarget> order = Command1Destinations(tables);
  ASSERT_EQ(order.size(), 3u);
  EXPECT_EQ(order[1].drive, 'U');
  EXPECT_EQ(order[2].folder, "B2");
  Run(order);
  EXPECT_EQ(hooks_.destinations, (std::vector<std::string>{"T:\\BK", "U:\\B1", "T:\\B2"}));
  EXPECT_TRUE(box().Exists("T:\\BK\\l\\f.txt"));
  EXPECT_TRUE(box().Exists("U:\\B1\\l\\f.txt"));
  EXPECT_TRUE(box().Exists("T:\\B2\\l\\f.txt"));
  EXPECT_EQ(Command2Destinations(tables).size(), 3u);
  EXPECT_TRUE(Command1Destinations(ParseToDrive(kDefaultToDrive)).empty());
  // The current destination finds its links under any spelling of its name.
  const std::vector<SyncTarget> folded = Command1Destinations(ParseToDrive("T:\\ｂｋ\nT:\\ＢＫ\nU:\\B1\n*\n*\nT:\\Ｂｋ > U:\\B1\n*\n1\n"));
  ASSERT_EQ(folded.size(), 2u);
  EXPECT_EQ(folded[1].folder, "B1");
}

TEST_F(EngineTest, AnAbsentDestinationDriveIsReportedOnlyWithTheFreeSpaceCheck) {
  Source("S:\\a\\x.txt", "x");
  RegisterFolder('3', "S:\\a", false);
  SaveLists('Q', "BK");  // Q: is not there
  Run({{'Q', "BK"}});
  EXPECT_EQ(ReportLines(), std::vector<std::string>{
                               "(PGM)バックアップ先ドライブ Q:\\ が認識できません（USBメモリーが接触不良、外付けHDDの電源が入っていない等々）"});
  settings_.free_space_check = false;
  Run({{'Q', "BK"}});
  const auto lines = ReportLines();
  // The copy fails instead, with its (SYS) line: once for the registered line and once
  // more as a new file (the end of the run leaves one of them).
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], lines[1]);
  EXPECT_EQ(lines[0].substr(0, 5), "(SYS)");
  EXPECT_NE(lines[0].find("S:\\ > Q:\\BK\\a\\x.txt"), std::string::npos);
}

TEST_F(EngineTest, AListThatEndsEmptyIsDeleted) {
  Source("S:\\gone\\x.txt", "x");
  RegisterFile("S:\\gone\\x.txt");
  SaveLists();
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteFile("S:\\gone\\x.txt")));
  Run();
  EXPECT_FALSE(box().Exists("BkList\\TBK1.ini"));
}

TEST_F(EngineTest, DestinationsWithoutListsAreLeftAlone) {
  const RunOutcome outcome = Run();
  EXPECT_EQ(outcome.types_run, 0u);
  EXPECT_TRUE(ReportLines().empty());
  EXPECT_FALSE(box().Exists("T:\\BK"));
}

TEST_F(EngineTest, FatDestinationsCompareTimesToTwoSeconds) {
  Source("S:\\t\\a.txt", "a", kT0 + kSecond / 2);
  RegisterFolder('3', "S:\\t", false);
  SaveLists();
  Run();
  // The FAT copy keeps the time rounded to two seconds (up, as Windows does).
  ASSERT_TRUE(test::Succeeded(box().fs().SetLastWriteTime("T:\\BK\\t\\a.txt", kT0 + 2 * kSecond)));
  faulty().SetFileSystemName('T', "FAT32");
  hooks_.copies.clear();
  Run();
  EXPECT_TRUE(hooks_.copies.empty());
  faulty().SetFileSystemName('T', "NTFS");
  Run();
  EXPECT_EQ(hooks_.copies.size(), 1u);  // exact comparison everywhere else
  EXPECT_EQ(FileSystemKindOf("FAT"), FileSystemKind::Fat);
  EXPECT_NE(FileSystemKindOf("exFAT"), FileSystemKind::Fat);
}

TEST_F(EngineTest, LinesWithoutTheirTabsAreReportedAndKept) {
  Source("S:\\k\\a.txt", "a");
  RegisterFolder('3', "S:\\k", false);
  lists_['3'] += "2S:\\k broken line\n";
  SaveLists();
  Run();
  EXPECT_EQ(ReportLines(), std::vector<std::string>{"(PGM)アクセス拒否等。S:\\k broken line"});
  EXPECT_NE(ListText('3').find("2S:\\k broken line\n"), std::string::npos);
  EXPECT_TRUE(box().Exists("T:\\BK\\k\\a.txt"));
}

TEST_F(EngineTest, SourcesThatAreNoDrivePathsAreNeverCopiedOrDropped) {
  lists_['3'] = "2\\\\server\\share\\x\tf.txt\t30000000000001\n";
  SaveLists();
  Run();
  EXPECT_EQ(ListText('3'), "2\\\\server\\share\\x\tf.txt\t30000000000001\n");
  EXPECT_EQ(ReportLines(), std::vector<std::string>{"(PGM)アクセス拒否等。\\\\server\\share\\x\tf.txt\t30000000000001"});
}

// Copies past 259 bytes are made: the limit is the system's (long_path_test.cpp has the
// names it cannot hold).
TEST_F(EngineTest, NewFilesPastTheOld259ByteLimitAreCopied) {
  const std::string folder = "S:\\" + std::string(240, 'p');
  Source(folder + "\\ok.txt", "ok");
  RegisterFolder('3', folder, false);
  SaveLists();
  Run();
  // T:\BK + the source path without "S:" is 259 bytes for a 12-byte name, 260 for 13.
  Source(folder + "\\" + std::string(12, 'n'), "fits");
  Source(folder + "\\" + std::string(13, 'n'), "fits as well");
  Run();
  EXPECT_EQ(box().Read("T:\\BK\\" + std::string(240, 'p') + "\\" + std::string(12, 'n')), "fits");
  EXPECT_EQ(box().Read("T:\\BK\\" + std::string(240, 'p') + "\\" + std::string(13, 'n')), "fits as well");
  EXPECT_TRUE(ReportLines().empty());
}

TEST(EngineText, ProgressTextAndTitle) {
  EXPECT_EQ(ProgressText('2', 3, 10), "経過(ミラー 配下除外) 3 / 10" + std::string(20, ' '));
  EXPECT_EQ(WindowTitle({'E', "Daily"}, "USB"), "バックアップ先 E:\\Daily 【USB】");
  EXPECT_EQ(DestinationPath({'E', "Daily"}, "C:\\Users\\a\\b.txt"), "E:\\Daily\\Users\\a\\b.txt");
  EXPECT_EQ(DestinationPath({'E', "Daily"}, "C:\\b.txt"), "E:\\Daily\\b.txt");
}

}  // namespace
}  // namespace bk::test

namespace bk::test {
namespace {

class MessageHooks : public RecordingHooks {
 public:
  void ShowCompletionMessage(std::string_view notice) override {
    messages.emplace_back(notice);
    // The user reads the report while the message is up: it still holds every line.
    report_at_message = report_reader();
  }
  std::vector<std::string> messages;
  std::string report_at_message;
  std::function<std::string()> report_reader;
};

TEST_F(EngineTest, TheEndOfARunShowsOneMessageThenLeavesOneLinePerProblem) {
  MessageHooks hooks;
  hooks.report_reader = [&] { return box().Read(kErrorReportPath); };
  Source("S:\\e\\x.txt", "x");
  RegisterFolder('3', "S:\\e", false);
  SaveLists();
  faulty().Add({FsOp::CreateWrite, "T:\\BK\\e\\", err::kAccessDenied});
  RunContext ctx{faulty_, report_, hooks, flags_, settings_};
  report_.Begin();
  RunBackup(ctx, {{'T', "BK"}});
  EXPECT_TRUE(EndRunReport(ctx));
  EXPECT_EQ(hooks.messages, std::vector<std::string>{std::string(kBackupErrorNotice)});
  EXPECT_EQ(std::count(hooks.report_at_message.begin(), hooks.report_at_message.end(), '\n'), 3);
  EXPECT_EQ(ReportLines().size(), 1u);  // the failure met twice is left once

  faulty().Clear();
  report_.Begin();
  RunBackup(ctx, {{'T', "BK"}});
  EXPECT_FALSE(EndRunReport(ctx));
  EXPECT_FALSE(box().Exists(kErrorReportPath));
  EXPECT_EQ(hooks.messages.size(), 1u);
}

}  // namespace
}  // namespace bk::test

namespace bk::test {
namespace {

TEST_F(EngineTest, TheFreeSpaceCheckIsOnWhenSomeDriveAnswers) {
  EXPECT_TRUE(ProbeFreeSpace(fs()));
  faulty().Add({FsOp::FreeSpace, "", err::kNotReady});
  EXPECT_FALSE(ProbeFreeSpace(fs()));
}

TEST_F(EngineTest, AnUnattendedRunAsksTheLabelsOfItsDestinationDrivesOnly) {
  // S: answers too, but no destination is on it: its label is never shown, nor asked for.
  const std::array<std::string, 26> labels = DestinationLabels(fs(), {{'T', "BK"}, {'u', "B"}, {'T', "X"}});
  EXPECT_EQ(labels['T' - 'A'], "BACKUP");
  EXPECT_EQ(labels['U' - 'A'], "BACKUP2");
  EXPECT_EQ(labels['S' - 'A'], "");
  const std::array<std::string, 26> none{};
  EXPECT_EQ(DestinationLabels(fs(), {}), none);

  // A destination drive that does not answer keeps an empty label; it is asked once.
  faulty().Add({FsOp::GetVolumeInfo, "U:", err::kNotReady});
  EXPECT_EQ(DestinationLabels(fs(), {{'U', "B"}, {'U', "C"}, {'T', "BK"}})['U' - 'A'], "");
  EXPECT_EQ(faulty().failures(), 1);
}

}  // namespace
}  // namespace bk::test

namespace bk::test {
namespace {

TEST_F(EngineTest, HandEditedLinesThatLeaveTheDestinationAreReportedAndLeftAlone) {
  Source("S:\\w\\a.txt", "a");
  Source("S:\\src.txt", "outside the folder");
  Source("S:\\src2.txt", "outside the folder");
  RegisterFolder('3', "S:\\w", false);
  SaveLists();
  Run();
  box().Write("T:\\BK\\victim.txt", "must stay");
  const std::vector<std::string> bad = {
      "1S:\\w\\..\tsrc2.txt\t30000000000018\n",  // a stored "new" line, the list's first
      "2S:\\w\\..\tsrc.txt\t30000000000018\n",
      "2S:\\w\t..\\victim.txt\t30000000000009\n",
      "2S:\\w\tvictim.txt:x\t30000000000009\n",
      "2S:k\ta.txt\t30000000000001\n",
      "2S:\\w\\\\x\ta.txt\t30000000000001\n",
  };
  for (const std::string& line : bad) lists_['3'] += line;
  SaveLists();
  const std::string before = ListText('3');
  ASSERT_EQ(before.substr(0, bad[0].size()), bad[0]);
  Run();
  EXPECT_EQ(ListText('3'), before);
  EXPECT_FALSE(box().Exists("T:\\BK\\src.txt"));
  EXPECT_FALSE(box().Exists("T:\\BK\\src2.txt"));
  EXPECT_FALSE(box().Exists("T:\\src.txt"));
  EXPECT_EQ(box().Read("T:\\BK\\victim.txt"), "must stay");
  EXPECT_EQ(box().Read("T:\\BK\\w\\a.txt"), "a");
  std::vector<std::string> expected;
  for (const std::string& line : bad) expected.push_back("(PGM)アクセス拒否等。" + line.substr(1, line.size() - 2));
  std::vector<std::string> lines = ReportLines();
  std::sort(lines.begin(), lines.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(lines, expected);
}

// Found by fuzzing: a hand-edited empty-folder marker with the state of a new file was
// taken for a file named by the marker's control bytes and copied as one.
TEST_F(EngineTest, AMarkerLineMarkedNewIsNoFileToCopy) {
  Source("S:\\w\\a.txt", "a");
  ASSERT_TRUE(test::Succeeded(box().fs().CreateFolderChain("S:\\e")));
  RegisterFolder('3', "S:\\w", false);
  lists_['3'] += MakeRegistrationLine('1', "S:\\e", kEmptyFolderMarker, '3', 0);
  SaveLists();
  Run();
  EXPECT_TRUE(hooks_.copies.size() == 1 && hooks_.copies[0] == "S:\\w\\a.txt");
  std::vector<FileInfo> entries;
  if (box().fs().ListFolder("T:\\BK\\e", &entries)) {
    EXPECT_TRUE(entries.empty());
  }
  EXPECT_NE(ListText('3').find(MakeRegistrationLine('2', "S:\\e", kEmptyFolderMarker, '3', 0)), std::string::npos);
  EXPECT_TRUE(ReportLines().empty());
}

}  // namespace
}  // namespace bk::test

namespace bk::test {
namespace {

// Found by fuzzing: a changed file whose hand-edited line has a short size field had the
// new size written over the end of its name.
TEST_F(EngineTest, AShortSizeFieldIsNeverWrittenOverTheName) {
  Source("S:\\w\\b.txt", "bravo");
  RegisterFolder('4', "S:\\w", false);
  SaveLists();
  Run();
  const std::string hand_edited = "2S:\\w\tb.txt\t412\n";
  box().Write(ListFileName('T', "BK", '4'), hand_edited);
  Source("S:\\w\\b.txt", "bravo, changed", kT0 + 30 * kSecond);
  Run();
  EXPECT_EQ(box().Read("T:\\BK\\w\\b.txt"), "bravo, changed");
  const std::string list = ListText('4');
  EXPECT_NE(list.find("\tb.txt\t"), std::string::npos) << list;
  ForEachLine(list, [](std::string_view line, std::size_t) {
    const LineParts p = SplitLine(line);
    EXPECT_TRUE(p.well_formed) << line;
    EXPECT_TRUE(p.folder == "S:\\w") << line;
  });
}

}  // namespace
}  // namespace bk::test
