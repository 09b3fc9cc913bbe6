#include <brimsel/exception.h>

#include <gtest/gtest.h>

#include <sstream>
#include <type_traits>

#include "errortable.h"

using Brimsel::Exception;

namespace {

std::string textOf(const Exception& e) {
  std::ostringstream out;
  out << e;
  return out.str();
}

// A class built on Exception, the only way to reach the protected constructor.
class Derived : public Exception {
 public:
  Derived() = default;
};

void expectSameFields(const Exception& a, const Exception& b) {
  EXPECT_EQ(a.errorCode(), b.errorCode());
  EXPECT_EQ(a.isFatal(), b.isFatal());
  EXPECT_EQ(a.legend(), b.legend());
  EXPECT_EQ(a.file(), b.file());
  EXPECT_EQ(a.line(), b.line());
}

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
    const Brimsel::detail::ErrorCodeEntry& entry = Brimsel::detail::aErrorCodes[i++];
    ASSERT_NE(entry.pszExplanation, nullptr);
    EXPECT_EQ(entry.nCode, code);
    EXPECT_STREQ(entry.pszExplanation, text);
    EXPECT_EQ(Exception::explainErrorCode(code), text);
  }
  EXPECT_EQ(Brimsel::detail::aErrorCodes[i].pszExplanation, nullptr);
}

TEST(ExceptionTable, UnknownCodesExplainAsEmpty) {
  for (int code : {5, -1, 4, 999, 1004, 4303, 2147483647, -2147483647 - 1}) {
    EXPECT_EQ(Exception::explainErrorCode(code), "") << code;
  }
}

TEST(ExceptionText, FiveLinesOfTheThreeArgumentForm) {
  EXPECT_EQ(textOf(Exception(1, false, "Invalid date")),
            "Error Code=1\n"
            "Explanation=\"Improperly constructed exception\"\n"
            "Fatal=N\n"
            "Legend=\"Invalid date\"\n"
            "Location= @ -1\n");
}

TEST(ExceptionText, FullFormUnknownCodeAndUnescapedLegend) {
  const Exception e("daemoncomm", 42, 7, true, "a \"quoted\"\nline");
  EXPECT_EQ(textOf(e),
            "Error Code=7\n"
            "Explanation=\"\"\n"
            "Fatal=Y\n"
            "Legend=\"a \"quoted\"\nline\"\n"
            "Location=daemoncomm @ 42\n");
}

TEST(ExceptionText, FollowsTheStreamsOwnIntegerFlagsAndDoesNotFlush) {
  std::ostringstream out;
  out << std::hex << Exception("f", 255, 4302, false, "");
  EXPECT_EQ(out.str(),
            "Error Code=10ce\n"
            "Explanation=\"Coersion failed.\"\n"
            "Fatal=N\n"
            "Legend=\"\"\n"
            "Location=f @ ff\n");
}

TEST(ExceptionValue, ProtectedDefaultIsCodeOneFatalAndEmpty) {
  const Derived d;
  EXPECT_EQ(d.errorCode(), 1);
  EXPECT_TRUE(d.isFatal());
  EXPECT_EQ(d.legend(), "");
  EXPECT_EQ(d.file(), "");
  EXPECT_EQ(d.line(), -1);
  EXPECT_NE(textOf(d).find("Fatal=Y\n"), std::string::npos);
  static_assert(!std::is_default_constructible<Exception>::value, "default constructor is protected");
  static_assert(!std::is_base_of<std::exception, Exception>::value, "not a standard exception");
  static_assert(std::has_virtual_destructor<Exception>::value, "polymorphic");
}

TEST(ExceptionValue, CopyAssignAndSelfAssign) {
  const Exception original("src/x.cpp", 17, 4001, false, "why");
  const Exception copy(original);
  expectSameFields(copy, original);

  Exception target(0, true, "old");
  const Exception& result = (target = original);
  EXPECT_EQ(&result, &target);
  expectSameFields(target, original);

  const Exception* self = &target;
  target = *self;
  expectSameFields(target, original);
}

TEST(ExceptionValue, ThrownByValueCaughtByReferenceOnly) {
  bool caughtAsException = false;
  try {
    try {
      throw Exception(__FILE__, __LINE__, 3001, false, "template");
    } catch (const std::exception&) {
      FAIL() << "a standard handler caught a library exception";
    }
  } catch (const Exception& e) {
    caughtAsException = true;
    EXPECT_EQ(e.errorCode(), 3001);
    EXPECT_EQ(e.legend(), "template");
    EXPECT_GT(e.line(), 0);
  }
  EXPECT_TRUE(caughtAsException);
}
