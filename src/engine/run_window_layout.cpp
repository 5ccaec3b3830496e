#include "engine/run_window_layout.hpp"

namespace bk {

BackupPlacement BackupWindowPlacement(int f, int saved_x, int saved_y, const ScreenFacts& s) {
  BackupPlacement p;
  p.rect.width = 100 * f + 5 * f + 2 * s.frame_width;
  if (p.rect.width > s.work_right - 16) {
    p.rect.width = s.work_right - 16;
    p.line_length = static_cast<int>(static_cast<float>(s.work_right - 16 - 5 * f - 2 * s.frame_width) /
                                     static_cast<float>(f));
  }
  p.rect.height = static_cast<int>(10.0f * static_cast<float>(f) + 2.0f * static_cast<float>(s.frame_height) +
                                   static_cast<float>(s.caption_height));
  if (HasPosition(saved_x, saved_y)) {
    p.rect.left = saved_x;
    p.rect.top = saved_y;
  } else {
    p.rect.left = s.work_right / 2 - p.rect.width / 2;
    p.rect.top = s.work_bottom - s.work_bottom / 10 - p.rect.height;
  }
  return p;
}

}  // namespace bk
