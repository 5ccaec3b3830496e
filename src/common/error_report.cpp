#include "common/error_report.hpp"


#include <string>
#include <unordered_set>
#include <vector>

#include "platform/shift_jis.hpp"
#include "common/text_file.hpp"

namespace bk {

namespace {

std::string Digits(int value, std::size_t width) {
  std::string d = std::to_string(value);
  return d.size() < width ? std::string(width - d.size(), '0') + d : d;
}

std::string Concat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view p : parts) out += p;
  return out;
}

}  // namespace

std::string DateHeader(const LocalDate& date) {
  return Concat({"発生日付[", Digits(date.year, 4), "/", Digits(date.month, 2), "/", Digits(date.day, 2), "]\n"});
}

void ErrorReport::Begin(std::string_view before) {
  Close();
  has_errors_ = false;
  written_once_.clear();
  holding_ = false;
  held_.clear();
  if (!CreateTextFile(fs_, kErrorReportPath, &file_)) {
    file_.reset();
    return;
  }
  std::string header(before);
  if (!header.empty() && header.back() != '\n') header += '\n';
  header += DateHeader(clock_.Today());
  if (!file_->Write(header.data(), header.size())) file_.reset();
}

void ErrorReport::BeginHeld() {
  Close();
  has_errors_ = false;
  written_once_.clear();
  holding_ = true;
  held_ = DateHeader(clock_.Today());
}

void ErrorReport::Close() {
  if (file_) (void)file_->Close();
  file_.reset();
}

void ErrorReport::AddLine(std::string line) {
  has_errors_ = true;
  // The report is read by a person: a character code page 932 lacks reads "[U+00E9]".
  line = sjis::ReadableText(line);
  if (holding_) {
    held_ += line;
  } else if (file_) {
    (void)file_->Write(line.data(), line.size());
  }
}

void ErrorReport::AddSystem(std::string_view system_message, std::string_view path) {
  AddLine(Concat({"(SYS)", system_message, path, "\n"}));
}

void ErrorReport::AddCopyFailed(std::string_view system_message, std::string_view source_root,
                                std::string_view destination_path) {
  AddLine(Concat({"(SYS)", system_message, source_root, " > ", destination_path, "\n"}));
}

void ErrorReport::AddFolderEntryTooLong(std::string_view root, std::string_view folder,
                                        std::string_view source_folder_without_drive,
                                        std::string_view name) {
  AddLine(Concat({"(ENT)ファイルパスの文字数超過で登録しません。", root, folder,
                  source_folder_without_drive, name, "\n"}));
}

void ErrorReport::AddFileEntryTooLong(std::string_view root, std::string_view folder,
                                      std::string_view path_without_drive) {
  AddLine(Concat({"(ENT)ファイルパスの文字数超過で登録しません。", root, folder, path_without_drive, "\n"}));
}

void ErrorReport::AddEntryNoSpace(std::string_view root, std::string_view source_path) {
  AddLine(Concat({"(ENT)ドライブ ", root, " の空き領域不足で登録しません。", source_path, "\n"}));
}

void ErrorReport::AddDriveMissing(std::string_view root) {
  AddLine(Concat({"(PGM)バックアップ先ドライブ", " ", root, " ",
                  "が認識できません（USBメモリーが接触不良、外付けHDDの電源が入っていない等々）\n"}));
}

void ErrorReport::AddMostFoldersMissing(std::string_view source_root) {
  AddLine(Concat({"(SYS)ドライブ ", source_root,
                  " の登録フォルダーの大半が見つかりません（別のディスク？）。バックアップは削除せずに残しました。"
                  "削除したのであれば登録を削除してください。"
                  "フォルダー名の変更や移動であれば、次回のバックアップで古いコピーが削除されます。\n"}));
}

void ErrorReport::AddAccessDenied(std::string_view line_after_state) {
  AddLine(Concat({"(PGM)アクセス拒否等。", line_after_state, "\n"}));
}

void ErrorReport::AddPathTooLong(std::string_view destination_path) {
  AddLine(Concat({"(PGM)ファイルパスの文字数が超過した。", destination_path, "\n"}));
}

void ErrorReport::AddUpdateNoSpace(std::string_view root, std::string_view source_path) {
  AddLine(Concat({"(UPD)ドライブ ", root, " の空き領域不足のためファイル更新しません。", source_path, "\n"}));
}

void ErrorReport::AddCopyNoSpace(std::string_view root, std::string_view source_path) {
  AddLine(Concat({"(CPY)ドライブ ", root, " の空き領域不足のためコピーしません。", source_path, "\n"}));
}

void ErrorReport::AddNewFileNoSpace(std::string_view root, std::string_view source_path) {
  AddLine(Concat({"(ADD)ドライブ ", root, " の空き領域不足のためコピーしません。", source_path, "\n"}));
}

void ErrorReport::AddLinkNotFollowed(std::string_view link_path, std::string_view target) {
  AddLine(Concat({"(ENT)フォルダーへのリンクは辿らずに登録しません。", link_path, " > ", target, "\n"}));
}

