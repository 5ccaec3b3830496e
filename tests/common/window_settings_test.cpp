#include "common/window_settings.hpp"

#include <gtest/gtest.h>

#include "common/text_file.hpp"
#include "platform/fault_file_system.hpp"
#include "support/sandbox.hpp"

namespace bk {
namespace {

TEST(WindowSettings, DefaultsAndTheResetFile) {
  test::Sandbox box;
  EXPECT_EQ(LoadWindowSettings(box.fs()), WindowSettings{});  // no file
  ASSERT_TRUE(test::Succeeded(ResetWindowSettings(box.fs())));
  EXPECT_EQ(box.Read("BkList\\SizePos.txt"), kDefaultSizePos);
  ASSERT_TRUE(test::Succeeded(ResetWindowSettings(box.fs())));  // twice gives the same file
  EXPECT_EQ(box.Read("BkList\\SizePos.txt"), kDefaultSizePos);
  const WindowSettings w = LoadWindowSettings(box.fs());
  EXPECT_EQ(w, WindowSettings{});
  EXPECT_FALSE(HasPosition(w.settings_x, w.settings_y));
}

TEST(WindowSettings, SaveWritesNoFinalLineFeedAndReadsBack) {
  test::Sandbox box;
  WindowSettings w;
  w.char_size = 12;
  w.registration_x = 0;
  w.registration_y = 77777;  // a marker only when both coordinates hold it
  w.backup_x = -1;
  w.reference_height = 640;
  w.extra_height = -32;
  ASSERT_TRUE(test::Succeeded(SaveWindowSettings(box.fs(), w)));
  EXPECT_EQ(box.Read("BkList\\SizePos.txt"),
            "12\n77777\n77777\n00000\n77777\n-0001\n77777\n77777\n77777\n00640\n-0032");
  EXPECT_EQ(LoadWindowSettings(box.fs()), w);
  EXPECT_TRUE(HasPosition(w.registration_x, w.registration_y));
}

TEST(WindowSettings, SavingWhatTheFileHoldsWritesNothing) {
  test::Sandbox box;
  FaultFileSystem faulty(box.fs());
  WindowSettings w;
  w.backup_x = 12;
  w.backup_y = 34;
  ASSERT_TRUE(test::Succeeded(SaveWindowSettings(faulty, w)));
  const std::string saved = box.Read("BkList\\SizePos.txt");

  // Every write fails from here on: the same settings need none, changed ones report it.
  faulty.Add({FsOp::CreateWrite, "", err::kAccessDenied});
  EXPECT_TRUE(test::Succeeded(SaveWindowSettings(faulty, w)));
  EXPECT_EQ(faulty.failures(), 0);
  w.backup_y = 35;
  EXPECT_FALSE(SaveWindowSettings(faulty, w).ok());
  EXPECT_EQ(box.Read("BkList\\SizePos.txt"), saved);

  // The shipped file ends with a line feed the saved form has not: it is written once.
  faulty.Clear();
  ASSERT_TRUE(test::Succeeded(ResetWindowSettings(faulty)));
  ASSERT_TRUE(test::Succeeded(SaveWindowSettings(faulty, WindowSettings{})));
  EXPECT_EQ(box.Read("BkList\\SizePos.txt"), FormatWindowSettings(WindowSettings{}));
}

TEST(WindowSettings, ReadsOnlyTheLeadingCharactersOfEachLine) {
  const WindowSettings w = ParseWindowSettings("125\r\n123456\n-12x\n  42\nabc\n");
  EXPECT_EQ(w.char_size, 12);  // "125" is read as its first two digits
  EXPECT_EQ(w.dialog_x, 12345);
  EXPECT_EQ(w.dialog_y, -12);
  EXPECT_EQ(w.registration_x, 42);
  EXPECT_EQ(w.registration_y, 0);
  EXPECT_EQ(w.backup_x, kNoPosition);  // fewer lines: defaults
  EXPECT_EQ(w.extra_height, 0);
}

TEST(WindowSettings, UnusableCharacterSizesBecomeSeven) {
  EXPECT_EQ(ParseWindowSettings("00\n").char_size, 7);
  EXPECT_EQ(ParseWindowSettings("-5\n").char_size, 7);
  EXPECT_EQ(ParseWindowSettings("x\n").char_size, 7);
  EXPECT_EQ(ParseWindowSettings("").char_size, 7);
  EXPECT_EQ(ParseWindowSettings("3\n").char_size, 3);  // out of the offered range, kept
  EXPECT_EQ(ParseWindowSettings("99\n").char_size, 99);
}

TEST(WindowSettings, RememberedPositionsNeverGoBelowZero) {
  EXPECT_EQ(RememberedX(100, 4), 92);
  EXPECT_EQ(RememberedX(5, 4), 0);
  EXPECT_EQ(RememberedY(100, 4, 23), 69);
  EXPECT_EQ(RememberedY(10, 4, 23), 0);
}

TEST(WindowSettings, LoadCharSizeFallsBackToSeven) {
  test::Sandbox box;
  EXPECT_EQ(LoadCharSize(box.fs()), 7);
  box.Write("BkList\\SizePos.txt", "09\n");
  EXPECT_EQ(LoadCharSize(box.fs()), 9);
}

}  // namespace
}  // namespace bk

