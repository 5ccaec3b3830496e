// The drawing every window shares: the programs' font, Shift-JIS text, the colours. The
// owners of GDI objects and device contexts are in platform/win32_handles.
#pragma once

#include <string>
#include <string_view>

#include "platform/wide.hpp"
#include "platform/win32_api.hpp"
#include "platform/win32_handles.hpp"

namespace bk {

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

inline constexpr COLORREF kBackground = RGB(200, 200, 255);
inline constexpr COLORREF kMarkRed = RGB(255, 0, 0);

}  // namespace bk
