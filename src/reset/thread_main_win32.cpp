// The layout reset program: puts the default character size and window positions back
// into BkList\SizePos.txt, without asking and without a window.
#include "common/window_settings.hpp"
#include "platform/program_folder.hpp"
#include "platform/win32_file_system.hpp"

int main() {
  // Until the program folder is entered nothing of the data folder may be touched: started
  // from elsewhere, a relative "BkList\SizePos.txt" would land in the wrong folder.
  if (!bk::EnterProgramFolder()) return 0;
  bk::Win32FileSystem fs;
  (void)bk::ResetWindowSettings(fs);
  return 0;
}
