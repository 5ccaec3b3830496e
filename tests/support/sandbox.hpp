// A fresh world for one test: a program folder (the working folder, holding BkList with
// the template) and empty drives, on whichever adapter this test binary runs over.
//
//   P:\  the program folder (relative paths such as "BkList\ToDrive.txt" land here)
//   S:\  a source drive, label "SOURCE"
//   T:\  a backup drive, label "BACKUP"
//   U:\  a second backup drive, label "BACKUP2"
//
// Natively the POSIX adapter maps these letters to temporary folders; under Wine the
// runner maps them through dosdevices and the Win32 adapter is used.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system.hpp"
#include "support/status_print.hpp"

namespace bk::test {

class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  FileSystem& fs();
  Clock& clock();

  // Name of the adapter under test: "posix" or "win32".
  static const char* AdapterName();

  // Writes a file directly (bytes as given), creating missing folders.
  void Write(std::string_view path, std::string_view bytes);
  // Reads a whole file; fails the test when it cannot.
  std::string Read(std::string_view path);
  bool Exists(std::string_view path);
  // Makes a file of the given size without writing its bytes (sparse where possible).
  void MakeLargeFile(std::string_view path, std::uint64_t size);
  // Makes a drive play a file system ("FAT32", "exFAT", ...): its volume information
  // names it and the adapter keeps times and sizes as it does. Only the POSIX adapter
  // can; elsewhere nothing changes and the answer is false.
  bool PlayFileSystem(char letter, std::string_view file_system);
  // Makes a symbolic link at link to target (both system paths), a folder link when
  // folder is true. False where the system made none (see sandbox_win32.cpp).
  bool MakeLink(std::string_view link, std::string_view target, bool folder);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace bk::test
