#include "common/program_window_win32.hpp"

#include "platform/gdi_win32.hpp"

namespace bk {

bool RegisterProgramWindowClass(HINSTANCE instance, WNDPROC procedure, int icon_id) {
  static Brush background(CreateSolidBrush(kBackground));
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(icon_id));
  wc.hbrBackground = background.get();
  wc.lpszClassName = L"\u3000";
  return RegisterClassExW(&wc) != 0;
}

ScreenFacts ReadScreenFacts() {
  ScreenFacts s;
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  s.work_left = work.left;
  s.work_top = work.top;
  s.work_right = work.right;
  s.work_bottom = work.bottom;
  s.frame_width = GetSystemMetrics(SM_CXSIZEFRAME);
  s.frame_height = GetSystemMetrics(SM_CYSIZEFRAME);
  s.caption_height = GetSystemMetrics(SM_CYCAPTION);
  return s;
}

}  // namespace bk
