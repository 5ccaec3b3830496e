// A drive letter as the system names drives: 'A' to 'Z' whatever case it was written in,
// or absent. Every lookup by drive (labels, losses, mapped folders) goes through it, so
// "d" and "D" are one drive and a byte that is no letter is no drive at all.
#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <string>
#include <string_view>

namespace bk {

class DriveLetter {
 public:
  constexpr DriveLetter() = default;  // absent
  constexpr explicit DriveLetter(char letter) : upper_(UpperOf(letter)) {}

  // The letter of "X:..." (absent when the text does not begin with a letter and a colon).
  static constexpr DriveLetter OfPath(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' ? DriveLetter(path[0]) : DriveLetter();
  }

  constexpr bool valid() const { return upper_ != 0; }
  constexpr explicit operator bool() const { return valid(); }
  // 'A'..'Z', or 0 when absent.
  constexpr char upper() const { return upper_; }
  // 0 for 'A' up to 25 for 'Z'; only for a valid letter.
  constexpr std::size_t index() const { return static_cast<std::size_t>(upper_ - 'A'); }
  // "X:\", or "" when absent.
  std::string Root() const;

  friend constexpr auto operator<=>(DriveLetter, DriveLetter) = default;

 private:
  static constexpr char UpperOf(char c) {
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    return c >= 'A' && c <= 'Z' ? c : 0;
  }
  char upper_ = 0;
};

// "X:\" with the letter as written: a destination or source text keeps the case its file
// holds ("d:\BK" stays "d:\..."), so paths and report lines read as before.
inline std::string DriveRoot(char letter) { return std::string{letter, ':', '\\'}; }

inline std::string DriveLetter::Root() const { return valid() ? DriveRoot(upper_) : std::string(); }

// The volume label of each drive, indexed by letter ('A' is 0); empty when unknown.
using VolumeLabels = std::array<std::string, 26>;

// The label of a drive; "" for an absent letter (nothing is clamped to A or Z).
inline const std::string& LabelOf(const VolumeLabels& labels, DriveLetter drive) {
  static const std::string kNone;
  return drive ? labels[drive.index()] : kNone;
}

}  // namespace bk
