#include "backup/dispatcher.hpp"

namespace bk {

Dispatch NextWindow(WindowMode mode, Requests& requests, int* char_size) {
  for (;;) {
    int command = -1;
    if (requests.destination) {
      requests.destination = false;
      mode = WindowMode::Registration;
    }
    if (requests.backup != 0) {
      command = requests.backup;
      requests.backup = 0;
      mode = WindowMode::Backup;
    }
    if (requests.font_size != 0) {
      command = requests.font_size;
      requests.font_size = 0;
      mode = WindowMode::FontChange;
    } else if (mode == WindowMode::Settings) {
      command = 0;
    } else if (mode == WindowMode::None) {
      mode = WindowMode::Settings;
    }
    if (command == 0) return {mode, 0, true};
    if (command >= 100) {
      *char_size = command - 100;
      mode = WindowMode::None;
      continue;  // reopens the settings window with the new size
    }
    return {mode, command, false};
  }
}

}  // namespace bk
