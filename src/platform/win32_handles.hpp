// The owners of the system's handles and the scopes of its paired calls. Every
// CloseHandle, FindClose, DeleteObject, ReleaseDC, EndPaint, timeEndPeriod and restoring
// SelectObject of the programs stands here, so an early return can never leak a handle,
// leave a device context taken or keep the fine timer on.
#pragma once

#include <utility>

#include "platform/win32_api.hpp"

#include <mmsystem.h>

namespace bk {

// Owns one handle and gives it back once, through Traits::Close, when it holds one
// (Traits::IsHandle); Traits::None() is the value that holds none. Movable, never copied.
template <class Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;

  UniqueHandle() = default;
  explicit UniqueHandle(Type h) : h_(h) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Type get() const { return h_; }
  explicit operator bool() const { return Traits::IsHandle(h_); }
  // Hands the handle over without closing it.
  Type release() { return std::exchange(h_, Traits::None()); }
  void reset(Type h = Traits::None()) {
    if (*this) Traits::Close(h_);
    h_ = h;
  }
  // Closes now and says whether the system closed it: closing a written file can fail,
  // and that failure must reach the caller. True when nothing was held.
  bool Close() {
    if (!*this) return true;
    return Traits::Close(release());
  }

 private:
  Type h_ = Traits::None();
};

// A kernel object (file, volume, token). A failed CreateFileW gives INVALID_HANDLE_VALUE, a
// failed OpenProcessToken leaves NULL: neither is a handle to close.
struct KernelHandleTraits {
  using Type = HANDLE;
  static HANDLE None() { return INVALID_HANDLE_VALUE; }
  static bool IsHandle(HANDLE h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static bool Close(HANDLE h) { return CloseHandle(h) != FALSE; }
};
using KernelHandle = UniqueHandle<KernelHandleTraits>;

// A search of FindFirstFileExW, which fails with INVALID_HANDLE_VALUE.
struct FindHandleTraits {
  using Type = HANDLE;
  static HANDLE None() { return INVALID_HANDLE_VALUE; }
  static bool IsHandle(HANDLE h) { return h != INVALID_HANDLE_VALUE; }
  static bool Close(HANDLE h) { return FindClose(h) != FALSE; }
};
using FindHandle = UniqueHandle<FindHandleTraits>;

// A GDI object (font, pen, brush), which a failed creation gives as NULL. It must not be
// selected into a device context when it is deleted: a SelectedObject of it lives shorter.
template <class Object>
struct GdiObjectTraits {
  using Type = Object;
  static Object None() { return nullptr; }
  static bool IsHandle(Object h) { return h != nullptr; }
  static bool Close(Object h) { return DeleteObject(h) != FALSE; }
};
template <class Object>
using GdiObject = UniqueHandle<GdiObjectTraits<Object>>;
using Font = GdiObject<HFONT>;
using Pen = GdiObject<HPEN>;
using Brush = GdiObject<HBRUSH>;

// A window's device context for drawing outside WM_PAINT, given back when the scope ends.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// One WM_PAINT: BeginPaint at the start, EndPaint at the end, whatever the paint does.
class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window), dc_(BeginPaint(window, &ps_)) {}
  ~PaintScope() { EndPaint(window_, &ps_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC dc() const { return dc_; }
  // The part of the client area to be painted.
  const RECT& area() const { return ps_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT ps_{};
  HDC dc_;
};

// The system timer at a finer period (milliseconds) while the scope lasts: Sleep(10) and
// the tick count of the polling pumps are then about as fine as asked.
class TimerPeriod {
 public:
  explicit TimerPeriod(UINT period_ms) : period_ms_(period_ms), set_(timeBeginPeriod(period_ms) == TIMERR_NOERROR) {}
  ~TimerPeriod() {
    if (set_) timeEndPeriod(period_ms_);
  }
  TimerPeriod(const TimerPeriod&) = delete;
  TimerPeriod& operator=(const TimerPeriod&) = delete;

 private:
  UINT period_ms_;
  bool set_;
};

// An object selected into a device context for one scope; the previous one is put back
// at its end.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~SelectedObject() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace bk