void ErrorReport::AddNotOnThisComputer(std::string_view source_path) {
  std::string line = Concat({"(CPY)内容がこのコンピューター上にない（クラウド上のみの）ファイルのためコピーしません。",
                             source_path, "\n"});
  if (!written_once_.insert(line).second) return;
  AddLine(std::move(line));
}

void ErrorReport::AddTooLargeForFileSystem(std::string_view root, std::string_view file_system,
                                           std::string_view source_path) {
  std::string line = Concat({"(CPY)ドライブ ", root, " のファイルシステム ", file_system,
                             " は 4GB 以上のファイルを保存できないためコピーしません。", source_path, "\n"});
  if (!written_once_.insert(line).second) return;
  AddLine(std::move(line));
}

std::string RemoveDuplicateReportLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  // Walking from the end, a line stays when no later line had the same text after its code.
  std::unordered_set<std::string_view> later;
  std::vector<bool> keep(lines.size());
  for (std::size_t i = lines.size(); i-- > 0;) {
    const std::string_view rest = lines[i].size() > 5 ? lines[i].substr(5) : std::string_view{};
    keep[i] = later.insert(rest).second;
  }
  std::string out;
  out.reserve(text.size() + 1);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!keep[i]) continue;
    out += lines[i];
    out += '\n';
  }
  return out;
}

Status RemoveReportDuplicates(FileSystem& fs) {
  std::string text;
  if (Status s = ReadWholeFile(fs, kErrorReportPath, &text); !s) return s;
  return ReplaceFileWhole(fs, kErrorReportPath, RemoveDuplicateReportLines(text), false);
}

bool EndReport(FileSystem& fs, ErrorReport& report, ReportKind kind,
               const std::function<void(std::string_view notice)>& show) {
  report.Close();
  if (!report.has_errors()) {
    (void)fs.DeleteFile(kErrorReportPath);
    return false;
  }
  if (show) show(kind == ReportKind::Backup ? kBackupErrorNotice : kRegistrationErrorNotice);
  if (kind == ReportKind::Backup) (void)RemoveReportDuplicates(fs);
  return true;
}

Status KeepEarlierReport(FileSystem& fs, EarlierReport* earlier) {
  *earlier = {};
  FileInfo info;
  const Status found = fs.GetInfo(kErrorReportPath, &info);
  if (IsNotFound(found)) {
    const Status s = fs.DeleteFile(kKeptReportPath);
    return IsNotFound(s) ? Status::Ok() : s;
  }
  earlier->existed = true;  // also when the report's presence could not be told
  if (!found) return found;
  if (Status s = ReadWholeFile(fs, kErrorReportPath, &earlier->text); !s) {
    earlier->text.clear();
    return s;
  }
  const Status s = ReplaceFileWhole(fs, kKeptReportPath, earlier->text, false);
  earlier->kept = s.ok();
  return s;
}

namespace {

void EndWithLineFeed(std::string* text) {
  if (!text->empty() && text->back() != '\n') *text += '\n';
}

// The earlier report as the kept run's report begins with it.
std::string EarlierPart(const EarlierReport& earlier) {
  std::string text = earlier.text;
  EndWithLineFeed(&text);
  return text;
}

}  // namespace

void BeginPowerOffReport(ErrorReport& report, const EarlierReport& earlier) {
  if (earlier.existed && !earlier.kept) {
    report.BeginHeld();
  } else {
    // The earlier report goes ahead of the new lines while the run goes on, so a run cut
    // off by a crash or power loss leaves it in the report, where the next start asks
    // about it and keeps it again (err.txt is overwritten then).
    report.Begin(EarlierPart(earlier));
  }
}

Status FinishPowerOffReport(FileSystem& fs, ErrorReport& report, const EarlierReport& earlier) {
  report.Close();
  if (earlier.existed && !earlier.kept) {
    // The report file is still the earlier report (or what the user made of it meanwhile).
    if (!report.has_errors()) return Status::Ok();
    std::string now;
    if (Status s = ReadWholeFile(fs, kErrorReportPath, &now); !s && !IsNotFound(s)) return s;
    EndWithLineFeed(&now);
    return ReplaceFileWhole(fs, kErrorReportPath, now + RemoveDuplicateReportLines(report.held()), false);
  }
  if (!report.has_errors()) {
    if (earlier.kept) return ReplaceFileWhole(fs, kErrorReportPath, earlier.text, false);
    const Status s = fs.DeleteFile(kErrorReportPath);
    return IsNotFound(s) ? Status::Ok() : s;
  }
  std::string text;
  if (Status s = ReadWholeFile(fs, kErrorReportPath, &text); !s) return s;
  if (!earlier.kept) return ReplaceFileWhole(fs, kErrorReportPath, RemoveDuplicateReportLines(text), false);
  // The new run's lines first, then the earlier report, whose lines are never compared
  // with them.
  const std::string ahead = EarlierPart(earlier);
  std::string_view run = text;
  if (run.starts_with(ahead)) run.remove_prefix(ahead.size());
  std::string result = RemoveDuplicateReportLines(run);
  result += earlier.text;
  EndWithLineFeed(&result);
  return ReplaceFileWhole(fs, kErrorReportPath, result, false);
}

}  // namespace bk
