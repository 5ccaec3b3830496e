#include "common/message_dialog_win32.hpp"

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "common/message_dialog.hpp"
#include "platform/shift_jis.hpp"
#include "common/window_settings.hpp"
#include "platform/wide.hpp"
#include "platform/win32_api.hpp"
#include "platform/win32_handles.hpp"

namespace bk {

int& DialogAnswer() {
  static int answer = 0;
  return answer;
}

namespace {

constexpr wchar_t kClassName[] = L"CmsgDialog";
constexpr COLORREF kBackground = RGB(200, 200, 255);
constexpr COLORREF kPanel = RGB(230, 230, 255);
constexpr COLORREF kText = RGB(0, 0, 0);
constexpr COLORREF kCloseMark = RGB(255, 0, 0);
constexpr int kClosedByMark = -1;

// ---- owners of system objects ---------------------------------------------

struct WindowDestroyer {
  void operator()(HWND window) const {
    if (IsWindow(window)) DestroyWindow(window);
  }
};
using WindowOwner = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The window class, registered at the first dialog and kept for the program's life; its
// background brush lives exactly as long as the registration.
class DialogClass {
 public:
  bool Ensure() {
    if (registered_) return true;
    if (!background_) background_.reset(CreateSolidBrush(kBackground));
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DialogProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background_.get();
    wc.lpszClassName = kClassName;
    registered_ = RegisterClassExW(&wc) != 0;
    return registered_;
  }
  ~DialogClass() {
    if (registered_) UnregisterClassW(kClassName, GetModuleHandleW(nullptr));
  }

 private:
  Brush background_;
  bool registered_ = false;
};

DialogClass& TheClass() {
  static DialogClass dialog_class;
  return dialog_class;
}

// ---- the one open dialog ----------------------------------------------------

struct OpenDialog {
  int f = kDefaultCharSize;
  DialogRect rect;
  std::vector<DialogButton> buttons;
  std::vector<std::wstring> lines;
  std::wstring close_mark;
  Font font;
  WindowOwner window;  // after the font: destroyed first, while its buttons still use it
  bool in_close_zone = false;

  void Close() {
    if (DialogAnswer() == 0) DialogAnswer() = kClosedByMark;
    window.reset();
    font.reset();
  }
};

OpenDialog* g_open = nullptr;

// Shift-JIS that is not valid code page 932 (a hand-made text) still shows: each
// character that cannot be converted becomes '?'.
std::wstring DisplayText(std::string_view text) {
  std::wstring wide;
  if (ToWide(text, &wide)) return wide;
  std::wstring one;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = sjis::CharWidthAt(text, i);
    if (ToWide(text.substr(i, n), &one)) {
      wide += one;
    } else {
      wide += L'?';
    }
    i += n;
  }
  return wide;
}

void Paint(HWND window, const OpenDialog& d) {
  PaintScope paint(window);
  const HDC dc = paint.dc();
  const int w = d.rect.width;
  const int h = d.rect.height;
  {
    // Owners first, so the selections are undone before the objects are deleted.
    Pen pen(CreatePen(PS_SOLID, 1, kPanel));
    Brush brush(CreateSolidBrush(kPanel));
    SelectedObject use_pen(dc, pen.get());
    SelectedObject use_brush(dc, brush.get());
    Rectangle(dc, 5, 5, w - 5, h - 5);
  }
  SetBkMode(dc, TRANSPARENT);
  SelectedObject use_font(dc, d.font.get());
  SetTextColor(dc, kText);
  for (std::size_t i = 0; i < d.lines.size(); ++i) {
    const std::wstring& line = d.lines[i];
    TextOutW(dc, 10, MessageLineY(static_cast<int>(i), d.f), line.c_str(), static_cast<int>(line.size()));
  }
  SetTextColor(dc, kCloseMark);
  TextOutW(dc, w - 3 * d.f, 0, d.close_mark.c_str(), static_cast<int>(d.close_mark.size()));
}

LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  OpenDialog* d = g_open;
  if (d == nullptr || d->window.get() != window) {
    return DefWindowProcW(window, message, wparam, lparam);
  }
  switch (message) {
    case WM_PAINT:
      Paint(window, *d);
      return 0;
    case WM_MOUSEMOVE:
      d->in_close_zone = InCloseZone(static_cast<short>(LOWORD(lparam)),
                                     static_cast<short>(HIWORD(lparam)), d->f, d->rect.width);
      return 0;
    case WM_LBUTTONDOWN:
      d->in_close_zone = InCloseZone(static_cast<short>(LOWORD(lparam)),
                                     static_cast<short>(HIWORD(lparam)), d->f, d->rect.width);
      if (d->in_close_zone) {
        d->Close();
      } else {
        // No caption: a press anywhere else drags the window as a caption would.
        ReleaseCapture();
        SendMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
      }
      return 0;
    case WM_COMMAND: {
      const unsigned id = LOWORD(wparam);
      if (HIWORD(wparam) == BN_CLICKED && id >= 1 && id <= d->buttons.size()) {
        DialogAnswer() = d->buttons[id - 1].answer;
      }
      return 0;
    }
    case WM_CLOSE:
      d->Close();
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

bool CreateDialogWindow(OpenDialog& d, DialogMode mode) {
  if (!TheClass().Ensure()) return false;
  const HINSTANCE instance = GetModuleHandleW(nullptr);

  std::wstring face;
  if (!ToWide("MS ゴシック", &face)) return false;
  d.font.reset(CreateFontW(2 * d.f, d.f, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH,
                           face.c_str()));

  d.window.reset(CreateWindowExW(0, kClassName, L"", WS_POPUP | WS_VISIBLE, d.rect.left, d.rect.top,
                                 d.rect.width, d.rect.height, nullptr, nullptr, instance, nullptr));
  if (!d.window) return false;
  const HWND window = d.window.get();
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);

  for (std::size_t i = 0; i < d.buttons.size(); ++i) {
    const DialogButton& b = d.buttons[i];
    const std::wstring caption = DisplayText(b.caption);
    const HWND button = CreateWindowExW(
        0, L"BUTTON", caption.c_str(), WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, b.rect.left, b.rect.top,
        b.rect.width, b.rect.height, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(i + 1)),
        instance, nullptr);
    if (button != nullptr && d.font) SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(d.font.get()), TRUE);
  }

  if (const auto target = PointerTarget(mode, d.f, d.rect.width, d.rect.height)) {
    RECT on_screen{};
    if (GetWindowRect(window, &on_screen)) SetCursorPos(on_screen.left + target->x, on_screen.top + target->y);
  }
  return true;
}

