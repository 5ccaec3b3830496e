#include "backup/drop_registration.hpp"

#include <gtest/gtest.h>

#include "common/registration_list.hpp"
#include "platform/fault_file_system.hpp"
#include "support/fakes.hpp"
#include "support/sandbox.hpp"

namespace bk {
namespace {

using test::FixedClock;
using test::RecordingUi;  // only notices: a question fails the test

class RecordingHooks final : public DropHooks {
 public:
  void DropStarted() override { events += "start,"; }
  void DropEnded() override { events += "end"; }
  void PhaseChanged(RegistrationPhase p) override { phases.push_back(static_cast<int>(p)); }
  void ShowList(const ListBuffer& list) override { shown_lines = list.line_count; }
  std::string events;
  std::vector<int> phases;
  std::size_t shown_lines = 99;
};

class DropTest : public ::testing::Test {
 protected:
  DropTest() {
    faulty.SetFreeSpace('T', 1ULL << 50);
    ctx.drive = 'T';
    ctx.folder = "BK";
    ctx.free_space_check = true;
  }

  DropOutcome Drop(const std::vector<std::string>& paths, char type) { return RegisterDrop(ctx, paths, type); }
  // As the merge leaves it.
  void Merged() { SetPhase(ctx, RegistrationPhase::Idle); }
  std::string Tmp() { return box.Read(kDropListPath); }
  std::string Report() { return box.Exists(kErrorReportPath) ? box.Read(kErrorReportPath) : "(none)"; }
  std::string Sys(std::uint32_t code, std::string_view path) {
    return "(SYS)" + box.fs().ErrorMessage(code) + std::string(path) + "\n";
  }

