// The backup program: start-up, the dispatcher over its three windows, and exit.
#include "backup/shell_win32.hpp"
#include "common/crc32.hpp"
#include "common/message_dialog_win32.hpp"
#include "common/progress_thread_win32.hpp"
#include "common/text_file.hpp"
#include "common/program_window_win32.hpp"
#include "engine/backup_run.hpp"
#include "platform/program_folder.hpp"
#include "platform/win32_file_system.hpp"
#include "platform/win32_handles.hpp"

namespace bk {
namespace {

// Shows messages, and remembers for the window procedure that one is up.
class TrackedDialog final : public MessagePort {
 public:
  TrackedDialog(MessagePort& inner, ProgramState& state) : inner_(inner), state_(state) {}
  int ShowMessage(std::string_view text, DialogMode mode) override {
    const bool was_open = state_.dialog_open;
    state_.dialog_open = true;
    const int answer = inner_.ShowMessage(text, mode);
    state_.dialog_open = was_open;
    return answer;
  }

 private:
  MessagePort& inner_;
  ProgramState& state_;
};

// The windows one after another, as the dispatcher orders them, with the timer at 1 ms.
// False when the program must end without writing anything.
bool RunWindows(HINSTANCE instance, FileSystem& fs, Clock& clock, ProgramState& state) {
  const TimerPeriod fine_timer(1);
  ProgressThread progress;
  if (!progress.Start()) return false;
  Win32MessageDialog dialog(&state.settings.char_size);
  if (const Status loaded = LoadToDrive(fs, &state.tables); !loaded) {
    // The file is there but cannot be read. Going on would save the empty default over
    // every destination, power-off choice and link it holds: the program ends instead,
    // without writing it (nor anything else).
    dialog.ShowMessage(FailureMessage(fs, loaded, kToDrivePath), DialogMode::Ok);
    progress.Stop();
    return false;
  }

  TrackedDialog ui(dialog, state);
  Shell shell{state, fs, clock, ui, progress};
  shell.instance = instance;
  CurrentShell() = &shell;

  state.mode = WindowMode::None;
  for (;;) {
    const Dispatch d = NextWindow(state.mode, state.requests, &state.settings.char_size);
    if (d.exit) break;
    state.mode = d.mode;
    switch (d.mode) {
      case WindowMode::Registration:
        if (!state.tables.current.chosen()) {
          ui.ShowMessage("バックアップ先の選択がありません。", DialogMode::Ok);
          state.mode = WindowMode::Settings;
          RunSettingsWindow(shell);
          break;
        }
        RunRegistrationWindow(shell);
        state.mode = WindowMode::None;
        break;
      case WindowMode::Backup:
        RunBackupWindow(shell, d.command);
        state.mode = WindowMode::None;
        break;
      default:
        state.mode = WindowMode::Settings;
        RunSettingsWindow(shell);
        break;
    }
  }

  progress.Stop();
  CurrentShell() = nullptr;
  return true;
}

int RunProgram(HINSTANCE instance) {
  if (!EnterProgramFolder()) return 0;
  if (!RegisterMainWindowClass(instance)) return 0;
  (void)Crc32Table();

  Win32FileSystem fs;
  Win32Clock clock;
  ProgramState state;
  state.free_space_check = ProbeFreeSpace(fs);
  state.screen = ReadScreenFacts();
  state.settings = LoadWindowSettings(fs);
  if (RunWindows(instance, fs, clock, state)) (void)SaveWindowSettings(fs, state.settings);
  return 0;
}

}  // namespace
}  // namespace bk

int main() { return bk::RunProgram(GetModuleHandleW(nullptr)); }