// Clears the open-dialog marker however ShowMessage leaves.
struct OpenMarker {
  explicit OpenMarker(OpenDialog* d) { g_open = d; }
  ~OpenMarker() { g_open = nullptr; }
  OpenMarker(const OpenMarker&) = delete;
  OpenMarker& operator=(const OpenMarker&) = delete;
};

}  // namespace

bool MessageDialogOpen() { return g_open != nullptr; }

Win32MessageDialog::Win32MessageDialog(const int* char_size) : char_size_(char_size) {}

int Win32MessageDialog::ShowMessage(std::string_view text, DialogMode mode) {
  if (g_open != nullptr) return kAnswerClosed;

  OpenDialog d;
  OpenMarker marker(&d);
  d.f = (char_size_ != nullptr && *char_size_ > 0) ? *char_size_ : kDefaultCharSize;
  const WrappedMessage wrapped = WrapMessageText(text);
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  d.rect = DialogGeometry(wrapped, mode, d.f, work.right, work.bottom);
  d.buttons = DialogButtons(mode, d.f, d.rect.width, d.rect.height);
  for (std::string_view line : SplitMessageLines(wrapped.text)) d.lines.push_back(DisplayText(line));
  d.close_mark = DisplayText("×");

  if (!CreateDialogWindow(d, mode)) {
    DialogAnswer() = DialogResult(mode, kAnswerClosed);
    return DialogAnswer();
  }

  DialogAnswer() = 0;
  POINT start{};
  GetCursorPos(&start);
  bool quit = false;
  int quit_code = 0;
  MSG msg{};
  while (DialogAnswer() == 0) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      // Destroying a program window posts a quit request, often just before a notice is
      // shown (the end of a backup). The notice stays until the user answers it; the
      // request is held back and posted again when the dialog has closed.
      quit = true;
      quit_code = static_cast<int>(msg.wParam);
      continue;
    }
    if (got > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (mode == DialogMode::Transient) {
      POINT now{};
      if (GetCursorPos(&now) && (now.x != start.x || now.y != start.y)) DialogAnswer() = 1;
    }
    Sleep(10);
  }

  const int ended_with = DialogAnswer() == kClosedByMark ? kAnswerClosed : DialogAnswer();
  d.window.reset();
  d.font.reset();
  if (quit) PostQuitMessage(quit_code);
  DialogAnswer() = DialogResult(mode, ended_with);
  return DialogAnswer();
}

}  // namespace bk
