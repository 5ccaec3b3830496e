/* Holds a file open without sharing, as another program that has it locked would, until a
 * release file appears (or two minutes pass). Built with MinGW by the end-to-end scripts.
 *
 *   hold_file.exe FILE READY RELEASE
 *
 * FILE is opened with share mode 0; READY is created once it is held; the file is let go
 * as soon as RELEASE exists. Exit code 1: FILE could not be opened. */
#include <windows.h>

int wmain(int argc, wchar_t **argv) {
  if (argc != 4) return 2;
  HANDLE held = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, NULL);
  if (held == INVALID_HANDLE_VALUE) return 1;
  HANDLE ready = CreateFileW(argv[2], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  for (int i = 0; i < 2400; ++i) {
    if (GetFileAttributesW(argv[3]) != INVALID_FILE_ATTRIBUTES) break;
    Sleep(50);
  }
  CloseHandle(held);
  return 0;
}
