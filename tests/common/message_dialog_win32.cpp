// The message dialog on the desktop, where only the Win32 layer can show it.
#include "common/message_dialog_win32.hpp"

#include <gtest/gtest.h>

#include "platform/win32_api.hpp"

namespace bk {
namespace {

// A window procedure that refuses every window: the system will not make the dialog.
LRESULT CALLBACK RefuseCreation(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) return FALSE;
  return DefWindowProcW(window, message, wparam, lparam);
}

// Holds the dialog's class name with a class whose windows cannot be made.
class RefusingDialogClass {
 public:
  RefusingDialogClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = RefuseCreation;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CmsgDialog";
    registered_ = RegisterClassExW(&wc) != 0;
  }
  ~RefusingDialogClass() {
    if (registered_) UnregisterClassW(L"CmsgDialog", GetModuleHandleW(nullptr));
  }
  bool registered() const { return registered_; }

 private:
  bool registered_ = false;
};

TEST(Win32MessageDialog, AWindowThatCannotBeMadeStillAnswersOkWith7777777) {
  RefusingDialogClass refusing;
  // Had a dialog of this process registered the class already, the dialog below would open
  // and wait for a user: the test stops here instead.
  ASSERT_TRUE(refusing.registered()) << GetLastError();
  int f = 7;
  Win32MessageDialog dialog(&f);
  DialogAnswer() = 123;
  EXPECT_EQ(dialog.ShowMessage("了解だけの知らせ", DialogMode::Ok), kOkAnswer);
  EXPECT_EQ(DialogAnswer(), kOkAnswer);
  // A question that could not be asked is no "はい".
  EXPECT_EQ(dialog.ShowMessage("質問", DialogMode::YesNo), kAnswerClosed);
  EXPECT_EQ(DialogAnswer(), kAnswerClosed);
  EXPECT_FALSE(MessageDialogOpen());
  EXPECT_EQ(FindWindowW(L"CmsgDialog", nullptr), nullptr);
}

}  // namespace
}  // namespace bk
