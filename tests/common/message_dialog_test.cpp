#include "common/message_dialog.hpp"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "platform/shift_jis.hpp"

namespace bk {
namespace {

const std::string kA = "\x82\xA0";  // "あ", a double-byte character

// Joins pieces (also keeps GCC 12's -Wrestrict false positive on "literal" + string away).
std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view p : parts) out += p;
  return out;
}

std::string Repeat(std::string_view s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(MessageWrap, EmptyTextIsOneEmptyLine) {
  const WrappedMessage w = WrapMessageText("");
  EXPECT_EQ(w.text, "");
  EXPECT_EQ(w.lines, 1);
  EXPECT_EQ(w.longest, 0);
}

TEST(MessageWrap, BreaksAfterTheCharacterThatReachesSeventyBytes) {
  const std::string a69(69, 'a'), a70(70, 'a');

  WrappedMessage w = WrapMessageText(a69);
  EXPECT_EQ(w.text, a69);
  EXPECT_EQ(w.lines, 1);
  EXPECT_EQ(w.longest, 69);

  // Exactly 70 bytes: the check after the last character still appends the LF.
  w = WrapMessageText(a70);
  EXPECT_EQ(w.text, a70 + "\n");
  EXPECT_EQ(w.lines, 2);
  EXPECT_EQ(w.longest, 70);

  w = WrapMessageText(a70 + "b");
  EXPECT_EQ(w.text, a70 + "\nb");
  EXPECT_EQ(w.lines, 2);

  // A double-byte character crossing byte 70 stays whole: that line holds 71 bytes.
  w = WrapMessageText(a69 + kA + "b");
  EXPECT_EQ(w.text, a69 + kA + "\nb");
  EXPECT_EQ(w.lines, 2);
  EXPECT_EQ(w.longest, 71);

  // Ending exactly on byte 70 with a double-byte character.
  w = WrapMessageText(std::string(68, 'a') + kA + "b");
  EXPECT_EQ(w.text, std::string(68, 'a') + kA + "\nb");
  EXPECT_EQ(w.longest, 70);

  // "表" ends in 0x5C: its second byte is never taken for anything but part of it.
  const std::string hyo = "\x95\x5C";
  w = WrapMessageText(Repeat(hyo, 36));
  EXPECT_EQ(w.text, Repeat(hyo, 35) + "\n" + hyo);
  EXPECT_EQ(w.lines, 2);
  EXPECT_EQ(w.longest, 70);
}

TEST(MessageWrap, AnExplicitLineFeedCountsOnTheLineItBegins) {
  // The LF is the first byte of the next line, so that line breaks after 69 more bytes.
  WrappedMessage w = WrapMessageText(Cat({"abc\n", std::string(100, 'x')}));
  EXPECT_EQ(w.text, Cat({"abc\n", std::string(69, 'x'), "\n", std::string(31, 'x')}));
  EXPECT_EQ(w.lines, 3);
  EXPECT_EQ(w.longest, 70);

  // Empty lines and a final LF each count as a line.
  w = WrapMessageText("a\n\nb\n");
  EXPECT_EQ(w.text, "a\n\nb\n");
  EXPECT_EQ(w.lines, 4);
  EXPECT_EQ(w.longest, 2);

  // An LF right after an automatic break is not doubled up: the next line starts with it.
  w = WrapMessageText(std::string(70, 'a') + "\nb");
  EXPECT_EQ(w.text, std::string(70, 'a') + "\nb");
  EXPECT_EQ(w.lines, 2);

  // A leading LF makes a line too, so the window is as tall as the lines drawn.
  w = WrapMessageText("\nabc");
  EXPECT_EQ(w.text, "\nabc");
  EXPECT_EQ(w.lines, 2);
  EXPECT_EQ(w.longest, 4);
}

TEST(MessageWrap, TheTextEndsAtItsZeroOrAtADanglingLeadByte) {
  WrappedMessage w = WrapMessageText("ab\x82");
  EXPECT_EQ(w.text, "ab");
  EXPECT_EQ(w.longest, 2);
  EXPECT_EQ(WrapMessageText("\x82").text, "");
  EXPECT_EQ(WrapMessageText("\xE0").text, "");

  w = WrapMessageText(std::string_view("ab\0cd", 5));
  EXPECT_EQ(w.text, "ab");
  EXPECT_EQ(w.lines, 1);
  // The lead byte before the zero has nothing after it either.
  EXPECT_EQ(WrapMessageText(std::string_view("ab\x82\0cd", 6)).text, "ab");
}

TEST(MessageWrap, NeverPassesTheBufferAndCutsAtACharacterBoundary) {
  // 28 full lines of 70 + LF, then 59 more bytes: exactly 2047.
  WrappedMessage w = WrapMessageText(std::string(5000, 'a'));
  ASSERT_EQ(w.text.size(), kMaxMessageBytes);
  EXPECT_EQ(w.lines, 29);
  EXPECT_EQ(w.longest, 70);
  EXPECT_EQ(w.text.substr(w.text.size() - 60), Cat({"\n", std::string(59, 'a')}));

  // Double-byte characters: 2046 bytes, the next character would not fit whole.
  w = WrapMessageText(Repeat(kA, 2000));
  EXPECT_EQ(w.text.size(), kMaxMessageBytes - 1);
  EXPECT_FALSE(sjis::EndsWithLeadByte(w.text));

  // Whatever the mix, the text fits, ends on a whole character, and the line count is the
  // number of lines actually drawn.
  for (int prefix = 0; prefix < 75; ++prefix) {
    for (const std::string& fill : {std::string("a"), kA, std::string("ab\n"), Cat({"a", kA})}) {
      const std::string input = std::string(prefix, 'p') + "\n" + Repeat(fill, 1500);
      w = WrapMessageText(input);
      ASSERT_LE(w.text.size(), kMaxMessageBytes) << prefix;
      EXPECT_FALSE(sjis::EndsWithLeadByte(w.text)) << prefix;
      const auto lines = SplitMessageLines(w.text);
      EXPECT_EQ(static_cast<int>(lines.size()), w.lines) << prefix;
      for (std::string_view line : lines) EXPECT_LE(line.size(), 71u) << prefix;
    }
  }
}

TEST(MessageWrap, LinesAreSplitAtLineFeedCharactersOnly) {
  EXPECT_EQ(SplitMessageLines(""), (std::vector<std::string_view>{""}));
  EXPECT_EQ(SplitMessageLines("a\n\nb\n"), (std::vector<std::string_view>{"a", "", "b", ""}));
  // A lead byte followed by LF was copied as one character: no line break there.
  const WrappedMessage w = WrapMessageText("a\x82\nb");
  EXPECT_EQ(w.text, "a\x82\nb");
  EXPECT_EQ(w.lines, 1);
  EXPECT_EQ(SplitMessageLines(w.text).size(), 1u);
}

TEST(MessageDialogGeometry, EmptyTextTakesTheNarrowestWidthOrTheButtonsMinimum) {
  const WrappedMessage empty = WrapMessageText("");
  // f = 7: trunc(7 * 4.3) = 30 characters: 7 * 30 + 21 = 231 > 29f = 203.
  EXPECT_EQ(DialogGeometry(empty, DialogMode::YesNo, 7, 1280, 1024), (DialogRect{525, 479, 231, 67}));
  // f = 4: trunc(17.2) = 17: 4 * 17 + 12 = 80, already wider than 12f for one button.
  EXPECT_EQ(DialogGeometry(empty, DialogMode::Ok, 4, 1280, 1024).width, 80);
  EXPECT_EQ(DialogGeometry(empty, DialogMode::Transient, 4, 1280, 1024).width, 80);
  // ... but below 29f = 116 for two buttons.
  EXPECT_EQ(DialogGeometry(empty, DialogMode::YesNo, 4, 1280, 1024).width, 116);
  EXPECT_EQ(DialogGeometry(empty, DialogMode::LinkRename, 4, 1280, 1024).width, 116);
  // f = 12: trunc(51.6) = 51: 612 + 36; height trunc(32.4) + 84.
  EXPECT_EQ(DialogGeometry(empty, DialogMode::Ok, 12, 1280, 984), (DialogRect{316, 434, 648, 116}));
}

TEST(MessageDialogGeometry, SizeFollowsTheLongestLineAndTheLineCount) {
  const WrappedMessage w = WrapMessageText(std::string(69, 'a') + kA + "b");  // 71 bytes, 2 lines
  // f = 7: 7 * 71 + 21; trunc(7 * 2.7 * 2) = 37, + 49. Odd halves are truncated.
  EXPECT_EQ(DialogGeometry(w, DialogMode::Ok, 7, 1280, 1024), (DialogRect{640 - 259, 512 - 43, 518, 86}));
  // The work area's right and bottom are halved on their own (its left and top take no part).
  EXPECT_EQ(DialogGeometry(w, DialogMode::Ok, 7, 1281, 1023), (DialogRect{640 - 259, 511 - 43, 518, 86}));
  // A wide dialog on a small work area goes off its left edge rather than shrinking.
  EXPECT_EQ(DialogGeometry(w, DialogMode::Ok, 12, 800, 600).left, 400 - 444);

  const WrappedMessage tall = WrapMessageText("1\n2\n3\n4\n5\n6\n7\n8\n9\n10");
  // f = 12: trunc(12 * 2.7 * 10) = 324, + 84.
  EXPECT_EQ(DialogGeometry(tall, DialogMode::YesNo, 12, 1280, 1024).height, 408);
  // Short lines: the narrowest width, trunc(12 * 4.3) = 51 characters, not 29f.
  EXPECT_EQ(DialogGeometry(tall, DialogMode::YesNo, 12, 1280, 1024).width, 12 * 51 + 36);
}

TEST(MessageDialogGeometry, ButtonsAndPointerAtSeveralCharacterSizes) {
  // Yes/No at f = 7 in a 511 x 86 window: half 255, top trunc(86 - 32.2) = 53.
  EXPECT_EQ(DialogButtons(DialogMode::YesNo, 7, 511, 86),
            (std::vector<DialogButton>{{"はい", 1, {180, 53, 60, 21}}, {"いいえ", 2, {262, 53, 60, 21}}}));
  EXPECT_EQ(PointerTarget(DialogMode::YesNo, 7, 511, 86), (DialogPoint{248, 51}));

  // Ok at f = 12 in 648 x 116: left trunc(324 - 51.6), width trunc(103.2); the pointer
  // lands inside the button, trunc(4.3f) and trunc(1.5f) from its corner.
  EXPECT_EQ(DialogButtons(DialogMode::Ok, 12, 648, 116),
            (std::vector<DialogButton>{{"了解", kOkAnswer, {272, 60, 103, 36}}}));
  EXPECT_EQ(PointerTarget(DialogMode::Ok, 12, 648, 116), (DialogPoint{323, 78}));

  // Link/Rename at f = 4 in 116 x 38: whole multiples of f, top trunc(38 - 18.4).
  EXPECT_EQ(DialogButtons(DialogMode::LinkRename, 4, 116, 38),
            (std::vector<DialogButton>{{"連動化", 1, {18, 19, 32, 12}}, {"名前変更", 2, {62, 19, 40, 12}}}));
  EXPECT_EQ(PointerTarget(DialogMode::LinkRename, 4, 116, 38), (DialogPoint{54, 14}));

  EXPECT_TRUE(DialogButtons(DialogMode::Transient, 7, 231, 67).empty());
  EXPECT_EQ(PointerTarget(DialogMode::Transient, 7, 231, 67), std::nullopt);
}

TEST(MessageDialogGeometry, PointerPlacementLandsOnAButtonOrBetweenThem) {
  for (int f : {4, 7, 12, 20}) {
    const DialogRect r = DialogGeometry(WrapMessageText("abc"), DialogMode::Ok, f, 1280, 1024);
    const DialogRect ok = DialogButtons(DialogMode::Ok, f, r.width, r.height).front().rect;
    const DialogPoint p = *PointerTarget(DialogMode::Ok, f, r.width, r.height);
    EXPECT_TRUE(p.x >= ok.left && p.x < ok.left + ok.width && p.y >= ok.top && p.y < ok.top + ok.height) << f;
    // Every button lies inside the window.
    for (DialogMode mode : {DialogMode::Ok, DialogMode::YesNo, DialogMode::LinkRename}) {
      const DialogRect g = DialogGeometry(WrapMessageText("abc"), mode, f, 1280, 1024);
      for (const DialogButton& b : DialogButtons(mode, f, g.width, g.height)) {
        EXPECT_GE(b.rect.left, 0) << f;
        EXPECT_LE(b.rect.left + b.rect.width, g.width) << f;
        EXPECT_LE(b.rect.top + b.rect.height, g.height) << f;
      }
    }
  }
}

TEST(MessageDialogGeometry, CloseZoneExcludesItsBounds) {
  // f = 7, width 231: 210 < x < 231 and 0 < y < 21.
  EXPECT_FALSE(InCloseZone(210, 10, 7, 231));
  EXPECT_TRUE(InCloseZone(211, 10, 7, 231));
  EXPECT_TRUE(InCloseZone(230, 1, 7, 231));
  EXPECT_TRUE(InCloseZone(230, 20, 7, 231));
  EXPECT_FALSE(InCloseZone(231, 10, 7, 231));
  EXPECT_FALSE(InCloseZone(220, 0, 7, 231));
  EXPECT_FALSE(InCloseZone(220, 21, 7, 231));
}

TEST(MessageDialogAnswer, OkAnswersTheSameHoweverItEnded) {
  for (int ended_with : {kOkAnswer, kAnswerClosed}) EXPECT_EQ(DialogResult(DialogMode::Ok, ended_with), kOkAnswer);
  EXPECT_EQ(DialogResult(DialogMode::YesNo, kAnswerClosed), kAnswerClosed);  // closed, or never shown
  EXPECT_EQ(DialogResult(DialogMode::YesNo, kAnswerSecond), kAnswerSecond);
  EXPECT_EQ(DialogResult(DialogMode::LinkRename, kAnswerFirst), kAnswerFirst);
  EXPECT_EQ(DialogResult(DialogMode::Transient, kAnswerClosed), kAnswerClosed);
}

TEST(MessageDialogGeometry, LineTopsTruncateAtEveryStep) {
  EXPECT_EQ(MessageLineY(0, 7), 10);
  EXPECT_EQ(MessageLineY(1, 7), 28);
  EXPECT_EQ(MessageLineY(2, 7), 46);
  // f = 12: 18, trunc(18 + 31.2) = 49, trunc(49 + 31.2) = 80 (not 18 + 62.4).
  EXPECT_EQ(MessageLineY(1, 12), 49);
  EXPECT_EQ(MessageLineY(2, 12), 80);
  EXPECT_EQ(MessageLineY(2, 4), 26);
}

}  // namespace
}  // namespace bk
