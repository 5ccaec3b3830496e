#include "support/status_print.hpp"

#include <string_view>

namespace bk {
namespace {

// The names the system gives the codes the core reasons about.
std::string_view CodeName(std::uint32_t code) {
  switch (code) {
    case err::kOk: return "ERROR_SUCCESS";
    case err::kFileNotFound: return "ERROR_FILE_NOT_FOUND";
    case err::kPathNotFound: return "ERROR_PATH_NOT_FOUND";
    case err::kAccessDenied: return "ERROR_ACCESS_DENIED";
    case err::kInvalidDrive: return "ERROR_INVALID_DRIVE";
    case err::kWriteProtect: return "ERROR_WRITE_PROTECT";
    case err::kNotReady: return "ERROR_NOT_READY";
    case err::kSharingViolation: return "ERROR_SHARING_VIOLATION";
    case err::kHandleDiskFull: return "ERROR_HANDLE_DISK_FULL";
    case err::kFileExists: return "ERROR_FILE_EXISTS";
    case err::kInvalidParameter: return "ERROR_INVALID_PARAMETER";
    case err::kDiskFull: return "ERROR_DISK_FULL";
    case err::kInvalidName: return "ERROR_INVALID_NAME";
    case err::kDirNotEmpty: return "ERROR_DIR_NOT_EMPTY";
    case err::kAlreadyExists: return "ERROR_ALREADY_EXISTS";
    case err::kFilenameTooLong: return "ERROR_FILENAME_EXCED_RANGE";
    case err::kDirectory: return "ERROR_DIRECTORY";
    case err::kNoUnicodeTranslation: return "ERROR_NO_UNICODE_TRANSLATION";
    case err::kIoDevice: return "ERROR_IO_DEVICE";
    case err::kRequestAborted: return "ERROR_REQUEST_ABORTED";
    case err::kNotAReparsePoint: return "ERROR_NOT_A_REPARSE_POINT";
    default: return "an error code the core does not name";
  }
}

}  // namespace

std::string DescribeStatus(Status s) { return std::to_string(s.code) + " " + std::string(CodeName(s.code)); }

std::ostream& operator<<(std::ostream& out, const Status& s) { return out << DescribeStatus(s); }

void PrintTo(const Status& s, std::ostream* out) { *out << DescribeStatus(s); }

namespace test {
::testing::AssertionResult Succeeded(Status s) {
  if (s.ok()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "failed with " << DescribeStatus(s);
}
}  // namespace test

}  // namespace bk
