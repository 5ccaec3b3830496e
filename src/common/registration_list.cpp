#include "common/registration_list.hpp"

#include "common/list_sort.hpp"
#include "common/text_file.hpp"

namespace bk {

std::string_view TypeName(char type_digit) {
  if (!IsTypeDigit(type_digit)) return {};
  return kTypeNames[static_cast<std::size_t>(type_digit - '1')];
}

std::string ListFileName(char drive, std::string_view folder, char type_digit) {
  std::string name = "BkList\\";
  name += drive;
  name += folder;
  name += type_digit;
  name += ".ini";
  return name;
}

std::array<std::string, 5> AllListFileNames(char drive, std::string_view folder) {
  const std::string first = ListFileName(drive, folder, TypeDigit(RegType::File));
  std::array<std::string, 5> names;
  for (std::size_t i = 0; i < names.size(); ++i) {
    names[i] = first;
    names[i][names[i].size() - 5] = kTypeDigits[i];
  }
  return names;
}

Status ReadListFile(FileSystem& fs, std::string_view name, ListBuffer* list, bool* found) {
  list->clear();
  *found = false;
  const Status s = ReadWholeFile(fs, name, &list->text);
  if (IsNotFound(s)) return Status::Ok();
  if (!s) {
    list->clear();
    return s;
  }
  *found = true;
  NormaliseListText(&list->text);
  WalkLines(list);
  return Status::Ok();
}

Status LoadList(FileSystem& fs, char drive, std::string_view folder, char type_digit,
                bool preparing_drop, ListBuffer* list, LoadedList* loaded) {
  loaded->type_digit = 0;
  bool found = false;
  Status s = ReadListFile(fs, ListFileName(drive, folder, type_digit), list, &found);
  if (!s) return s;
  if (found) {
    loaded->type_digit = type_digit;
  } else if (!preparing_drop) {
    for (char digit : kTypeDigits) {
      s = ReadListFile(fs, ListFileName(drive, folder, digit), list, &found);
      if (!s) return s;
      if (found) {
        loaded->type_digit = digit;
        break;
      }
    }
  }
  SortForDisplay(list);
  return Status::Ok();
}

Status SumSizes(FileSystem& fs, char drive, std::string_view folder, std::int64_t* total) {
  *total = 0;
  for (const std::string& name : AllListFileNames(drive, folder)) {
    std::string text;
    if (const Status s = ReadWholeFile(fs, name, &text); !s) {
      if (IsNotFound(s)) continue;
      *total = kTotalUnknown;
      return s;
    }
    NormaliseListText(&text);
    ForEachLine(text, [&](std::string_view line, std::size_t) {
      std::uint64_t size = 0;
      if (ReadSizeField(line, &size)) *total += static_cast<std::int64_t>(size);
    });
  }
  return Status::Ok();
}

Status SaveList(FileSystem& fs, std::string_view name, const ListBuffer& list) {
  if (list.empty()) {
    const Status s = fs.DeleteFile(name);
    return IsNotFound(s) ? Status::Ok() : s;
  }
  return ReplaceFileWhole(fs, name, list.text);
}

Status SaveList(FileSystem& fs, char drive, std::string_view folder, char type_digit,
                const ListBuffer& list) {
  return SaveList(fs, ListFileName(drive, folder, type_digit), list);
}

}  // namespace bk
