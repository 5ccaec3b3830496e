// The backup program opens one top-level window at a time. The window procedure only
// leaves requests; the dispatcher decides, from them, which window opens next.
#pragma once

namespace bk {

enum class WindowMode : int { None = 0, FontChange = 1, Registration = 2, Backup = 3, Settings = 4 };

// Left by the settings window for the next dispatch.
struct Requests {
  bool destination = false;  // open the registration window
  int backup = 0;            // 1: the current destination, 2: all destinations
  int font_size = 0;         // 104 .. 112: character size + 100
  bool any() const { return destination || backup != 0 || font_size != 0; }
};

struct Dispatch {
  WindowMode mode = WindowMode::None;
  int command = -1;   // 1 or 2 for a backup; 0 ends the program
  bool exit = false;  // the settings window closed with nothing requested
};

// One dispatch: requests are taken in the order destination, backup, character size, a
// later one overriding an earlier; a character size changes *char_size and opens the
// settings window again at the new size.
Dispatch NextWindow(WindowMode mode, Requests& requests, int* char_size);

}  // namespace bk
