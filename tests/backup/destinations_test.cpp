#include "backup/destinations.hpp"

#include <gtest/gtest.h>

#include <deque>

#include "common/registration_list.hpp"
#include "platform/fault_file_system.hpp"
#include "support/fakes.hpp"
#include "support/sandbox.hpp"

namespace bk {
namespace {

// Records every message and answers questions from a script; an unscripted question fails.
using ScriptedUi = test::RecordingUi;

const std::string kNoFolder = "フォルダー名がありません\nヘルプ（？）を参考にしてください";
const std::string kConfirmRemove = "\n本当に登録を削除しますか？";

class DestinationFixture : public ::testing::Test {
 protected:
  void SetUp() override { drives = DriveScan(box.fs(), labels); }

  std::string Root(char drive) { return std::string{drive, ':', '\\'} + LabelOf(labels, std::string(1, drive)); }
  bool Register(char drive, std::string_view folder) { return RegisterDestination(ed, Root(drive), folder); }
  std::string Item(std::string_view text) { return DisplayForm(tables, labels, text); }
  std::string ToDrive() { return FormatToDrive(tables); }
  void WriteLists(std::string_view text, std::string_view digits, std::string_view content) {
    for (char d : digits) box.Write(ListFileName(text[0], text.substr(3), d), std::string(content) + d + "\n");
  }
  std::string List(std::string_view text, char digit) { return ListFileName(text[0], text.substr(3), digit); }
  // Registers T:\BK and U:\BK2 and links them.
  void Linked() {
    ASSERT_TRUE(Register('T', "BK"));
    ASSERT_TRUE(Register('U', "BK2"));
    ui.answers = {kAnswerFirst};
    ASSERT_TRUE(LinkOrRename(ed, Item("T:\\BK"), Item("U:\\BK2")));
    ui.texts.clear();
  }

