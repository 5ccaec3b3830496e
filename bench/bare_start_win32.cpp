// The bare program start the Wine benchmark (bench/wine_bench.sh) measures the programs'
// start-up against: a desktop program that does nothing, and one that only shows a window.
//
//   bare_start              ends at once
//   bare_start --window     registers a class, shows one window, handles what is waiting, ends
//   bare_start --stay FILE  keeps a hidden window (and so the Wine desktop) until FILE exists,
//                           as the desktop shell of Windows is always there for a program
#include <windows.h>

#include <string>
#include <string_view>

namespace {

LRESULT CALLBACK BareWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcW(window, message, wparam, lparam);
}

HWND MakeWindow(HINSTANCE instance) {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = BareWindowProc;
  window_class.hInstance = instance;
  window_class.lpszClassName = L"bare";
  if (!RegisterClassW(&window_class)) return nullptr;
  return CreateWindowExW(0, L"bare", L"bare", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr, instance,
                         nullptr);
}

void HandleWaitingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

void ShowOneWindow(HINSTANCE instance) {
  HWND window = MakeWindow(instance);
  if (!window) return;
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  HandleWaitingMessages();
  DestroyWindow(window);
}

void StayUntil(HINSTANCE instance, const wchar_t* file) {
  HWND window = MakeWindow(instance);  // never shown: it only holds the desktop
  while (GetFileAttributesW(file) == INVALID_FILE_ATTRIBUTES) {
    HandleWaitingMessages();
    Sleep(100);
  }
  if (window) DestroyWindow(window);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int) {
  const std::wstring_view line = command_line ? command_line : L"";
  if (line == L"--window") ShowOneWindow(instance);
  if (line.substr(0, 7) == L"--stay " && line.size() > 7) StayUntil(instance, std::wstring(line.substr(7)).c_str());
  return 0;
}
