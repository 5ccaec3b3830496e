// A failed expectation on a Status names its code, so a failure under Wine and natively
// tells which error the adapter met.
#include <gtest/gtest.h>

#include "support/status_print.hpp"

namespace bk {
namespace {

TEST(StatusPrint, GoogleTestPrintsTheCodeAndItsName) {
  EXPECT_EQ(::testing::PrintToString(Status::Error(err::kPathNotFound)), "3 ERROR_PATH_NOT_FOUND");
  EXPECT_EQ(::testing::PrintToString(Status::Ok()), "0 ERROR_SUCCESS");
  EXPECT_EQ(::testing::PrintToString(Status::Error(999999)), "999999 an error code the core does not name");
}

TEST(StatusPrint, SucceededNamesTheFailure) {
  EXPECT_TRUE(test::Succeeded(Status::Ok()));
  const ::testing::AssertionResult failed = test::Succeeded(Status::Error(err::kAccessDenied));
  EXPECT_FALSE(failed);
  EXPECT_STREQ(failed.message(), "failed with 5 ERROR_ACCESS_DENIED");
}

}  // namespace
}  // namespace bk
