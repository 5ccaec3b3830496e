#include <gtest/gtest.h>

#include <algorithm>

#include "backup/dispatcher.hpp"
#include "backup/settings_layout.hpp"

namespace bk {
namespace {

TEST(Dispatcher, StartsWithTheSettingsWindowAndEndsWhenItClosesWithoutRequest) {
  Requests r;
  int f = 7;
  Dispatch d = NextWindow(WindowMode::None, r, &f);
  EXPECT_EQ(d.mode, WindowMode::Settings);
  EXPECT_FALSE(d.exit);
  d = NextWindow(WindowMode::Settings, r, &f);  // closed, nothing requested
  EXPECT_TRUE(d.exit);
}

TEST(Dispatcher, RequestsAreTakenInOrderAndTheCharacterSizeWins) {
  int f = 7;
  Requests r;
  r.destination = true;
  Dispatch d = NextWindow(WindowMode::Settings, r, &f);
  EXPECT_EQ(d.mode, WindowMode::Registration);
  EXPECT_FALSE(r.any());

  r.backup = 2;
  d = NextWindow(WindowMode::Settings, r, &f);
  EXPECT_EQ(d.mode, WindowMode::Backup);
  EXPECT_EQ(d.command, 2);

  r.destination = true;
  r.backup = 1;
  r.font_size = 112;
  d = NextWindow(WindowMode::Settings, r, &f);
  EXPECT_EQ(f, 12);
  EXPECT_EQ(d.mode, WindowMode::Settings);  // reopened at the new size
  EXPECT_FALSE(d.exit);
  EXPECT_FALSE(r.any());

  // After the registration or backup window the settings window comes back.
  d = NextWindow(WindowMode::None, r, &f);
  EXPECT_EQ(d.mode, WindowMode::Settings);
}

TEST(SettingsLayout, ScalesWithTheCharacterSizeButTheLowerBlockOffsetIsFixed) {
  for (int f : {4, 7, 12}) {
    SCOPED_TRACE(f);
    const auto controls = SettingsControls(f, 1000);
    auto find = [&](int id) { return *std::find_if(controls.begin(), controls.end(), [&](auto& c) { return c.id == id; }); };
    EXPECT_EQ(find(ctl::kDriveBox).rect, (Rect{3 * f, 7 * f, 25 * f, 500}));
    EXPECT_EQ(find(ctl::kFolderNameBox).rect, (Rect{30 * f, 7 * f, 29 * f, 3 * f}));
    EXPECT_EQ(find(ctl::kFolderNameBox).text, "鏡");
    EXPECT_EQ(find(ctl::kChoiceBox).rect.left, static_cast<int>(f * 24.5f));
    EXPECT_EQ(find(ctl::kChoiceBox).rect.width, static_cast<int>(f * 34.8f));
    EXPECT_EQ(find(ctl::kBackupButton).rect, (Rect{3 * f, 22 * f, 22 * f, static_cast<int>(f * 2.8f)}));
    EXPECT_EQ(find(ctl::kMailBox).rect.top, static_cast<int>(f * 36.5f) + 64);
    EXPECT_EQ(find(ctl::kCharSizeBox).rect.left, static_cast<int>(f * 53.4f));
    EXPECT_EQ(SettingsSeparators(f).back(), 41 * f + 64);
  }
  EXPECT_EQ(Scaled(7, 2.8f), 19);
  EXPECT_EQ(Scaled(12, 16.2f), 194);
}

TEST(SettingsLayout, HelpZonesAreExclusiveAndTestedInOrder) {
  const int f = 7;
  const auto zones = SettingsHelpZones(f);
  ASSERT_EQ(zones.size(), 4u);
  EXPECT_TRUE(zones[0].zone.Contains(53 * f, 4 * f));
  EXPECT_FALSE(zones[0].zone.Contains(55 * f, 4 * f));  // one the bound itself
  EXPECT_TRUE(zones[3].zone.Contains(37 * f, 38 * f + 64));
  EXPECT_FALSE(zones[3].zone.Contains(37 * f, 38 * f));  // the 64 pixels count
  EXPECT_TRUE(DriveBoxArea(f).Contains(10 * f, 8 * f));
  EXPECT_FALSE(DriveBoxArea(f).Contains(3 * f, 8 * f));
}

TEST(SettingsLayout, HelpTextsAreTheirPiecesJoined) {
  EXPECT_EQ(SettingsHelpText(SettingsHelp::PowerOff),
            "複数の連動バックアップ先の登録がある場合、\n連動元のみの登録では連動先にバックアップできません\n"
            "連動先も同時に登録してください。");
  const std::string_view mail = SettingsHelpText(SettingsHelp::Mail);
  EXPECT_TRUE(mail.starts_with("Windows Live Maileは特別扱い！！\n\nWindowsはメール"));
  EXPECT_TRUE(mail.ends_with("このアプリの悪ふざけではありません。"));
  EXPECT_LT(SettingsHelpText(SettingsHelp::Links).size(), 2047u);  // fits the dialog's text
}

TEST(SettingsLayout, WindowPlacementCentresWithoutASavedPosition) {
  ScreenFacts s{0, 0, 1280, 984, 4, 4, 23};
  const Rect centred = SettingsWindowPlacement(7, 77777, 77777, s);
  EXPECT_EQ(centred.left, 640 - 441 / 2);
  EXPECT_EQ(centred.top, static_cast<int>(492.0f - 7 * 59.5f * 0.5f));
  EXPECT_EQ(centred.width, 63 * 7 + 8);
  EXPECT_EQ(centred.height, 23 + 2 * (4 + 24 * 7 + 32));
  const Rect saved = SettingsWindowPlacement(7, 77777, 10, s);  // one marker is no marker
  EXPECT_EQ(saved.left, 77777);
  EXPECT_EQ(saved.top, 10);
}

}  // namespace
}  // namespace bk
