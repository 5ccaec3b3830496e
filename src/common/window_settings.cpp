#include "common/window_settings.hpp"

#include <algorithm>

#include "common/text_file.hpp"

namespace bk {

namespace {

// The usual decimal conversion: optional blanks, an optional sign, digits up to the
// first non-digit; nothing convertible gives 0.
int Decimal(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  long long v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) v = v * 10 + (s[i] - '0');
  return static_cast<int>(negative ? -v : v);
}

std::array<int*, 11> Fields(WindowSettings& w) {
  return {&w.char_size, &w.dialog_x, &w.dialog_y, &w.registration_x, &w.registration_y,
          &w.backup_x, &w.backup_y, &w.settings_x, &w.settings_y, &w.reference_height,
          &w.extra_height};
}

std::string Padded(int value, std::size_t width) {
  // printf's "%0Nd": the minus sign counts inside the width.
  std::string digits = std::to_string(value < 0 ? -static_cast<long long>(value) : value);
  const std::size_t used = digits.size() + (value < 0 ? 1 : 0);
  std::string out = value < 0 ? "-" : "";
  if (used < width) out.append(width - used, '0');
  return out + digits;
}

}  // namespace

WindowSettings ParseWindowSettings(std::string_view text) {
  WindowSettings w;
  LineReader reader(text);
  const auto fields = Fields(w);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    std::string_view line;
    if (!reader.ReadLine(&line)) break;
    *fields[i] = Decimal(line.substr(0, i == 0 ? 2 : 5));
  }
  if (w.char_size <= 0) w.char_size = kDefaultCharSize;
  return w;
}

std::string FormatWindowSettings(const WindowSettings& settings) {
  WindowSettings w = settings;
  const auto fields = Fields(w);
  std::string out;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out += '\n';
    out += Padded(*fields[i], i == 0 ? 2 : 5);
  }
  return out;
}

WindowSettings LoadWindowSettings(FileSystem& fs) {
  std::string text;
  if (!ReadWholeFile(fs, kSizePosPath, &text)) return WindowSettings{};
  return ParseWindowSettings(text);
}

int LoadCharSize(FileSystem& fs) { return LoadWindowSettings(fs).char_size; }

Status SaveWindowSettings(FileSystem& fs, const WindowSettings& settings) {
  const std::string text = FormatWindowSettings(settings);
  // Both programs save at every end, mostly with nothing moved: a file that already holds
  // exactly these bytes is left as it is, which spares a flushed replacement each time.
  std::string stored;
  if (ReadWholeFile(fs, kSizePosPath, &stored) && stored == text) return Status::Ok();
  return ReplaceFileWhole(fs, kSizePosPath, text, /*from_template=*/false);
}

Status ResetWindowSettings(FileSystem& fs) { return ReplaceFileWhole(fs, kSizePosPath, kDefaultSizePos); }

int RememberedX(int client_x, int frame_width) { return std::max(0, client_x - 2 * frame_width); }

int RememberedY(int client_y, int frame_height, int caption_height) {
  return std::max(0, client_y - 2 * frame_height - caption_height);
}

bool AtMinimisedPlace(int client_x, int client_y) {
  return client_x <= kMinimisedPlaceLimit && client_y <= kMinimisedPlaceLimit;
}

bool RecordMove(WindowSettings* settings, RememberedWindow which, int client_x, int client_y, bool minimised,
                const FrameMetrics& frame) {
  if (minimised || AtMinimisedPlace(client_x, client_y)) return false;
  const int x = RememberedX(client_x, frame.frame_width);
  const int y = RememberedY(client_y, frame.frame_height, frame.caption_height);
  switch (which) {
    case RememberedWindow::Registration:
      settings->registration_x = x;
      settings->registration_y = y;
      break;
    case RememberedWindow::Backup:
      settings->backup_x = x;
      settings->backup_y = y;
      break;
    case RememberedWindow::Settings:
      settings->settings_x = x;
      settings->settings_y = y;
      break;
  }
  return true;
}

bool RecordRegistrationResize(WindowSettings* settings, int* width_adjust, int w, int h, bool minimised,
                              int frame_width, int f) {
  if (minimised || (w == 0 && h == 0)) return false;
  if (settings->reference_height == 0) settings->reference_height = h;
  settings->extra_height = h - settings->reference_height;
  *width_adjust = w + 4 * frame_width - 84 * f;
  return true;
}

}  // namespace bk
