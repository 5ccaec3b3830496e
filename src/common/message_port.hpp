// How the core tells the user something or asks a question: through the one message
// dialog. The core formats the text; the Win32 layer shows it and returns the answer.
#pragma once

#include <string_view>

namespace bk {

enum class DialogMode : int {
  Ok = 0,            // "了解"; always answers kOkAnswer
  YesNo = 4,         // "はい" 1, "いいえ" 2
  LinkRename = 101,  // "連動化" 1, "名前変更" 2
  Transient = 2000,  // no button; answers 1 when the pointer moves
};

inline constexpr int kOkAnswer = 7777777;
inline constexpr int kAnswerClosed = 0;  // the "×" mark, or a dialog already open
inline constexpr int kAnswerFirst = 1;   // "はい", "連動化"
inline constexpr int kAnswerSecond = 2;  // "いいえ", "名前変更"

class MessagePort {
 public:
  virtual ~MessagePort() = default;
  // Shows text (Shift-JIS, LF for line breaks) and returns the answer.
  virtual int ShowMessage(std::string_view text, DialogMode mode) = 0;
};

}  // namespace bk
