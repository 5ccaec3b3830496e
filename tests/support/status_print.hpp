// How a Status reads in a failed expectation: its code and the code's name
// ("3 ERROR_PATH_NOT_FOUND"), so a failure says which error it met, not just "false".
// GoogleTest finds PrintTo by argument-dependent lookup, so it lives beside Status.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "platform/file_system.hpp"

namespace bk {

std::string DescribeStatus(Status s);
std::ostream& operator<<(std::ostream& out, const Status& s);
void PrintTo(const Status& s, std::ostream* out);

namespace test {
// EXPECT_TRUE(Succeeded(s)): a failure names the code and its name. A plain
// EXPECT_TRUE(s) shows only "false": GoogleTest never prints the value of a truth test.
::testing::AssertionResult Succeeded(Status s);
}  // namespace test

}  // namespace bk
