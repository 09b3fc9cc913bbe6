// Helpers shared by the tests of the typed values.
#ifndef BRIMSEL_TESTS_VARIANT_HELPERS_H
#define BRIMSEL_TESTS_VARIANT_HELPERS_H

#include <brimsel/exception.h>

#include <gtest/gtest.h>

#include <string>

// Runs `f`, which should fail with a non-fatal Brimsel::Exception, and returns
// "<code>:<legend>" so that a test compares both at once; "no exception" when
// `f` returns.
template <typename F>
std::string failure(F&& f) {
  try {
    f();
  } catch (const Brimsel::Exception& e) {
    EXPECT_FALSE(e.isFatal()) << e.legend();
    EXPECT_FALSE(e.file().empty()) << "raised without its source location: " << e.legend();
    return std::to_string(e.errorCode()) + ":" + e.legend();
  }
  return "no exception";
}

#endif  // BRIMSEL_TESTS_VARIANT_HELPERS_H
