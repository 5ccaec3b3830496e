// BkList\SizePos.txt: the character size and the remembered window geometry.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "platform/file_system.hpp"

namespace bk {

inline constexpr std::string_view kSizePosPath = "BkList\\SizePos.txt";
inline constexpr std::string_view kDefaultSizePos =
    "07\n77777\n77777\n77777\n77777\n77777\n77777\n77777\n77777\n00000\n00000\n";
inline constexpr int kDefaultCharSize = 7;
inline constexpr int kNoPosition = 77777;  // in both coordinates: place by the default rule

struct WindowSettings {
  int char_size = kDefaultCharSize;  // CharSize f
  int dialog_x = kNoPosition, dialog_y = kNoPosition;  // kept unchanged
  int registration_x = kNoPosition, registration_y = kNoPosition;
  int backup_x = kNoPosition, backup_y = kNoPosition;
  int settings_x = kNoPosition, settings_y = kNoPosition;
  int reference_height = 0;  // registration window client height at its first resize
  int extra_height = 0;      // last resize minus the reference height

  int double_char_size() const { return 2 * char_size; }
  bool operator==(const WindowSettings&) const = default;
};

// True unless both coordinates are the "no position" marker.
constexpr bool HasPosition(int x, int y) { return !(x == kNoPosition && y == kNoPosition); }

// Reads the eleven lines: the first two characters of line 1, the first five of the
// others, each converted as a leading-sign decimal that stops at the first non-digit.
// Missing lines keep their defaults; a character size of 0 or below becomes 7.
WindowSettings ParseWindowSettings(std::string_view text);
// "%02d\n%05d\n...%05d" - no LF after the last line.
std::string FormatWindowSettings(const WindowSettings& settings);

WindowSettings LoadWindowSettings(FileSystem& fs);  // defaults when the file cannot be read
int LoadCharSize(FileSystem& fs);                   // line 1 only; 7 when it cannot be read
Status SaveWindowSettings(FileSystem& fs, const WindowSettings& settings);
Status ResetWindowSettings(FileSystem& fs);  // the defaults, with a final LF

// The remembered position of a moved window: client origin minus the frame and caption,
// never below 0.
int RememberedX(int client_x, int frame_width);
int RememberedY(int client_y, int frame_height, int caption_height);

// ---- the screen the windows are placed on -------------------------------------

// An outer window rectangle in screen coordinates.
struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};

// Screen facts read at start-up.
struct ScreenFacts {
  int work_left = 0, work_top = 0, work_right = 0, work_bottom = 0;
  int frame_width = 0, frame_height = 0, caption_height = 0;
};

// ---- keeping the fields current while windows move and resize ----------------

// The windows whose position is remembered.
enum class RememberedWindow { Registration, Backup, Settings };

struct FrameMetrics {
  int frame_width = 0;     // sizing frame
  int frame_height = 0;
  int caption_height = 0;
};

// The system parks a minimised window far off the screen (its window at -32000, -32000,
// its client origin a frame further in); no screen reaches there.
inline constexpr int kMinimisedPlaceLimit = -30000;
// True for a client origin at the place of minimised windows.
bool AtMinimisedPlace(int client_x, int client_y);

// A moved window: its remembered pair takes the new place, unless the window is minimised
// (minimised, or its origin at the minimised place): then nothing changes, so that the
// next start opens it where the user last had it. False when nothing was recorded.
bool RecordMove(WindowSettings* settings, RememberedWindow which, int client_x, int client_y, bool minimised,
                const FrameMetrics& frame);

// A resized registration window of client size w x h: the reference height is set at the
// first resize ever, the extra height follows every resize, and width_adjust (kept for
// this run only) becomes w + 4 x frame width - 84f. A minimised window (minimised, or a
// client area of 0 x 0) changes none of them. False when nothing was recorded.
bool RecordRegistrationResize(WindowSettings* settings, int* width_adjust, int w, int h, bool minimised,
                              int frame_width, int f);

}  // namespace bk
