// Stand-ins for the ports a test does not exercise itself: a clock fixed on one day and a
// message dialog that records what it was shown and answers from a script.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/message_port.hpp"
#include "platform/file_system.hpp"

namespace bk::test {

// Every report header carries this date (2026-12-07 unless the test picks another).
class FixedClock final : public Clock {
 public:
  FixedClock() = default;
  explicit FixedClock(LocalDate today) : today_(today) {}
  LocalDate Today() override { return today_; }

 private:
  LocalDate today_{2026, 12, 7};
};

// Records every text and mode it shows. A notice ("了解") is answered kOkAnswer; a
// question takes the next of `answers`, then `otherwise`; a question with neither fails the
// test (the code under test was not expected to ask) and counts as closed.
class RecordingUi : public MessagePort {
 public:
  int ShowMessage(std::string_view text, DialogMode mode) override {
    texts.emplace_back(text);
    modes.push_back(mode);
    if (while_shown) while_shown();  // what the window's messages do while the dialog is up
    if (mode == DialogMode::Ok) return kOkAnswer;
    if (!answers.empty()) {
      const int answer = answers.front();
      answers.pop_front();
      return answer;
    }
    if (otherwise) return *otherwise;
    ADD_FAILURE() << "unexpected question";
    return kAnswerClosed;
  }
  std::string last() const { return texts.empty() ? std::string() : texts.back(); }

  std::vector<std::string> texts;
  std::vector<DialogMode> modes;
  std::deque<int> answers;    // the user's answers to the questions, in order
  std::optional<int> otherwise;  // the answer to any question past the scripted ones
  std::function<void()> while_shown;
};

// A dialog whose every message and question is answered kOkAnswer, as a run that must not
// stop for anything the user says.
class AnswerOkUi final : public RecordingUi {
 public:
  AnswerOkUi() { otherwise = kOkAnswer; }
};

}  // namespace bk::test
