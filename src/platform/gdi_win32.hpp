// RAII owners for GDI objects and the small text helpers every window uses.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "platform/wide.hpp"
#include "platform/win32_api.hpp"

namespace bk {

template <typename Handle>
class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(Handle h) : h_(h) {}
  ~GdiObject() { reset(); }
  GdiObject(GdiObject&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
  GdiObject& operator=(GdiObject&& o) noexcept {
    if (this != &o) {
      reset();
      h_ = std::exchange(o.h_, nullptr);
    }
    return *this;
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  Handle get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  void reset(Handle h = nullptr) {
    if (h_) DeleteObject(h_);
    h_ = h;
  }

 private:
  Handle h_ = nullptr;
};

using Font = GdiObject<HFONT>;
using Pen = GdiObject<HPEN>;
using Brush = GdiObject<HBRUSH>;

// The programs' font: f wide, 2f high, fixed pitch, Shift-JIS.
inline Font MakeProgramFont(int f) {
  std::wstring face;
  ToWide("MS ゴシック", &face);
  return Font(CreateFontW(2 * f, f, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, face.c_str()));
}

// Draws Shift-JIS text at (x, y) with the DC's current font and colours.
inline void DrawSjisText(HDC dc, int x, int y, std::string_view text) {
  std::wstring w;
  ToWide(text, &w);
  TextOutW(dc, x, y, w.c_str(), static_cast<int>(w.size()));
}

// Keeps a DC's selected object and restores the previous one.
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
  ~SelectGuard() { SelectObject(dc_, old_); }
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

inline constexpr COLORREF kBackground = RGB(200, 200, 255);
inline constexpr COLORREF kMarkRed = RGB(255, 0, 0);

}  // namespace bk
