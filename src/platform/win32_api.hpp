// The one way Win32 files include the system headers. <windows.h> renames DeleteFile to
// DeleteFileW by macro, which would rename the port's own member; the macro is dropped here.
#pragma once

#include <windows.h>
#undef DeleteFile
