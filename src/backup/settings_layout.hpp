// Where everything of the settings window "Kestova" stands, as functions of the character
// size f. Fractions of f are computed in single precision and truncated; the lower block
// sits a fixed 64 pixels lower, whatever f is.
#pragma once

#include <string_view>
#include <vector>

#include "common/window_settings.hpp"

namespace bk {

// An area whose bounds are all exclusive, as the pointer tests use them.
struct Zone {
  int x0 = 0, x1 = 0, y0 = 0, y1 = 0;
  bool Contains(int x, int y) const { return x > x0 && x < x1 && y > y0 && y < y1; }
};

// trunc(f * factor) in single precision.
int Scaled(int f, float factor);

// Control ids of the settings window.
namespace ctl {
inline constexpr int kDriveBox = 0;
inline constexpr int kDestinationBox = 1;
inline constexpr int kChoiceBox = 2;
inline constexpr int kPowerOffAddBox = 3;
inline constexpr int kPowerOffListBox = 4;
inline constexpr int kLinkSourceBox = 5;
inline constexpr int kLinkTargetBox = 6;
inline constexpr int kSearchButton = 7;
inline constexpr int kMailBox = 8;
inline constexpr int kCharSizeBox = 9;
inline constexpr int kLinkListBox = 10;
inline constexpr int kListView = 100;
inline constexpr int kBackupAllButton = 102;
inline constexpr int kBackupButton = 103;
inline constexpr int kRegisterButton = 104;
inline constexpr int kFolderNameBox = 110;
inline constexpr int kSearchBox = 112;
}  // namespace ctl

enum class ControlKind { Combo, SortedCombo, Edit, Button };

struct ControlSpec {
  int id;
  ControlKind kind;
  std::string_view text;  // button caption or the edit box's first text
  Rect rect;              // for combo boxes the height is the open list's
};

// The settings window's controls; combo boxes drop down half the work-area height.
std::vector<ControlSpec> SettingsControls(int f, int work_area_bottom);

struct PaintText {
  int x, y;
  std::string_view text;
  bool red;
};
std::vector<PaintText> SettingsTexts(int f);
// The y of each separator line (drawn from x = 0 to x = 63f).
std::vector<int> SettingsSeparators(int f);

// While the pointer is here the drive box is refilled, once per entry.
Zone DriveBoxArea(int f);

enum class SettingsHelp { FolderName, PowerOff, Links, Mail };
struct HelpZone {
  SettingsHelp help;
  Zone zone;
};
// In the order they are tested.
std::vector<HelpZone> SettingsHelpZones(int f);
// The help text of a mark, as shown in the dialog.
std::string_view SettingsHelpText(SettingsHelp help);

// The items of the character-size box ("4" .. "12") and the e-mail option box.
std::vector<std::string_view> CharSizeItems();
std::vector<std::string_view> MailItems();

// Outer placement of the settings window: its saved position, or centred when both saved
// coordinates hold the marker.
Rect SettingsWindowPlacement(int f, int saved_x, int saved_y, const ScreenFacts& screen);

}  // namespace bk