  test::Sandbox box;
  ScriptedUi ui;
  DestinationTables tables;
  VolumeLabels labels;
  DestinationEditor ed{box.fs(), ui, tables, labels, true};
  std::vector<std::string> drives;
};

using DestinationRegister = DestinationFixture;
using DestinationDisplay = DestinationFixture;
using DestinationDelete = DestinationFixture;
using DestinationChoice = DestinationFixture;
using DestinationLink = DestinationFixture;

TEST_F(DestinationRegister, SameNameIsRegisteredOncePerDriveWhateverItsCase) {
  EXPECT_TRUE(Register('T', "BK"));
  EXPECT_FALSE(Register('T', "BK"));
  EXPECT_EQ(ui.last(), "T:\\BK【BACKUP】\nすでに登録済です");
  EXPECT_FALSE(Register('T', "bk"));  // Windows would open the same folder
  EXPECT_EQ(ui.last(), "T:\\BK【BACKUP】\nすでに登録済です");
  EXPECT_EQ(ui.texts.size(), 2u);
  EXPECT_TRUE(Register('U', "BK"));
  EXPECT_TRUE(Register('T', "BK2"));  // a longer name is another folder
  EXPECT_EQ(tables.destinations.entries(), (std::vector<std::string>{"T:\\BK", "U:\\BK", "T:\\BK2"}));
}

TEST_F(DestinationRegister, FullWidthGreekAndCyrillicLettersFoldLikeAscii) {
  EXPECT_TRUE(Register('T', "ＢＫ"));
  EXPECT_FALSE(Register('T', "Ｂｋ"));
  EXPECT_EQ(ui.last(), "T:\\ＢＫ【BACKUP】\nすでに登録済です");  // the one registered
  EXPECT_TRUE(Register('T', "Ωя"));
  EXPECT_FALSE(Register('T', "ωЯ"));
  EXPECT_EQ(ui.texts.size(), 2u);
  EXPECT_TRUE(Register('T', "ア"));  // kana have no case; ヂ's trail byte is the letter a
  EXPECT_TRUE(Register('T', "ヂ"));
  EXPECT_TRUE(Register('T', "ｧ"));
  EXPECT_TRUE(Register('T', "ﾇ"));
  EXPECT_EQ(tables.destinations.size(), 6u);
}

TEST_F(DestinationLink, EveryComparisonFoldsLetterCase) {
  // A hand-edited file may spell one destination differently in each section.
  tables = ParseToDrive("T:\\ｂｋ\nT:\\ＢＫ\nU:\\Ｘ\n*\nU:\\ｘ\n*\nT:\\Ｂｋ > u:\\Ｘ\n*\n1\n");
  EXPECT_EQ(CurrentIndex(tables), 0);
  // The target of a link is known as such under any spelling, and guarded by the power-off list.
  EXPECT_EQ(BoxItems(tables, labels, DestinationBox::Delete)[1], "U:\\Ｘ【BACKUP2】連動先");
  EXPECT_FALSE(DeleteDestination(ed, Item("U:\\Ｘ")));
  EXPECT_FALSE(DeleteDestination(ed, Item("T:\\ＢＫ")));  // a link source
  ASSERT_EQ(ui.texts.size(), 2u);
  EXPECT_NE(ui.texts[0].find("これは「バックアップ後PC電源を切る」にも登録があります"), std::string::npos);
  EXPECT_NE(ui.texts[1].find("これは「複数の連動バックアップ」にも登録があります"), std::string::npos);
  ui.answers = {kAnswerFirst};
  EXPECT_TRUE(RemovePowerOff(ed, Item("U:\\Ｘ")));
  EXPECT_TRUE(tables.power_off.empty());
  // Deleting the link forgets its target; the current destination, spelled otherwise, is
  // the source and stays.
  ui.answers = {kAnswerFirst};
  EXPECT_TRUE(DeleteLink(ed, tables.links.entries()[0]));
  EXPECT_EQ(tables.destinations.entries(), std::vector<std::string>{"T:\\ＢＫ"});
  EXPECT_TRUE(tables.current.chosen());
}

TEST_F(DestinationRegister, NamesWindowsCannotHoldAsOneFolderAreRefused) {
  const std::string long_name(126, 'a');
  for (std::string_view bad : {"", ".", "..", "a\\b", "a/b", "a:b", "a*", "a?", "a\"b", "a<b", "a>b", "a|b",
                               "BK.", "BK ", "CON", "nul.txt", "com1", "a\tb"}) {
    ui.texts.clear();
    EXPECT_FALSE(Register('T', bad)) << bad;
    EXPECT_EQ(ui.texts, std::vector<std::string>{"T:\\BACKUP " + kNoFolder}) << bad;
  }
  EXPECT_FALSE(Register('T', long_name));
  // The trail byte of 表 is 0x5C and no separator; the limit is 125 bytes inclusive.
  ui.texts.clear();
  EXPECT_TRUE(Register('T', "表"));
  EXPECT_TRUE(Register('T', std::string(125, 'a')));
  EXPECT_TRUE(Register('T', "BK.old"));
  EXPECT_TRUE(Register('T', "CONSOLE"));
  EXPECT_TRUE(ui.texts.empty());
  EXPECT_EQ(tables.destinations.size(), 4u);
}

TEST_F(DestinationRegister, OnlyADriveItemRegistersAndItsLabelIsKept) {
  EXPECT_FALSE(RegisterDestination(ed, "-", "BK"));
  EXPECT_FALSE(RegisterDestination(ed, "", "BK"));
  EXPECT_TRUE(ui.texts.empty());
  EXPECT_TRUE(tables.destinations.empty());
  EXPECT_TRUE(RegisterDestination(ed, "T:\\RENAMED", "BK"));
  EXPECT_EQ(LabelOf(labels, "T:\\BK"), "RENAMED");
  EXPECT_EQ(Item("T:\\BK"), "T:\\BK【RENAMED】");
}

TEST_F(DestinationRegister, TheThousandAndFirstIsRefusedUntilOneIsDeleted) {
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(tables.destinations.Add("T:\\B" + std::to_string(i)));
  EXPECT_FALSE(Register('T', "NEW"));
  EXPECT_EQ(ui.last(), "バックアップ先は1000箇所までです\n以降登録出来ません");
  EXPECT_FALSE(Register('T', "B999"));  // a repeat is named as such, even when full
  EXPECT_EQ(ui.last(), "T:\\B999【BACKUP】\nすでに登録済です");
  ui.answers = {kAnswerFirst};
  ASSERT_TRUE(DeleteDestination(ed, Item("T:\\B500")));
  EXPECT_TRUE(Register('T', "NEW"));
  EXPECT_EQ(tables.destinations.entries().back(), "T:\\NEW");
  EXPECT_EQ(tables.destinations.entries()[500], "T:\\B501");
}

TEST_F(DestinationRegister, AnExistingFolderIsRegisteredOnlyWhenTheUserSaysYes) {
  box.Write("T:\\BK\\old.txt", "x");
  const std::string question =
      "T:\\BK【BACKUP】\nこのフォルダーはバックアップ先にすでに存在します\n上書きされますが、登録しますか？";
  ui.answers = {kAnswerClosed, kAnswerSecond, kAnswerFirst};
  EXPECT_FALSE(Register('T', "BK"));
  EXPECT_FALSE(Register('T', "BK"));
  EXPECT_TRUE(tables.destinations.empty());
  EXPECT_TRUE(Register('T', "BK"));
  EXPECT_EQ(ui.texts, std::vector<std::string>(3, question));
  EXPECT_EQ(ui.modes.back(), DialogMode::YesNo);
  box.Write("T:\\FILE", "x");  // a file of that name is no folder: no question
  EXPECT_TRUE(Register('T', "FILE"));
  EXPECT_EQ(ui.texts.size(), 3u);
}

TEST_F(DestinationRegister, AnUnreachableDriveIsRefusedOnlyWhenFreeSpaceIsChecked) {
  FaultFileSystem faulty(box.fs());
  faulty.RemoveDrive('T');
  DestinationEditor gone{faulty, ui, tables, labels, true};
  EXPECT_FALSE(RegisterDestination(gone, "T:\\BACKUP", "BK"));
  EXPECT_EQ(ui.texts, std::vector<std::string>{
                          "バックアップ先ドライブ T:\\ が認識できません（USBメモリーが接触不良、　外付けHDDの電源が入っていない等々）\n"});
  EXPECT_TRUE(tables.destinations.empty());
  gone.free_space_check = false;
  EXPECT_TRUE(RegisterDestination(gone, "T:\\BACKUP", "BK"));
}

TEST_F(DestinationDisplay, DriveScanFindsTheDrivesAndForgetsOldLabels) {
  labels[static_cast<std::size_t>('Q' - 'A')] = "STALE";
  const std::vector<std::string> found = DriveScan(box.fs(), labels);
  std::vector<std::string> ours;
  for (const std::string& d : found) {
    if (d == "S:\\SOURCE" || d == "T:\\BACKUP" || d == "U:\\BACKUP2") ours.push_back(d);
  }
  EXPECT_EQ(ours, (std::vector<std::string>{"S:\\SOURCE", "T:\\BACKUP", "U:\\BACKUP2"}));
  EXPECT_EQ(labels[static_cast<std::size_t>('U' - 'A')], "BACKUP2");
  EXPECT_EQ(labels[static_cast<std::size_t>('Q' - 'A')], "");
}

TEST_F(DestinationDisplay, FormsAndTheirDestinationsRoundTrip) {
  labels[static_cast<std::size_t>('S' - 'A')] = "表ソ";  // trail bytes 0x5C in the label
  tables.links.Add("T:\\BK > U:\\BK2");
  EXPECT_EQ(Item("T:\\BK"), "T:\\BK【BACKUP】");
  EXPECT_EQ(Item("U:\\BK2"), "U:\\BK2【BACKUP2】連動先");
  EXPECT_EQ(Item("Q:\\BK"), "Q:\\BK【】");  // a drive that is not there has no label
  for (std::string_view text : {"T:\\BK", "U:\\BK2", "Q:\\BK", "S:\\表【x】", "T:\\連動先", "T:\\"}) {
    EXPECT_EQ(DestinationOfItem(labels, Item(text)), text) << text;
  }
  EXPECT_TRUE(IsLinkTargetItem(Item("U:\\BK2")));
  EXPECT_FALSE(IsLinkTargetItem(Item("T:\\連動先")));
  // A label changed since the item was made: the last 【...】 is still the label.
  EXPECT_EQ(DestinationOfItem(labels, "T:\\BK【OLD】"), "T:\\BK");
  EXPECT_EQ(DestinationOfItem(labels, "T:\\BK【OLD】連動先"), "T:\\BK");
  // Nothing is ever cut past the drive root.
  for (std::string_view junk : {"", "-", "連動先", "【BACKUP】", "T:【BACKUP】", "T:\\BK", "T:\\BK【BACKUP"}) {
    EXPECT_EQ(DestinationOfItem(labels, junk), "") << junk;
  }
}

TEST_F(DestinationDisplay, BoxesFollowTheTablesAndSelectTheExactCurrent) {
  ASSERT_TRUE(Register('T', "BK2"));
  ASSERT_TRUE(Register('T', "BK"));
  ASSERT_TRUE(Register('U', "X"));
  tables.power_off.Add("U:\\X");
  tables.links.Add("T:\\BK > U:\\X");
  const std::vector<std::string> all = {"T:\\BK2【BACKUP】", "T:\\BK【BACKUP】", "U:\\X【BACKUP2】連動先"};
  for (DestinationBox b : {DestinationBox::Delete, DestinationBox::Current, DestinationBox::PowerOffChoice,
                           DestinationBox::LinkSource, DestinationBox::LinkTarget}) {
    EXPECT_EQ(BoxItems(tables, labels, b), all);
  }
  EXPECT_EQ(BoxItems(tables, labels, DestinationBox::PowerOff), std::vector<std::string>{"U:\\X【BACKUP2】連動先"});
  EXPECT_EQ(BoxItems(tables, labels, DestinationBox::Links), std::vector<std::string>{"T:\\BK > U:\\X"});

  EXPECT_EQ(CurrentIndex(tables), -1);
  tables.current = {'T', "BK"};
  EXPECT_EQ(CurrentIndex(tables), 1);  // never T:\BK2, which merely starts the same
  tables.current = {'T', "B"};
  EXPECT_EQ(CurrentIndex(tables), -1);
}

TEST_F(DestinationDelete, PowerOffAndLinksGuardTheDestination) {
  ASSERT_TRUE(Register('S', "P"));
  tables.power_off.Add("S:\\P");
  Linked();
  const std::string before = ToDrive();
  EXPECT_FALSE(DeleteDestination(ed, Item("S:\\P")));
  EXPECT_EQ(ui.last(),
            "S:\\P【SOURCE】\nこれは「バックアップ後PC電源を切る」にも登録があります\nそちらを先に削除してください");
  for (std::string_view text : {"T:\\BK", "U:\\BK2"}) {
    EXPECT_FALSE(DeleteDestination(ed, Item(text)));
    EXPECT_EQ(ui.last(), Item(text).substr(0, Item(text).find("】") + 2) +
                             "\nこれは「複数の連動バックアップ」にも登録があります\nそちらを先に削除してください");
  }
  EXPECT_EQ(ToDrive(), before);
  EXPECT_EQ(ui.texts.size(), 3u);  // no question was asked
}

TEST_F(DestinationDelete, TheCurrentIsForgottenWithItsListsButNotItsBackups) {
  ASSERT_TRUE(Register('T', "BK"));
  ASSERT_TRUE(Register('T', "BK2"));
  tables.current = {'T', "BK"};
  WriteLists("T:\\BK", "12345", "a");
  WriteLists("T:\\BK2", "1", "b");
  box.Write("T:\\BK\\kept.txt", "backup");
  ui.answers = {kAnswerFirst};
  ASSERT_TRUE(DeleteDestination(ed, Item("T:\\BK")));
  EXPECT_EQ(ui.texts, std::vector<std::string>{
                          "T:\\BK【BACKUP】\n本当に登録を削除しますか？\n\nすでにバックアップ済みのファイルは削除しません"});
  EXPECT_EQ(ToDrive().substr(0, 2), "*\n");
  EXPECT_EQ(tables.destinations.entries(), std::vector<std::string>{"T:\\BK2"});
  for (char d : std::string_view("12345")) EXPECT_FALSE(box.Exists(List("T:\\BK", d))) << d;
  EXPECT_TRUE(box.Exists(List("T:\\BK2", '1')));
  EXPECT_TRUE(box.Exists("T:\\BK\\kept.txt"));

  // Another current survives; missing lists are no obstacle.
  tables.current = {'T', "BK2"};
  ASSERT_TRUE(Register('U', "Z"));
  ui.answers = {kAnswerFirst};
  ASSERT_TRUE(DeleteDestination(ed, Item("U:\\Z")));
  EXPECT_EQ(tables.current.Text(), "T:\\BK2");
}

TEST_F(DestinationDelete, ClosingOrDenyingAnyQuestionChangesNothing) {
  ASSERT_TRUE(Register('S', "P"));
  tables.power_off.Add("S:\\P");
  Linked();
  ASSERT_TRUE(Register('T', "SOLO"));
  ASSERT_TRUE(Register('U', "BK"));
  WriteLists("T:\\SOLO", "1", "s");
  WriteLists("T:\\BK", "1", "t");
  WriteLists("U:\\BK", "2", "u");
  const std::string before = ToDrive();
  for (int answer : {kAnswerClosed, kAnswerSecond}) {
    ui.answers = {answer};
    EXPECT_FALSE(DeleteDestination(ed, Item("T:\\SOLO")));
    ui.answers = {answer};
    EXPECT_FALSE(RemovePowerOff(ed, Item("S:\\P")));
    ui.answers = {answer};
    EXPECT_FALSE(DeleteLink(ed, "T:\\BK > U:\\BK2"));
  }
  ui.answers = {kAnswerClosed};
  EXPECT_FALSE(LinkOrRename(ed, Item("T:\\BK"), Item("U:\\BK")));
  EXPECT_TRUE(ui.answers.empty());
  EXPECT_EQ(ToDrive(), before);
  EXPECT_TRUE(box.Exists(List("T:\\SOLO", '1')));
  EXPECT_FALSE(box.Exists(List("U:\\BK", '1')));
  EXPECT_EQ(box.Read(List("U:\\BK", '2')), "u2\n");
}

TEST_F(DestinationChoice, CurrentIsSetButNeverToALinkTarget) {
  Linked();
  EXPECT_TRUE(ChooseCurrent(ed, Item("T:\\BK")));
  EXPECT_EQ(tables.current.drive, 'T');
  EXPECT_EQ(tables.current.folder, "BK");
  const std::string target = Item("U:\\BK2");
  EXPECT_FALSE(ChooseCurrent(ed, target));
  EXPECT_EQ(ui.texts, std::vector<std::string>{target + "\n連動バックアップ先はファイル等の登録内容を変更できません。"});
  EXPECT_EQ(tables.current.Text(), "T:\\BK");
  // Without its mark the table still knows it is a target.
  EXPECT_FALSE(ChooseCurrent(ed, "U:\\BK2【BACKUP2】"));
  EXPECT_EQ(tables.current.Text(), "T:\\BK");
  EXPECT_FALSE(ChooseCurrent(ed, "-"));
}

TEST_F(DestinationChoice, PowerOffListAddsOnceAndRemovesOnYes) {
  ASSERT_TRUE(Register('T', "BK"));
  EXPECT_TRUE(AddPowerOff(ed, Item("T:\\BK")));
  EXPECT_FALSE(AddPowerOff(ed, Item("T:\\BK")));
  EXPECT_EQ(ui.last(), "T:\\BK【BACKUP】\nすでに登録済です");
  EXPECT_FALSE(AddPowerOff(ed, Item("T:\\NOTREG")));
  ui.answers = {kAnswerFirst};
  EXPECT_TRUE(RemovePowerOff(ed, Item("T:\\BK")));
  EXPECT_EQ(ui.last(), "T:\\BK【BACKUP】" + kConfirmRemove);
  EXPECT_TRUE(tables.power_off.empty());
  EXPECT_EQ(tables.destinations.size(), 1u);
}

TEST_F(DestinationLink, LinkingMakesTheTargetListsTheSourcesOwn) {
  ASSERT_TRUE(Register('T', "BK"));
  ASSERT_TRUE(Register('U', "BK2"));
  WriteLists("T:\\BK", "13", "src");
  WriteLists("U:\\BK2", "125", "old");
  const std::string source = Item("T:\\BK"), target = Item("U:\\BK2");
  ui.answers = {kAnswerFirst};
  ASSERT_TRUE(LinkOrRename(ed, source, target));
  EXPECT_EQ(ui.texts, std::vector<std::string>{"連動元\n" + source + "\n連動先\n" + target +
                                               "\n\n処理を中止する場合は閉じる(x)を押す"});
  EXPECT_EQ(ui.modes, std::vector<DialogMode>{DialogMode::LinkRename});
  EXPECT_EQ(tables.links.entries(), std::vector<std::string>{"T:\\BK > U:\\BK2"});
  EXPECT_EQ(box.Read(List("U:\\BK2", '1')), "src1\n");
  EXPECT_EQ(box.Read(List("U:\\BK2", '3')), "src3\n");
  for (char d : std::string_view("245")) EXPECT_FALSE(box.Exists(List("U:\\BK2", d))) << d;
  EXPECT_EQ(Item("U:\\BK2"), "U:\\BK2【BACKUP2】連動先");
  EXPECT_EQ(Item("T:\\BK"), "T:\\BK【BACKUP】");
}

TEST_F(DestinationLink, ACurrentDestinationThatBecomesATargetIsNoLongerCurrent) {
  ASSERT_TRUE(Register('T', "BK"));
  ASSERT_TRUE(Register('U', "BK2"));
  ASSERT_TRUE(ChooseCurrent(ed, Item("U:\\BK2")));
  ui.answers = {kAnswerFirst};
  ASSERT_TRUE(LinkOrRename(ed, Item("T:\\BK"), Item("U:\\BK2")));
  EXPECT_FALSE(tables.current.chosen());
}

TEST_F(DestinationLink, ChainsAndSelfLinksAreRefusedWithoutAQuestion) {
  Linked();
  ASSERT_TRUE(Register('S', "A"));
  const std::string src = Item("T:\\BK"), tgt = Item("U:\\BK2"), other = Item("S:\\A");
  const std::string before = ToDrive();

  EXPECT_FALSE(LinkOrRename(ed, other, other));
  EXPECT_EQ(ui.last(), "連動元\n" + other + "\n連動先\n" + other + "\n\n連動元と連動先が同じのため処理しません。");
  EXPECT_FALSE(LinkOrRename(ed, other, tgt));  // a target cannot take a second source
  EXPECT_EQ(ui.last(), tgt + "\nこの連動先はすでに連動先として登録済みのため処理しません。");
  EXPECT_FALSE(LinkOrRename(ed, tgt, other));  // a target cannot be a source
  EXPECT_EQ(ui.last(), tgt + "\nこの連動元はすでに連動先として登録済みのため処理しません。");
  EXPECT_FALSE(LinkOrRename(ed, other, src));  // a source cannot be a target
  EXPECT_EQ(ui.last(), "T:\\BK【BACKUP】\nこの連動先はすでに連動元として登録済みのため処理しません。");

  ChooseLinkSource(ed, tgt);
  EXPECT_EQ(ui.last(), tgt + "\nこの連動元はすでに連動先として登録済みのため処理しません。");
  ChooseLinkSource(ed, other);
  EXPECT_EQ(ui.texts.size(), 5u);
  EXPECT_EQ(ToDrive(), before);
}

TEST_F(DestinationLink, RenameCopiesTheListsAndKeepsBothDestinations) {
  ASSERT_TRUE(Register('T', "BK"));
  ASSERT_TRUE(Register('U', "BK2"));
  WriteLists("T:\\BK", "14", "src");
  WriteLists("U:\\BK2", "12", "old");
  const std::string before = ToDrive();
  ui.answers = {kAnswerSecond};
  EXPECT_FALSE(LinkOrRename(ed, Item("T:\\BK"), Item("U:\\BK2")));
  EXPECT_EQ(ToDrive(), before);
  EXPECT_EQ(box.Read(List("U:\\BK2", '1')), "src1\n");
  EXPECT_EQ(box.Read(List("U:\\BK2", '4')), "src4\n");
  EXPECT_EQ(box.Read(List("U:\\BK2", '2')), "old2\n");  // the source has none: kept
  EXPECT_EQ(box.Read(List("T:\\BK", '1')), "src1\n");
}

TEST_F(DestinationLink, DeletingALinkTakesItsTargetAlongUnlessItIsInPowerOff) {
  Linked();
  WriteLists("T:\\BK", "1", "src");
  WriteLists("U:\\BK2", "1", "src");
  tables.power_off.Add("U:\\BK2");
  EXPECT_FALSE(DeleteLink(ed, "T:\\BK > U:\\BK2"));
  EXPECT_EQ(ui.last(),
            "U:\\BK2【BACKUP2】\nこれは「バックアップ後PC電源を切る」にも登録があります\nそちらを先に削除してください");
  EXPECT_EQ(tables.links.size(), 1u);

  tables.power_off.Clear();
  ui.answers = {kAnswerFirst};
  const std::string entry = tables.links.entries()[0];  // as the box holds it
  ASSERT_TRUE(DeleteLink(ed, entry));
  EXPECT_EQ(ui.last(), "T:\\BK > U:\\BK2" + kConfirmRemove);
  EXPECT_TRUE(tables.links.empty());
  EXPECT_EQ(tables.destinations.entries(), std::vector<std::string>{"T:\\BK"});
  EXPECT_FALSE(box.Exists(List("U:\\BK2", '1')));
  EXPECT_TRUE(box.Exists(List("T:\\BK", '1')));
  EXPECT_FALSE(DeleteLink(ed, "T:\\BK > U:\\BK2"));  // gone: nothing to ask
}

TEST_F(DestinationLink, PropagationLeavesAListWhoseSourceCannotBeQueried) {
  tables.links.Add("T:\\BK > U:\\BK2");
  WriteLists("T:\\BK", "1", "new");
  WriteLists("U:\\BK2", "12", "old");
  FaultFileSystem faulty(box.fs());
  faulty.Add({FsOp::GetInfo, "TBK2.ini", err::kAccessDenied});
  faulty.Add({FsOp::Rename, "UBK21.ini", err::kDiskFull});
  EXPECT_EQ(LinkPropagation(faulty, tables, ui).code, err::kDiskFull);
  EXPECT_EQ(box.Read(List("U:\\BK2", '1')), "old1\n");  // a failed replacement keeps the old list
  EXPECT_EQ(box.Read(List("U:\\BK2", '2')), "old2\n");  // could not tell: untouched

  faulty.Clear();
  ui.texts.clear();
  EXPECT_TRUE(test::Succeeded(LinkPropagation(faulty, tables, ui)));
  EXPECT_TRUE(ui.texts.empty());
  EXPECT_EQ(box.Read(List("U:\\BK2", '1')), "new1\n");
  EXPECT_FALSE(box.Exists(List("U:\\BK2", '2')));
}

// A target whose lists could not be made its source's is told, once, by name: later
// backups of it would otherwise run from stale lists and report success.
TEST_F(DestinationLink, AFailedPropagationIsToldNamingEachTarget) {
  tables.links.Add("T:\\BK > U:\\BK2");
  tables.links.Add("T:\\BK > U:\\BK3");
  tables.links.Add("S:\\A > U:\\BK4");
  WriteLists("T:\\BK", "12", "new");
  WriteLists("U:\\BK2", "12", "old");
  WriteLists("U:\\BK3", "12", "old");
  WriteLists("U:\\BK4", "1", "old");
  FaultFileSystem faulty(box.fs());
  faulty.Add({FsOp::Rename, "UBK21.ini", err::kDiskFull});
  faulty.Add({FsOp::Rename, "UBK22.ini", err::kAccessDenied});  // the same target: one message
  faulty.Add({FsOp::GetInfo, "SA1.ini", err::kNotReady});       // cannot tell: told as well
  EXPECT_EQ(LinkPropagation(faulty, tables, ui).code, err::kDiskFull);
  EXPECT_EQ(ui.texts, (std::vector<std::string>{faulty.ErrorMessage(err::kDiskFull) + "\n連動先 U:\\BK2",
                                                faulty.ErrorMessage(err::kNotReady) + "\n連動先 U:\\BK4"}));
  EXPECT_EQ(ui.modes, (std::vector<DialogMode>{DialogMode::Ok, DialogMode::Ok}));
  EXPECT_EQ(box.Read(List("U:\\BK2", '1')), "old1\n");
  EXPECT_EQ(box.Read(List("U:\\BK2", '2')), "old2\n");
  EXPECT_EQ(box.Read(List("U:\\BK3", '1')), "new1\n");  // the other target still follows
  EXPECT_EQ(box.Read(List("U:\\BK4", '1')), "old1\n");

  // A target list that cannot be removed (its source has none) is a failure too.
  ui.texts.clear();
  faulty.Clear();
  WriteLists("U:\\BK3", "5", "old");
  faulty.Add({FsOp::DeleteFile, "UBK35.ini", err::kAccessDenied});
  EXPECT_EQ(LinkPropagation(faulty, tables, ui).code, err::kAccessDenied);
  EXPECT_EQ(ui.texts, std::vector<std::string>{faulty.ErrorMessage(err::kAccessDenied) + "\n連動先 U:\\BK3"});
}

// Linking and renaming copy lists at once; a copy that fails is told after the question.
TEST_F(DestinationLink, AFailedListCopyOfALinkOrARenameIsTold) {
  ASSERT_TRUE(Register('T', "BK"));
  ASSERT_TRUE(Register('U', "BK2"));
  ASSERT_TRUE(Register('U', "BK3"));
  WriteLists("T:\\BK", "13", "src");
  WriteLists("U:\\BK2", "1", "old");
  WriteLists("U:\\BK3", "1", "old");
  FaultFileSystem faulty(box.fs());
  DestinationEditor failing{faulty, ui, tables, labels, true};
  ui.texts.clear();

  faulty.Add({FsOp::CreateWrite, "UBK3", err::kDiskFull});
  ui.answers = {kAnswerSecond};  // 名前変更
  EXPECT_FALSE(LinkOrRename(failing, Item("T:\\BK"), Item("U:\\BK3")));
  ASSERT_EQ(ui.texts.size(), 2u);
  EXPECT_EQ(ui.texts[1], faulty.ErrorMessage(err::kDiskFull) + "\nU:\\BK3【BACKUP2】");
  EXPECT_EQ(ui.modes[1], DialogMode::Ok);
  EXPECT_EQ(box.Read(List("U:\\BK3", '1')), "old1\n");
  EXPECT_FALSE(box.Exists(List("U:\\BK3", '3')));

  faulty.Clear();
  ui.texts.clear();
  ui.modes.clear();
  faulty.Add({FsOp::OpenRead, "TBK3.ini", err::kSharingViolation});
  ui.answers = {kAnswerFirst};  // 連動化
  EXPECT_TRUE(LinkOrRename(failing, Item("T:\\BK"), Item("U:\\BK2")));
  ASSERT_EQ(ui.texts.size(), 2u);
  EXPECT_EQ(ui.texts[1], faulty.ErrorMessage(err::kSharingViolation) + "\n連動先 U:\\BK2");
  EXPECT_EQ(box.Read(List("U:\\BK2", '1')), "src1\n");
  EXPECT_FALSE(box.Exists(List("U:\\BK2", '3')));

  // Without failures neither says more than its question.
  faulty.Clear();
  ui.texts.clear();
  ui.answers = {kAnswerSecond};
  EXPECT_FALSE(LinkOrRename(failing, Item("T:\\BK"), Item("U:\\BK3")));
  EXPECT_EQ(ui.texts.size(), 1u);
  EXPECT_EQ(box.Read(List("U:\\BK3", '3')), "src3\n");
}

// A list left behind by a deletion would come back when the destination is registered
// again: the user is told which one stayed.
TEST_F(DestinationDelete, AListThatCannotBeDeletedIsTold) {
  ASSERT_TRUE(Register('T', "BK"));
  WriteLists("T:\\BK", "123", "old");
  FaultFileSystem faulty(box.fs());
  faulty.Add({FsOp::DeleteFile, "TBK2.ini", err::kSharingViolation});
  DestinationEditor failing{faulty, ui, tables, labels, true};
  ui.texts.clear();
  ui.answers = {kAnswerFirst};
  ASSERT_TRUE(DeleteDestination(failing, Item("T:\\BK")));
  ASSERT_EQ(ui.texts.size(), 2u);
  EXPECT_EQ(ui.texts[1], faulty.ErrorMessage(err::kSharingViolation) + "\n" + List("T:\\BK", '2'));
  EXPECT_TRUE(tables.destinations.empty());
  EXPECT_FALSE(box.Exists(List("T:\\BK", '1')));
  EXPECT_EQ(box.Read(List("T:\\BK", '2')), "old2\n");
  EXPECT_FALSE(box.Exists(List("T:\\BK", '3')));  // the others still go
}

}  // namespace
}  // namespace bk
