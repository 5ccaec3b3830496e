// The registration reset program: asks once, and only on "はい" forgets every registered
// file and folder and every destination. Backups already made stay where they are.
#include "common/message_dialog_win32.hpp"
#include "common/window_settings.hpp"
#include "platform/program_folder.hpp"
#include "platform/win32_file_system.hpp"
#include "reset/registration_reset.hpp"

namespace {

constexpr std::string_view kQuestion =
    "本当に削除（初期化）しますか？\n\n"
    "ファイル、フォルダー登録やバックアップ先のフォルダー登録も削除します\n"
    "すでにバックアップ済のファイルやフォルダーは削除しません";

}  // namespace

int main() {
  // Until the program folder is entered nothing may be touched: started from elsewhere,
  // "BkList\..." would name another folder's files.
  if (!bk::EnterProgramFolder()) return 0;
  bk::Win32FileSystem fs;
  const int char_size = bk::LoadCharSize(fs);
  bk::Win32MessageDialog dialog(&char_size);
  // Only an explicit "はい" deletes: "いいえ", the "×" mark and a dialog that could not be
  // shown all leave everything as it was.
  if (dialog.ShowMessage(kQuestion, bk::DialogMode::YesNo) != bk::kAnswerFirst) return 0;
  const bk::ResetOutcome outcome = bk::ResetRegistrations(fs);
  // Whatever stayed as it was is told, so the user knows the reset is not complete.
  if (const std::string failures = bk::ResetFailureText(fs, outcome); !failures.empty()) {
    dialog.ShowMessage(failures, bk::DialogMode::Ok);
  }
  return 0;
}
