#include "common/screen_facts_win32.hpp"

#include "platform/win32_api.hpp"

namespace bk {

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
