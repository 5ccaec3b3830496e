#include "common/message_dialog.hpp"

#include <algorithm>

#include "platform/shift_jis.hpp"

namespace bk {

namespace {

// Every fractional measure is computed in single precision and truncated, so the layout is
// the same on every compiler and at every character size.
int Trunc(float v) { return static_cast<int>(v); }
float F(int v) { return static_cast<float>(v); }

int MinimumWidth(DialogMode mode, int f) {
  switch (mode) {
    case DialogMode::Ok: return 12 * f;
    case DialogMode::YesNo: return 29 * f;
    case DialogMode::LinkRename: return 29 * f;
    case DialogMode::Transient: return 0;
  }
  return 0;
}

}  // namespace

WrappedMessage WrapMessageText(std::string_view raw) {
  if (const auto zero = raw.find('\0'); zero != std::string_view::npos) raw = raw.substr(0, zero);
  // A name in a message reads as in the report: "[U+00E9]" for what code page 932 lacks.
  const std::string readable = sjis::ReadableText(raw);
  std::string_view text = readable;

  WrappedMessage out;
  std::string& o = out.text;
  o.reserve(std::min(text.size() + text.size() / kMessageLineBytes + 1, kMaxMessageBytes));
  int breaks = 0;
  int line = 0;
  int longest = 0;
  auto end_line = [&] {
    longest = std::max(longest, line);
    ++breaks;
    line = 0;
  };

  // An LF at the very start begins a second line like any other LF; otherwise the window
  // would be one line short and its last line would run under the buttons.
  if (!text.empty() && text.front() == '\n') end_line();

  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t n = 1;
    if (sjis::IsLeadByte(static_cast<unsigned char>(text[i]))) {
      if (i + 1 >= text.size()) break;  // a lead byte without its second byte is dropped
      n = 2;
    }
    if (o.size() + n > kMaxMessageBytes) break;
    o.append(text.substr(i, n));
    line += static_cast<int>(n);
    i += n;

    if (i < text.size() && text[i] == '\n') {
      // The LF is copied next, as the first byte of the new line.
      if (o.size() + 1 > kMaxMessageBytes) break;
      end_line();
    } else if (line >= kMessageLineBytes) {
      if (o.size() + 1 > kMaxMessageBytes) break;
      o += '\n';
      end_line();
    }
  }

  out.lines = breaks + 1;
  out.longest = std::max(longest, line);
  return out;
}

DialogRect DialogGeometry(const WrappedMessage& wrapped, DialogMode mode, int f, int work_right,
                          int work_bottom) {
  int longest = wrapped.longest;
  const float narrowest = F(f) * 4.3f;
  if (narrowest > F(longest)) longest = Trunc(narrowest);

  DialogRect r;
  r.width = std::max(f * longest + 3 * f, MinimumWidth(mode, f));
  r.height = Trunc(F(f) * 2.7f * F(wrapped.lines)) + 7 * f;
  r.left = work_right / 2 - r.width / 2;
  r.top = work_bottom / 2 - r.height / 2;
  return r;
}

std::vector<DialogButton> DialogButtons(DialogMode mode, int f, int width, int height) {
  const int half = width / 2;
  const int top = Trunc(F(height) - F(f) * 4.6f);
  const int h = 3 * f;
  switch (mode) {
    case DialogMode::Ok:
      return {{"了解", kOkAnswer, {Trunc(F(half) - F(f) * 4.3f), top, Trunc(F(f) * 8.6f), h}}};
    case DialogMode::YesNo:
      return {{"はい", kAnswerFirst, {Trunc(F(half) - F(f) * 10.6f), top, Trunc(F(f) * 8.6f), h}},
              {"いいえ", kAnswerSecond, {half + f, top, Trunc(F(f) * 8.6f), h}}};
    case DialogMode::LinkRename:
      return {{"連動化", kAnswerFirst, {half - 10 * f, top, 8 * f, h}},
              {"名前変更", kAnswerSecond, {half + f, top, 10 * f, h}}};
    case DialogMode::Transient:
      break;
  }
  return {};
}

std::optional<DialogPoint> PointerTarget(DialogMode mode, int f, int width, int height) {
  const int half = width / 2;
  switch (mode) {
    case DialogMode::Ok: {
      const DialogRect ok = DialogButtons(mode, f, width, height).front().rect;
      return DialogPoint{ok.left + Trunc(F(f) * 4.3f), ok.top + Trunc(F(f) * 1.5f)};
    }
    case DialogMode::YesNo: return DialogPoint{half - f, height - 5 * f};
    case DialogMode::LinkRename: return DialogPoint{half - f, height - 6 * f};
    case DialogMode::Transient: break;
  }
  return std::nullopt;
}

int DialogResult(DialogMode mode, int ended_with) { return mode == DialogMode::Ok ? kOkAnswer : ended_with; }

bool InCloseZone(int x, int y, int f, int width) {
  return x > width - 3 * f && x < width && y > 0 && y < 3 * f;
}

int MessageLineY(int line_index, int f) {
  int y = Trunc(F(f) * 1.5f);
  for (int k = 0; k < line_index; ++k) y = Trunc(F(y) + F(f) * 2.6f);
  return y;
}

std::vector<std::string_view> SplitMessageLines(std::string_view wrapped) {
  // Walks characters as the wrapping did, so an LF taken as the second byte of a
  // double-byte character never splits a line the wrapping did not count.
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < wrapped.size()) {
    if (wrapped[i] == '\n') {
      lines.push_back(wrapped.substr(start, i - start));
      start = ++i;
    } else {
      i += sjis::IsLeadByte(static_cast<unsigned char>(wrapped[i])) ? 2 : 1;
    }
  }
  lines.push_back(wrapped.substr(std::min(start, wrapped.size())));
  return lines;
}

}  // namespace bk