  test::Sandbox box;
  FaultFileSystem faulty{box.fs()};
  FixedClock clock;
  ErrorReport report{faulty, clock};
  RecordingUi ui;
  RecordingHooks hooks;
  ListBuffer list;
  bool keep_going = true;
  DropContext ctx{faulty, report, ui, hooks, list, keep_going};
};

const std::string kHeader = "発生日付[2026/12/07]\n";
const std::string kNoSpace = "(ENT)ドライブ T:\\ の空き領域不足で登録しません。";
const std::string kTooLong = "(ENT)ファイルパスの文字数超過で登録しません。";

TEST_F(DropTest, FilesBecomeLinesAndWaitForTheMerge) {
  box.Write("S:\\a.txt", "abc");
  box.Write("S:\\表\\ソ.txt", "12345");  // both end in the byte 0x5C
  box.Write("BkList\\TBK1.ini", "2S:\\old\tx\t10000000000001\n");
  EXPECT_EQ(Drop({"S:\\a.txt", "S:\\表\\ソ.txt"}, '1'), DropOutcome::MergePending);
  EXPECT_EQ(Tmp(), "2S:\ta.txt\t10000000000003\n2S:\\表\tソ.txt\t10000000000005\n");
  EXPECT_EQ(hooks.phases, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(hooks.events, "start,end");
  EXPECT_EQ(hooks.shown_lines, 1u);
  EXPECT_EQ(ctx.batch.lines_before, 1u);
  EXPECT_EQ(ctx.batch.files_registered, 2u);
  EXPECT_EQ(ctx.batch.problems, 0u);
  EXPECT_EQ(ctx.batch.slot_width, std::string("S:\\表\\ソ.txt").size() + 20);
  EXPECT_EQ(Report(), kHeader);  // the merge deletes it
  EXPECT_EQ(box.Read("BkList\\TBK1.ini"), "2S:\\old\tx\t10000000000001\n");
  // The next drop waits for the merge.
  EXPECT_EQ(Drop({"S:\\a.txt"}, '1'), DropOutcome::Ignored);
  EXPECT_EQ(Drop({"S:\\a.txt"}, 0), DropOutcome::Ignored);
}

TEST_F(DropTest, MixedItemsAreRefusedOneByOne) {
  box.Write("S:\\a.txt", "a");
  box.Write("S:\\dir\\c.txt", "cc");
  EXPECT_EQ(Drop({"S:\\a.txt", "S:\\dir", "S:\\dir\\c.txt"}, '1'), DropOutcome::MergePending);
  EXPECT_EQ(Tmp(), "2S:\ta.txt\t10000000000001\n2S:\\dir\tc.txt\t10000000000002\n");
  EXPECT_EQ(ui.texts, std::vector<std::string>{"S:\\dir\n\n" + std::string(kFolderOnFileType)});
  Merged();
  ui.texts.clear();
  EXPECT_EQ(Drop({"S:\\a.txt", "S:\\dir"}, '2'), DropOutcome::MergePending);
  EXPECT_EQ(Tmp(), "2S:\\dir\tc.txt\t20000000000002\n");
  EXPECT_EQ(ui.texts, std::vector<std::string>{
                          "S:\\a.txt\n\n登録タイプがフォルダーですがファイルが混入しています\nこれは登録しません"});
}

TEST_F(DropTest, ADropThatRegistersNothingEndsAtOnce) {
  box.Write("S:\\dir\\c.txt", "c");
  box.Write(kErrorReportPath, "earlier");
  EXPECT_EQ(Drop({"S:\\dir"}, '1'), DropOutcome::NothingRegistered);
  EXPECT_FALSE(box.Exists(kErrorReportPath));  // no problem: no report
  EXPECT_EQ(hooks.phases, (std::vector<int>{1, 2, 0}));
  ASSERT_EQ(ui.texts.size(), 1u);  // the mixed-drop message only

  const std::string long_name = "S:\\dir\\" + std::string(256, 'n');  // more than a name may hold
  EXPECT_EQ(Drop({long_name}, '1'), DropOutcome::NothingRegistered);
  EXPECT_EQ(Report(), kHeader + kTooLong + "T:\\BK" + long_name.substr(2) + "\n");
  EXPECT_EQ(ui.texts.back(), kRegistrationErrorNotice);
  EXPECT_EQ(ctx.phase, RegistrationPhase::Idle);
}

TEST_F(DropTest, RefusedSizesStayInTheRunningTotal) {
  box.Write("S:\\a", std::string(80, 'a'));
  box.Write("S:\\b", std::string(30, 'b'));
  box.Write("S:\\c", std::string(10, 'c'));
  faulty.SetFreeSpace('T', 100);
  EXPECT_EQ(Drop({"S:\\a", "S:\\b", "S:\\c"}, '1'), DropOutcome::MergePending);
  EXPECT_EQ(Tmp(), "2S:\ta\t10000000000080\n");
  EXPECT_EQ(Report(), kHeader + kNoSpace + "S:\\b\n" + kNoSpace + "S:\\c\n");
  EXPECT_EQ(ctx.batch.running_total, 120u);
  EXPECT_EQ(ctx.batch.problems, 2u);

  // Without the free-space check the drive is never asked.
  Merged();
  ctx.free_space_check = false;
  faulty.RemoveDrive('T');
  EXPECT_EQ(Drop({"S:\\a", "S:\\b", "S:\\c"}, '1'), DropOutcome::MergePending);
  EXPECT_EQ(ctx.batch.files_registered, 3u);
}

TEST_F(DropTest, UnreadableDestinationDriveEndsTheDropWithAMessage) {
  box.Write("S:\\a", "a");
  box.Write(kErrorReportPath, "earlier");
  faulty.RemoveDrive('T');
  EXPECT_EQ(Drop({"S:\\a"}, '1'), DropOutcome::DriveUnreadable);
  EXPECT_EQ(ui.texts, std::vector<std::string>{"バックアップ先ドライブ T:\\ が認識できません（USBメモリーが接触不良、"
                                               "　外付けHDDの電源が入っていない等々）\n"});
  EXPECT_TRUE(hooks.phases.empty());
  EXPECT_EQ(hooks.events, "start,end");  // topmost is given back here too
  EXPECT_EQ(Report(), "earlier");
}

// The copy's path is what the system must hold: 255 units per name, 32 767 in all with
// the long form's prefix and NUL, the destination folder name included.
TEST_F(DropTest, PathLimitFollowsTheDestinationFolderName) {
  ctx.folder = "BACKUP01";
  const std::string dir = "S:\\" + std::string(120, 'd');
  const std::string fits = dir + "\\" + std::string(255, 'f');  // 381 bytes
  const std::string over = dir + "\\" + std::string(256, 'f');
  const std::string unholdable = "S:\\" + std::string(257, 'x');
  box.Write(fits, "1");
  EXPECT_EQ(Drop({fits, over, unholdable}, '1'), DropOutcome::MergePending);
  EXPECT_EQ(Tmp(), "2" + dir + "\t" + std::string(255, 'f') + "\t10000000000001\n");
  EXPECT_EQ(Report(), kHeader + kTooLong + "T:\\BACKUP01" + over.substr(2) + "\n" + kTooLong + "T:\\BACKUP01" +
                          unholdable.substr(2) + "\n");
  Merged();

  // "\\?\T:\BK" + the path without "S:" + NUL is 32 767 units; six more with BACKUP01.
  constexpr std::size_t kDeepBytes = 32767 - 4 - 1 - 3;  // "T:\BK" is three bytes more than "S:"
  std::string deep = "S:";
  while (deep.size() + 201 < kDeepBytes) deep += "\\" + std::string(200, 'd');
  deep += "\\" + std::string(kDeepBytes - deep.size() - 1, 'e');
  ASSERT_EQ(4 + CopyPathOf('T', "BK", deep).size() + 1, 32767u);
  ctx.folder = "BK";
  (void)Drop({deep}, '1');
  EXPECT_EQ(Report().find(kTooLong), std::string::npos);  // looked for on the disk
  Merged();
  ctx.folder = "BACKUP01";
  (void)Drop({deep}, '1');
  EXPECT_EQ(Report(), kHeader + kTooLong + "T:\\BACKUP01" + deep.substr(2) + "\n");
}

TEST_F(DropTest, PathsTheListCannotHoldAreRefused) {
  box.MakeLargeFile("S:\\max.bin", kMaxFieldSize);
  box.MakeLargeFile("S:\\huge.bin", kMaxFieldSize + 1);
  box.Write("S:\\ok", "");
  const std::vector<DroppedPath> items = {
      {"\\\\server\\share\\x"}, {"S:\\huge.bin"}, {"S:\\max.bin"}, {"S:\\gone"}, {"S:\\ok"}};
  EXPECT_EQ(RegisterDrop(ctx, items, '1'), DropOutcome::MergePending);
  EXPECT_EQ(Tmp(), "2S:\tmax.bin\t19999999999999\n2S:\tok\t10000000000000\n");
  EXPECT_EQ(Report(), kHeader + Sys(err::kInvalidName, "\\\\server\\share\\x") +
                          Sys(kErrorFileTooLarge, "S:\\huge.bin") +
                          Sys(err::kFileNotFound, "S:\\gone"));
  EXPECT_EQ(ctx.batch.running_total, kMaxFieldSize);  // the refused size never counted
}

TEST_F(DropTest, PercentSignsAreNeverFormats) {
  const std::string refused = "S:\\%d\\%s%s%s%s%" + std::string(250, 'x') + ".bin";  // a name of 263 units
  box.Write("S:\\%d\\100%s%n.txt", "%");
  EXPECT_EQ(Drop({"S:\\%d\\100%s%n.txt", refused}, '1'), DropOutcome::MergePending);
  EXPECT_EQ(Tmp(), "2S:\\%d\t100%s%n.txt\t10000000000001\n");
  EXPECT_EQ(Report(), kHeader + kTooLong + "T:\\BK" + refused.substr(2) + "\n");
}

TEST_F(DropTest, AListThatCannotBeReadIsNeverOverwritten) {
  box.Write("S:\\dir\\a", "a");
  box.Write("BkList\\TBK2.ini", "2S:\\dir\tx\t20000000000001\n");
  box.Write(kDropListPath, "earlier drop");
  faulty.Add({FsOp::OpenRead, "TBK2.ini", err::kAccessDenied});
  list.text = "shown\n";
  EXPECT_EQ(Drop({"S:\\dir"}, '2'), DropOutcome::ListUnreadable);
  EXPECT_EQ(Report(), kHeader + Sys(err::kAccessDenied, "BkList\\TBK2.ini"));
  EXPECT_EQ(ui.texts, std::vector<std::string>{std::string(kRegistrationErrorNotice)});
  EXPECT_EQ(Tmp(), "earlier drop");
  EXPECT_EQ(list.text, "shown\n");
  EXPECT_EQ(hooks.phases, (std::vector<int>{1, 0}));
  EXPECT_EQ(box.Read("BkList\\TBK2.ini"), "2S:\\dir\tx\t20000000000001\n");
}

TEST_F(DropTest, ABrokenWorkFileIsNeverMerged) {
  box.Write("S:\\a", "a");
  box.Write("S:\\b", "b");
  faulty.Add({FsOp::CreateWrite, "BkList.tmp", err::kDiskFull, 0, 1});
  EXPECT_EQ(Drop({"S:\\a"}, '1'), DropOutcome::WorkFileFailed);
  EXPECT_EQ(Report(), kHeader + Sys(err::kDiskFull, "BkList\\BkList.tmp"));
  faulty.Clear();
  faulty.Add({FsOp::Write, "BkList.tmp", err::kDiskFull, 0, -1, 22});  // the second line breaks off
  EXPECT_EQ(Drop({"S:\\a", "S:\\b"}, '1'), DropOutcome::WorkFileFailed);
  EXPECT_EQ(Report(), kHeader + Sys(err::kDiskFull, "BkList\\BkList.tmp"));
  EXPECT_EQ(ui.texts, std::vector<std::string>(2, std::string(kRegistrationErrorNotice)));
  EXPECT_EQ(ctx.phase, RegistrationPhase::Idle);
}

}  // namespace
}  // namespace bk

namespace bk {
namespace {

TEST(DropDecisions, OnlyAnIdleWindowWithoutADialogTakesADrop) {
  EXPECT_TRUE(TakesDrop(false, RegistrationPhase::Idle));
  // A dialog up over an idle window: the deletion's partial-folder question, a help text.
  EXPECT_FALSE(TakesDrop(true, RegistrationPhase::Idle));
  for (RegistrationPhase busy : {RegistrationPhase::LoadingList, RegistrationPhase::Registering,
                                 RegistrationPhase::MergePending}) {
    EXPECT_FALSE(TakesDrop(false, busy));
    EXPECT_FALSE(TakesDrop(true, busy));
  }
}

TEST(DropDecisions, OnlyAPressOnTheAbortLabelDuringAScanStopsIt) {
  const int f = 7;  // the label: 14 < x < 84, 3.5 < y < 21
  EXPECT_TRUE(PressStopsScan(15, 4, f, RegistrationPhase::Registering));
  EXPECT_TRUE(PressStopsScan(83, 20, f, RegistrationPhase::Registering));
  EXPECT_FALSE(PressStopsScan(14, 10, f, RegistrationPhase::Registering));  // edges are outside
  EXPECT_FALSE(PressStopsScan(84, 10, f, RegistrationPhase::Registering));
  EXPECT_FALSE(PressStopsScan(40, 3, f, RegistrationPhase::Registering));   // 2y = 6 < f
  EXPECT_FALSE(PressStopsScan(40, 21, f, RegistrationPhase::Registering));
  // The same place while the list loads, while the merge (or its closing message) runs,
  // or with nothing going on: the window must stay open.
  for (RegistrationPhase other : {RegistrationPhase::Idle, RegistrationPhase::LoadingList,
                                  RegistrationPhase::MergePending}) {
    EXPECT_FALSE(PressStopsScan(40, 10, f, other));
  }
  EXPECT_TRUE(PressStopsScan(25, 7, 12, RegistrationPhase::Registering));  // scales with f: 24 < x, 6 < y
  EXPECT_FALSE(PressStopsScan(24, 10, 12, RegistrationPhase::Registering));
}

}  // namespace
}  // namespace bk
