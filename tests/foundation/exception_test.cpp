// SPDX-License-Identifier: MIT
#include <brimsel/exception.h>

#include <gtest/gtest.h>

#include <sstream>
#include <type_traits>

#include "errors.h"

using Brimsel::Exception;

static_assert(!std::is_default_constructible<Exception>::value, "default constructor is protected");
static_assert(!std::is_base_of<std::exception, Exception>::value, "not a standard exception");

namespace {

std::string textOf(const Exception& e) {
  std::ostringstream out;
  out << e;
  return out.str();
}

// A class built on Exception, the only way to reach the protected constructor.
class Derived : public Exception {};

}  // namespace

TEST(ExceptionTable, HoldsEveryCodeInOrderAndIsClosed) {
  const std::pair<int, const char*> expected[] = {
      {0, "See legend"},
      {1, "Improperly constructed exception"},
      {2, "Unknown"},
      {3, "Not Implemented"},
      {1001, "Failed to connect to daemon"},
      {1002, "Daemon is not connected"},
      {1003, "Daemon rejected authentication"},
      {2001, "Expected node not found in XML"},
      {2002, "Expected column not found in row"},
      {3001, "Bad substitution template."},
      {3002, "No such variable."},
      {4001, "Failed to create path."},
      {4100, "Failed to load shared object."},
      {4101, "Failed to locate symbol."},
      {4200, "Semaphore wait failed."},
      {4201, "Unknown/undocumented MS return code."},
      {4300, "Invalid Type."},
      {4301, "Type Mismatch."},
      {4302, "Coersion failed."},
  };
  std::size_t i = 0;
  for (const auto& [code, text] : expected) {
    SCOPED_TRACE(code);
    const Brimsel::detail::ErrorCodeEntry& entry = Brimsel::detail::kErrorCodes[i++];
    ASSERT_NE(entry.explanation, nullptr);
    EXPECT_EQ(entry.code, code);
    EXPECT_STREQ(entry.explanation, text);
    EXPECT_EQ(Exception::explainErrorCode(code), text);
  }
  EXPECT_EQ(Brimsel::detail::kErrorCodes[i].explanation, nullptr);
  for (int code : {5, -1, 4, 999, 1004, 4303, 2147483647, -2147483647 - 1})
    EXPECT_EQ(Exception::explainErrorCode(code), "") << code;
}

TEST(ExceptionText, FiveLinesUnescapedInTheStreamsOwnIntegerFormat) {
  EXPECT_EQ(textOf(Exception(1, false, "Invalid date")),
            "Error Code=1\n"
            "Explanation=\"Improperly constructed exception\"\n"
            "Fatal=N\n"
            "Legend=\"Invalid date\"\n"
            "Location= @ -1\n");
  EXPECT_EQ(textOf(Exception("daemoncomm", 42, 7, true, "a \"quoted\"\nline")),
            "Error Code=7\n"
            "Explanation=\"\"\n"
            "Fatal=Y\n"
            "Legend=\"a \"quoted\"\nline\"\n"
            "Location=daemoncomm @ 42\n");
  std::ostringstream out;
  out << std::hex << Exception("f", 255, 4302, false, "");
  EXPECT_EQ(out.str(),
            "Error Code=10ce\n"
            "Explanation=\"Coersion failed.\"\n"
            "Fatal=N\n"
            "Legend=\"\"\n"
            "Location=f @ ff\n");
  // The protected default: code 1, fatal, no legend, no location.
  EXPECT_EQ(textOf(Derived()),
            "Error Code=1\n"
            "Explanation=\"Improperly constructed exception\"\n"
            "Fatal=Y\n"
            "Legend=\"\"\n"
            "Location= @ -1\n");
}

TEST(ExceptionValue, CopyAssignAndSelfAssign) {
  // The text form shows every field, so equal texts mean equal values.
  const Exception original("src/x.cpp", 17, 4001, false, "why");
  EXPECT_EQ(textOf(Exception(original)), textOf(original));
  Exception target(0, true, "old");
  EXPECT_EQ(&(target = original), &target);
  EXPECT_EQ(textOf(target), textOf(original));
  const Exception* self = &target;
  target = *self;
  EXPECT_EQ(textOf(target), textOf(original));
}