namespace bk {
namespace {

const FrameMetrics kFrame{4, 4, 23};

TEST(WindowSettingsRecording, MovesGoToTheirWindowsPairAndMinimisedMovesNowhere) {
  WindowSettings w;
  EXPECT_TRUE(RecordMove(&w, RememberedWindow::Registration, 100, 100, false, kFrame));
  EXPECT_TRUE(RecordMove(&w, RememberedWindow::Backup, 50, 40, false, kFrame));
  EXPECT_TRUE(RecordMove(&w, RememberedWindow::Settings, 3, 3, false, kFrame));  // off the top-left: 0
  EXPECT_EQ(w.registration_x, 92);
  EXPECT_EQ(w.registration_y, 69);
  EXPECT_EQ(w.backup_x, 42);
  EXPECT_EQ(w.backup_y, 9);
  EXPECT_EQ(w.settings_x, 0);
  EXPECT_EQ(w.settings_y, 0);

  const WindowSettings before = w;
  // Minimising: the move to the parking place, however the window learns of it.
  EXPECT_FALSE(RecordMove(&w, RememberedWindow::Registration, -31996, -31973, false, kFrame));
  EXPECT_FALSE(RecordMove(&w, RememberedWindow::Backup, -32000, -32000, false, kFrame));
  EXPECT_FALSE(RecordMove(&w, RememberedWindow::Settings, 200, 200, true, kFrame));
  EXPECT_EQ(w, before);
  // Only both coordinates that far out are the parking place; a window dragged far to
  // the left of a wide desktop is remembered at 0 as always.
  EXPECT_TRUE(AtMinimisedPlace(kMinimisedPlaceLimit, kMinimisedPlaceLimit));
  EXPECT_FALSE(AtMinimisedPlace(kMinimisedPlaceLimit + 1, kMinimisedPlaceLimit));
  EXPECT_FALSE(AtMinimisedPlace(kMinimisedPlaceLimit, 10));
  EXPECT_TRUE(RecordMove(&w, RememberedWindow::Settings, -32000, 10, false, kFrame));
  EXPECT_EQ(w.settings_x, 0);
}

TEST(WindowSettingsRecording, ResizesSetReferenceExtraAndWidthButMinimisingChangesNothing) {
  WindowSettings w;
  int width_adjust = 0;
  const int f = 7;  // 84f = 588
  EXPECT_TRUE(RecordRegistrationResize(&w, &width_adjust, 600, 400, false, 4, f));
  EXPECT_EQ(w.reference_height, 400);  // the first resize ever
  EXPECT_EQ(w.extra_height, 0);
  EXPECT_EQ(width_adjust, 600 + 16 - 588);
  EXPECT_TRUE(RecordRegistrationResize(&w, &width_adjust, 580, 450, false, 4, f));
  EXPECT_EQ(w.reference_height, 400);
  EXPECT_EQ(w.extra_height, 50);
  EXPECT_EQ(width_adjust, 8);

  // Minimising sends 0 x 0: recorded, it would leave extra height -400 and the next
  // window almost without height.
  EXPECT_FALSE(RecordRegistrationResize(&w, &width_adjust, 0, 0, false, 4, f));
  EXPECT_FALSE(RecordRegistrationResize(&w, &width_adjust, 160, 0, true, 4, f));
  EXPECT_EQ(w.extra_height, 50);
  EXPECT_EQ(width_adjust, 8);
  // A window made very low (but not minimised) is what the user chose.
  EXPECT_TRUE(RecordRegistrationResize(&w, &width_adjust, 580, 0, false, 4, f));
  EXPECT_EQ(w.extra_height, -400);

  // The very first resize being a minimise does not fix the reference at 0 x 0.
  WindowSettings fresh;
  EXPECT_FALSE(RecordRegistrationResize(&fresh, &width_adjust, 0, 0, true, 4, f));
  EXPECT_EQ(fresh.reference_height, 0);
  EXPECT_EQ(FormatWindowSettings(fresh), FormatWindowSettings(WindowSettings{}));
}

}  // namespace
}  // namespace bk
