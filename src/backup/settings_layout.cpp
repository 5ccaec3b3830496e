#include "backup/settings_layout.hpp"

#include <string>

#include "common/window_settings.hpp"

namespace bk {

int Scaled(int f, float factor) { return static_cast<int>(static_cast<float>(f) * factor); }

std::vector<ControlSpec> SettingsControls(int f, int work_area_bottom) {
  const int list = work_area_bottom / 2;  // open lists are half the work area tall
  const int low = 64;                     // the lower block's fixed offset
  using K = ControlKind;
  return {
      {ctl::kDriveBox, K::Combo, "-", {3 * f, 7 * f, 25 * f, list}},
      {ctl::kFolderNameBox, K::Edit, "鏡", {30 * f, 7 * f, 29 * f, 3 * f}},
      {ctl::kDestinationBox, K::SortedCombo, "", {14 * f, Scaled(f, 11.5f), 17 * f, list}},
      {ctl::kBackupAllButton, K::Button, "登録全てのバックアップ", {33 * f, 12 * f, 26 * f, Scaled(f, 2.8f)}},
      {ctl::kChoiceBox, K::SortedCombo, "", {Scaled(f, 24.5f), Scaled(f, 17.5f), Scaled(f, 34.8f), list}},
      {ctl::kBackupButton, K::Button, "バックアップの実行", {3 * f, 22 * f, 22 * f, Scaled(f, 2.8f)}},
      {ctl::kRegisterButton, K::Button, "ファイル、フォルダーの登録", {29 * f, 22 * f, 30 * f, Scaled(f, 2.8f)}},
      {ctl::kPowerOffAddBox, K::SortedCombo, "", {8 * f, Scaled(f, 30.5f), 17 * f, list}},
      {ctl::kPowerOffListBox, K::SortedCombo, "", {Scaled(f, 42.4f), Scaled(f, 30.5f), 17 * f, list}},
      {ctl::kLinkSourceBox, K::SortedCombo, "", {6 * f, Scaled(f, 39.5f), 8 * f, list}},
      {ctl::kLinkTargetBox, K::SortedCombo, "", {20 * f, Scaled(f, 39.5f), 8 * f, list}},
      {ctl::kLinkListBox, K::SortedCombo, "", {Scaled(f, 42.4f), 39 * f, 17 * f, list}},
      {ctl::kMailBox, K::Combo, "", {Scaled(f, 26.5f), Scaled(f, 36.5f) + low, 10 * f, list}},
      {ctl::kCharSizeBox, K::Combo, "", {Scaled(f, 53.4f), Scaled(f, 36.5f) + low, 6 * f, list}},
  };
}

std::vector<PaintText> SettingsTexts(int f) {
  const int low = 64;
  return {
      {3 * f, f, "バックアップ先の登録", false},
      {3 * f, Scaled(f, 3.3f), "先にフォルダー名を入力してからドライブを選択します", false},
      {53 * f, Scaled(f, 3.3f), "？", true},
      {3 * f, 12 * f, "登録リスト", false},
      {3 * f, 18 * f, "バックアップ先の選択", false},
      {3 * f, 28 * f, "バックアップ後、自動でPCの電源を切る時のバックアップ先", false},
      {57 * f, 28 * f, "？", true},
      {3 * f, 31 * f, "登録", false},
      {Scaled(f, 31.5f), 31 * f, "登録リスト", false},
      {3 * f, Scaled(f, 36.5f), "複数の連動バックアップ先の登録又はフォルダー名の変更", false},
      {55 * f, Scaled(f, 36.5f), "？", true},
      {3 * f, 40 * f, "元", false},
      {17 * f, 40 * f, "先", false},
      {Scaled(f, 31.5f), 40 * f, "登録リスト", false},
      {3 * f, 37 * f + low, "Eメールの更新を反映する", false},
      {Scaled(f, 42.5f), 37 * f + low, "文字サイズ", false},
      {37 * f, 37 * f + low, "？", true},
      {3 * f, 43 * f + low, "注)削除するには登録リストで削除の項目をクリックします", false},
  };
}

std::vector<int> SettingsSeparators(int f) {
  return {Scaled(f, 16.2f), 26 * f, 35 * f, 35 * f + 64, 41 * f + 64};
}

Zone DriveBoxArea(int f) { return {3 * f, 28 * f, 7 * f, 10 * f}; }

std::vector<HelpZone> SettingsHelpZones(int f) {
  return {
      {SettingsHelp::FolderName, {Scaled(f, 52.5f), 55 * f, 3 * f, 5 * f}},
      {SettingsHelp::PowerOff, {57 * f, 59 * f, 28 * f, Scaled(f, 29.5f)}},
      {SettingsHelp::Links, {55 * f, 57 * f, Scaled(f, 36.5f), 38 * f}},
      {SettingsHelp::Mail, {36 * f, 39 * f, 37 * f + 64, 39 * f + 64}},
  };
}

std::string_view SettingsHelpText(SettingsHelp help) {
  // Each text is its pieces joined with nothing between them.
  static const std::string folder_name = std::string(
      "フォルダー名は必ず入力してください、バックアップ先に同じ名前があると\nエラーとなるためです、\n") +
      "名前は長いとパス文字数超過でバックアップ出来ないファイルも出てきます\n１，２文字で短めに、写、移、鏡、BK・・・等々";
  static const std::string power_off = std::string("複数の連動バックアップ先の登録がある場合、\n") +
      "連動元のみの登録では連動先にバックアップできません\n連動先も同時に登録してください。";
  static const std::string links = std::string("一箇所のバックアップでは不安な場合、\n") +
      "複数のバックアップ先に同じファイル登録内容をバックアップする時、または\n" +
      "すでにファイル登録済みのドライブやフォルダー名を変更する時に設定します\n\n" +
      "フォルダー名等変更の場合は、\n変更前の名前を連動元から選択して変更後の名前を連動先から選択します\n" +
      "[名前変更]を押してから連動元のバックアップ先登録を削除してください。\n\n" +
      "連動先は予め「バックアップ先の登録」が必要です。";
  static const std::string mail = std::string("Windows Live Maileは特別扱い！！\n\n") +
      "Windowsはメールのファイルの情報を収集するたため、これをユーザーがアクセスすると、" +
      "すかさずこのファイルを開きます、そのため更新日付が頻繁に行われバックアップの" +
      "ミラーリング処理に悪影響を及ぼします。\n\n" +
      "これを放置すると２回目、３回目のバックアップも初回の処理時間と変わらなくなります" +
      "これはメールを大量にバックアップする者にとっては重大問題です\n" +
      "そこでこの選択肢を設けた次第です、ご理解ください。\n\n" +
      "ユーザーにとっては一度受信したメールの更新など必要ないのです！！\n" +
      "是非ここは[いいえ]を選択してください、初回はバックアップ出来ていますから安心してください。\n" +
      "なお、勝手に更新されるのは他にも多々あるようです・・・このアプリの悪ふざけではありません。";
  switch (help) {
    case SettingsHelp::FolderName: return folder_name;
    case SettingsHelp::PowerOff: return power_off;
    case SettingsHelp::Links: return links;
    case SettingsHelp::Mail: return mail;
  }
  return {};
}

std::vector<std::string_view> CharSizeItems() { return {"4", "5", "6", "7", "8", "9", "10", "11", "12"}; }
std::vector<std::string_view> MailItems() { return {"はい", "いいえ"}; }

Rect SettingsWindowPlacement(int f, int saved_x, int saved_y, const ScreenFacts& s) {
  Rect r;
  if (HasPosition(saved_x, saved_y)) {
    r.left = saved_x;
    r.top = saved_y;
  } else {
    r.left = s.work_right / 2 - (63 * f) / 2;
    r.top = static_cast<int>(static_cast<float>(s.work_bottom / 2) - static_cast<float>(f) * 59.5f * 0.5f);
  }
  r.width = 63 * f + 2 * s.frame_width;
  r.height = s.caption_height + 2 * (s.frame_height + 24 * f + 32);
  return r;
}

}  // namespace bk
