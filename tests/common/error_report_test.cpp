#include "common/error_report.hpp"

#include <gtest/gtest.h>

#include "platform/fault_file_system.hpp"
#include "support/fakes.hpp"
#include "support/sandbox.hpp"

namespace bk {
namespace {

// The day of every report header below.
constexpr LocalDate kReportDay{2026, 3, 9};

TEST(ErrorReport, EveryLineFormat) {
  test::Sandbox box;
  test::FixedClock clock{kReportDay};
  ErrorReport report(box.fs(), clock);
  report.Begin();
  EXPECT_FALSE(report.has_errors());
  report.AddSystem("MSG。", "C:\\src\\");
  report.AddCopyFailed("MSG。", "C:\\", "E:\\BK\\a.txt");
  report.AddFolderEntryTooLong("E:\\", "BK", "\\src\\", "n.txt");
  report.AddFileEntryTooLong("E:\\", "BK", "\\src\\n.txt");
  report.AddEntryNoSpace("E:\\", "C:\\src\\n.txt");
  report.AddDriveMissing("E:\\");
  report.AddAccessDenied("C:\\x y");
  report.AddPathTooLong("E:\\BK\\long");
  report.AddUpdateNoSpace("E:\\", "C:\\u");
  report.AddCopyNoSpace("E:\\", "C:\\c");
  report.AddNewFileNoSpace("E:\\", "C:\\a");
  EXPECT_TRUE(report.has_errors());
  report.Close();
  EXPECT_EQ(box.Read(kErrorReportPath),
            "発生日付[2026/03/09]\n"
            "(SYS)MSG。C:\\src\\\n"
            "(SYS)MSG。C:\\ > E:\\BK\\a.txt\n"
            "(ENT)ファイルパスの文字数超過で登録しません。E:\\BK\\src\\n.txt\n"
            "(ENT)ファイルパスの文字数超過で登録しません。E:\\BK\\src\\n.txt\n"
            "(ENT)ドライブ E:\\ の空き領域不足で登録しません。C:\\src\\n.txt\n"
            "(PGM)バックアップ先ドライブ E:\\ が認識できません（USBメモリーが接触不良、外付けHDDの電源が入っていない等々）\n"
            "(PGM)アクセス拒否等。C:\\x y\n"
            "(PGM)ファイルパスの文字数が超過した。E:\\BK\\long\n"
            "(UPD)ドライブ E:\\ の空き領域不足のためファイル更新しません。C:\\u\n"
            "(CPY)ドライブ E:\\ の空き領域不足のためコピーしません。C:\\c\n"
            "(ADD)ドライブ E:\\ の空き領域不足のためコピーしません。C:\\a\n");
}

TEST(ErrorReport, TooLargeForTheFileSystemIsWrittenOncePerReport) {
  test::Sandbox box;
  test::FixedClock clock{kReportDay};
  ErrorReport report(box.fs(), clock);
  for (int run = 0; run < 2; ++run) {
    report.Begin();
    report.AddTooLargeForFileSystem("T:\\", "FAT32", "C:\\v\\movie.mp4");
    report.AddTooLargeForFileSystem("T:\\", "FAT32", "C:\\v\\movie.mp4");
    report.AddTooLargeForFileSystem("U:\\", "FAT", "C:\\v\\movie.mp4");
    EXPECT_TRUE(report.has_errors());
    report.Close();
    EXPECT_EQ(box.Read(kErrorReportPath),
              "発生日付[2026/03/09]\n"
              "(CPY)ドライブ T:\\ のファイルシステム FAT32 は 4GB 以上のファイルを保存できないためコピーしません。C:\\v\\movie.mp4\n"
              "(CPY)ドライブ U:\\ のファイルシステム FAT は 4GB 以上のファイルを保存できないためコピーしません。C:\\v\\movie.mp4\n")
        << "run " << run;
  }
}

TEST(ErrorReport, DuplicateRemovalKeepsTheLastOfEqualLinesInPlace) {
  const std::string long_a = "(SYS)" + std::string(514, 'a');  // 519 bytes
  const std::string long_b = "(SYS)" + std::string(600, 'b');  // longer than any line buffer
  const std::string text = "発生日付[2026/03/09]\n(SYS)same\n(UPD)other\n" + long_b + "\n(PGM)same\n" +
                           long_a + "\n" + long_b + "\n(ADD)other\n" + long_a + "\n";
  EXPECT_EQ(RemoveDuplicateReportLines(text),
            "発生日付[2026/03/09]\n(PGM)same\n" + long_b + "\n(ADD)other\n" + long_a + "\n");
  EXPECT_EQ(RemoveDuplicateReportLines(""), "");
  EXPECT_EQ(RemoveDuplicateReportLines("(SYS)x\n(SYS)x"), "(SYS)x\n");
}

TEST(ErrorReport, EndDeletesACleanReportAndKeepsOneLinePerProblem) {
  test::Sandbox box;
  test::FixedClock clock{kReportDay};
  ErrorReport report(box.fs(), clock);
  box.Write(kErrorReportPath, "an old report\n");
  std::vector<std::string> shown;
  auto show = [&](std::string_view notice) { shown.emplace_back(notice); };
  report.Begin();
  EXPECT_FALSE(EndReport(box.fs(), report, ReportKind::Backup, show));
  EXPECT_FALSE(box.Exists(kErrorReportPath));
  EXPECT_TRUE(shown.empty());

  report.Begin();
  report.AddCopyFailed("M", "C:\\", "E:\\BK\\f");
  report.AddCopyFailed("M", "C:\\", "E:\\BK\\f");
  EXPECT_TRUE(EndReport(box.fs(), report, ReportKind::Backup, show));
  EXPECT_EQ(shown, std::vector<std::string>{std::string(kBackupErrorNotice)});
  EXPECT_EQ(box.Read(kErrorReportPath), "発生日付[2026/03/09]\n(SYS)MC:\\ > E:\\BK\\f\n");

  report.Begin();
  report.AddEntryNoSpace("E:\\", "C:\\x");
  report.AddEntryNoSpace("E:\\", "C:\\x");
  EXPECT_TRUE(EndReport(box.fs(), report, ReportKind::Registration, show));
  EXPECT_EQ(shown.back(), kRegistrationErrorNotice);
  // No duplicate removal after registration.
  EXPECT_EQ(box.Read(kErrorReportPath), "発生日付[2026/03/09]\n(ENT)ドライブ E:\\ の空き領域不足で登録しません。C:\\x\n"
                                        "(ENT)ドライブ E:\\ の空き領域不足で登録しません。C:\\x\n");
}

TEST(PowerOffReport, ACleanRunRestoresExactlyTheEarlierReport) {
  test::Sandbox box;
  test::FixedClock clock{kReportDay};
  const std::string earlier = "発生日付[2026/03/01]\n(SYS)old problem\n";
  box.Write(kErrorReportPath, earlier);
  EarlierReport kept;
  ASSERT_TRUE(test::Succeeded(KeepEarlierReport(box.fs(), &kept)));
  EXPECT_TRUE(kept.existed);
  EXPECT_EQ(box.Read(kKeptReportPath), earlier);
  ErrorReport report(box.fs(), clock);
  BeginPowerOffReport(report, kept);
  ASSERT_TRUE(test::Succeeded(FinishPowerOffReport(box.fs(), report, kept)));
  EXPECT_EQ(box.Read(kErrorReportPath), earlier);
}

TEST(PowerOffReport, NewLinesFirstThenTheEarlierReportBothHeadersKept) {
  test::Sandbox box;
  test::FixedClock clock{kReportDay};
  const std::string earlier = "発生日付[2026/03/01]\n(SYS)same text\n";
  box.Write(kErrorReportPath, earlier);
  EarlierReport kept;
  ASSERT_TRUE(test::Succeeded(KeepEarlierReport(box.fs(), &kept)));
  ErrorReport report(box.fs(), clock);
  BeginPowerOffReport(report, kept);
  report.AddSystem("same ", "text");
  report.AddSystem("same ", "text");
  ASSERT_TRUE(test::Succeeded(FinishPowerOffReport(box.fs(), report, kept)));
  // Duplicates of the new run are removed before the earlier report is appended, so the
  // earlier report's equal line stays.
  EXPECT_EQ(box.Read(kErrorReportPath), "発生日付[2026/03/09]\n(SYS)same text\n" + earlier);
}

TEST(PowerOffReport, WithoutAnEarlierReportACleanRunLeavesNoReport) {
  test::Sandbox box;
  test::FixedClock clock{kReportDay};
  box.Write(kKeptReportPath, "stale\n");
  EarlierReport none;
  none.existed = true;
  ASSERT_TRUE(test::Succeeded(KeepEarlierReport(box.fs(), &none)));
  EXPECT_FALSE(none.existed);
  EXPECT_FALSE(box.Exists(kKeptReportPath));
  ErrorReport report(box.fs(), clock);
  BeginPowerOffReport(report, none);
  ASSERT_TRUE(test::Succeeded(FinishPowerOffReport(box.fs(), report, none)));
  EXPECT_FALSE(box.Exists(kErrorReportPath));

  BeginPowerOffReport(report, none);
  report.AddDriveMissing("F:\\");
  ASSERT_TRUE(test::Succeeded(FinishPowerOffReport(box.fs(), report, none)));
  EXPECT_EQ(box.Read(kErrorReportPath),
            "発生日付[2026/03/09]\n(PGM)バックアップ先ドライブ F:\\ が認識できません（USBメモリーが接触不良、外付けHDDの電源が入っていない等々）\n");
}

// When err.txt cannot take the earlier report, the report file is its only copy: the run
// never overwrites it, and its lines go after it.
TEST(PowerOffReport, AnEarlierReportThatCannotBeKeptGetsTheNewLinesAfterIt) {
  test::Sandbox box;
  test::FixedClock clock{kReportDay};
  const std::string earlier = "発生日付[2026/03/01]\n(SYS)same text\n(SYS)old problem";  // no LF at the end
  box.Write(kErrorReportPath, earlier);
  box.Write(kKeptReportPath, "発生日付[2025/01/01]\n(SYS)stale\n");  // from a run long ago
  FaultFileSystem faulty(box.fs());
  faulty.Add({FsOp::CreateWrite, "BkList\\err", err::kDiskFull});
  EarlierReport kept;
  EXPECT_EQ(KeepEarlierReport(faulty, &kept).code, err::kDiskFull);
  EXPECT_TRUE(kept.existed);
  EXPECT_FALSE(kept.kept);

  ErrorReport report(faulty, clock);
  BeginPowerOffReport(report, kept);
  EXPECT_EQ(box.Read(kErrorReportPath), earlier);  // untouched while the run goes on
  report.AddSystem("same ", "text");
  report.AddDriveMissing("F:\\");
  report.AddSystem("same ", "text");
  EXPECT_EQ(box.Read(kErrorReportPath), earlier);
  ASSERT_TRUE(test::Succeeded(FinishPowerOffReport(faulty, report, kept)));
  EXPECT_EQ(box.Read(kErrorReportPath),
            earlier + "\n発生日付[2026/03/09]\n(PGM)バックアップ先ドライブ F:\\ が認識できません"
                      "（USBメモリーが接触不良、外付けHDDの電源が入っていない等々）\n(SYS)same text\n");

  // A clean run leaves the earlier report exactly as it was; the stale err.txt is never used.
  box.Write(kErrorReportPath, earlier);
  BeginPowerOffReport(report, kept);
  ASSERT_TRUE(test::Succeeded(FinishPowerOffReport(faulty, report, kept)));
  EXPECT_EQ(box.Read(kErrorReportPath), earlier);
}

TEST(PowerOffReport, AnUnreadableEarlierReportIsNeverOverwritten) {
  test::Sandbox box;
  test::FixedClock clock{kReportDay};
  const std::string earlier = "発生日付[2026/03/01]\n(SYS)old problem\n";
  box.Write(kErrorReportPath, earlier);
  FaultFileSystem faulty(box.fs());
  faulty.Add({FsOp::OpenRead, "エラー報告", err::kSharingViolation});
  EarlierReport kept;
  EXPECT_EQ(KeepEarlierReport(faulty, &kept).code, err::kSharingViolation);
  EXPECT_TRUE(kept.existed);
  EXPECT_FALSE(kept.kept);
  EXPECT_FALSE(box.Exists(kKeptReportPath));

  ErrorReport report(faulty, clock);
  BeginPowerOffReport(report, kept);
  report.AddSystem("new ", "problem");
  // Still unreadable at the end: nothing is written rather than the earlier report lost.
  EXPECT_EQ(FinishPowerOffReport(faulty, report, kept).code, err::kSharingViolation);
  EXPECT_EQ(box.Read(kErrorReportPath), earlier);

  // Readable again at the end: the new lines go after it.
  faulty.Clear();
  BeginPowerOffReport(report, kept);
  report.AddSystem("new ", "problem");
  ASSERT_TRUE(test::Succeeded(FinishPowerOffReport(faulty, report, kept)));
  EXPECT_EQ(box.Read(kErrorReportPath), earlier + "発生日付[2026/03/09]\n(SYS)new problem\n");

  // The user deleted the earlier report during the run: the new lines alone.
  box.Write(kErrorReportPath, earlier);
  faulty.Add({FsOp::GetInfo, "エラー報告", err::kAccessDenied});
  EXPECT_EQ(KeepEarlierReport(faulty, &kept).code, err::kAccessDenied);
  EXPECT_TRUE(kept.existed);
  faulty.Clear();
  BeginPowerOffReport(report, kept);
  report.AddSystem("new ", "problem");
  ASSERT_TRUE(test::Succeeded(faulty.DeleteFile(kErrorReportPath)));
  ASSERT_TRUE(test::Succeeded(FinishPowerOffReport(faulty, report, kept)));
  EXPECT_EQ(box.Read(kErrorReportPath), "発生日付[2026/03/09]\n(SYS)new problem\n");
}

// An err.txt that could not be deleted belongs to no earlier report of this run.
TEST(PowerOffReport, AStaleKeptReportIsNeverRestored) {
  test::Sandbox box;
  test::FixedClock clock{kReportDay};
  box.Write(kKeptReportPath, "発生日付[2025/01/01]\n(SYS)stale\n");
  FaultFileSystem faulty(box.fs());
  faulty.Add({FsOp::DeleteFile, "BkList\\err", err::kAccessDenied});
  EarlierReport kept;
  EXPECT_EQ(KeepEarlierReport(faulty, &kept).code, err::kAccessDenied);
  EXPECT_FALSE(kept.existed);
  ErrorReport report(faulty, clock);
  BeginPowerOffReport(report, kept);
  ASSERT_TRUE(test::Succeeded(FinishPowerOffReport(faulty, report, kept)));
  EXPECT_FALSE(box.Exists(kErrorReportPath));

  BeginPowerOffReport(report, kept);
  report.AddSystem("new ", "problem");
  ASSERT_TRUE(test::Succeeded(FinishPowerOffReport(faulty, report, kept)));
  EXPECT_EQ(box.Read(kErrorReportPath), "発生日付[2026/03/09]\n(SYS)new problem\n");
}

// A run cut off (crash, power loss) before its end leaves the earlier report in the
// report, so the next start asks about it and keeps it again: err.txt alone would be
// overwritten by that next keep.
TEST(PowerOffReport, ARunCutOffLeavesTheEarlierReportInTheReport) {
  test::Sandbox box;
  test::FixedClock clock{kReportDay};
  const std::string earlier = "発生日付[2026/03/01]\n(SYS)old problem\n";
  box.Write(kErrorReportPath, earlier);
  EarlierReport kept;
  ASSERT_TRUE(test::Succeeded(KeepEarlierReport(box.fs(), &kept)));
  {
    ErrorReport report(box.fs(), clock);
    BeginPowerOffReport(report, kept);
    report.AddSystem("new ", "problem");
    report.Close();  // and no end: the run was cut off here
  }
  const std::string cut_off = earlier + "発生日付[2026/03/09]\n(SYS)new problem\n";
  EXPECT_EQ(box.Read(kErrorReportPath), cut_off);

  // The next run keeps all of it and puts its own lines first, as usual.
  ASSERT_TRUE(test::Succeeded(KeepEarlierReport(box.fs(), &kept)));
  EXPECT_EQ(box.Read(kKeptReportPath), cut_off);
  ErrorReport report(box.fs(), clock);
  BeginPowerOffReport(report, kept);
  report.AddSystem("old ", "problem");  // equal to a line of the earlier report: both stay
  ASSERT_TRUE(test::Succeeded(FinishPowerOffReport(box.fs(), report, kept)));
  EXPECT_EQ(box.Read(kErrorReportPath), "発生日付[2026/03/09]\n(SYS)old problem\n" + cut_off);
}

}  // namespace
}  // namespace bk
