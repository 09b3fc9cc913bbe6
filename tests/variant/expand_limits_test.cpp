// SPDX-License-Identifier: MIT
// expand on values that refer to themselves or multiply: a clean 3001 in
// memory proportional to the inputs, run under an address-space limit.
#include <brimsel/exception.h>
#include <brimsel/util.h>
#include <brimsel/variable.h>

#include <gtest/gtest.h>

#include <string>

#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define BRIMSEL_LIMITS_TESTABLE 1
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <new>
#include <thread>
#endif

namespace {

using Brimsel::Exception;
using Brimsel::Variant;
using Brimsel::VariableMap;

#if defined(BRIMSEL_LIMITS_TESTABLE)
enum Outcome { EXPANDED = 0, BAD_TEMPLATE = 1, OTHER_EXCEPTION = 2, OUT_OF_MEMORY = 3, HUNG = 4 };

// expand(text, vars) in a child process limited to `limitMiB` of address
// space, within 60 seconds.
int expandLimited(const std::string& text, const VariableMap& vars, unsigned long limitMiB) {
  const pid_t child = fork();
  if (child == 0) {
    const rlimit limit = {limitMiB << 20, limitMiB << 20};
    setrlimit(RLIMIT_AS, &limit);
    try {
      Brimsel::expand(text, vars);
      _exit(EXPANDED);
    } catch (const Exception& e) {
      _exit(e.errorCode() == 3001 && e.legend() == text ? BAD_TEMPLATE : OTHER_EXCEPTION);
    } catch (const std::bad_alloc&) {
      _exit(OUT_OF_MEMORY);
    }
  }
  int status = 0;
  for (int i = 0; i < 600; ++i) {
    if (waitpid(child, &status, WNOHANG) == child) return WIFEXITED(status) ? WEXITSTATUS(status) : OUT_OF_MEMORY;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  kill(child, SIGKILL);
  waitpid(child, &status, 0);
  return HUNG;
}

TEST(ExpandLimits, ASelfReferenceStopsAtOnceInLittleMemory) {
  VariableMap vars;
  vars["x"] = Variant("$(x)" + std::string(1u << 20, 'a'));
  EXPECT_EQ(BAD_TEMPLATE, expandLimited("[$(x)]", vars, 256));
  // Through other names: x -> y -> x.
  vars["x"] = Variant("$(y)" + std::string(1u << 20, 'a'));
  vars["y"] = Variant(std::string(1u << 20, 'b') + "$(x)");
  EXPECT_EQ(BAD_TEMPLATE, expandLimited("$(x)", vars, 256));
}

TEST(ExpandLimits, AMultiplyingExpansionStopsBeforeMemoryRunsOut) {
  // Ten levels, each value ten references to the level below: 10^13 bytes.
  VariableMap vars;
  vars["v0"] = Variant(std::string(1024, 'z'));
  for (int level = 1; level <= 10; ++level) {
    std::string value;
    for (int i = 0; i < 10; ++i) value += "$(v" + std::to_string(level - 1) + ")";
    vars["v" + std::to_string(level)] = Variant(value);
  }
  EXPECT_EQ(BAD_TEMPLATE, expandLimited("<$(v10)>", vars, 256));
}
#endif

TEST(ExpandLimits, LargeResultsWithoutCyclesStillExpand) {
  VariableMap vars;
  const std::string big(32u << 20, 'q');
  vars["big"] = Variant(big);
  vars["twice"] = Variant(std::string("$(big)$(big)"));
  const std::string result = Brimsel::expand("$(twice)-$(big)", vars);
  ASSERT_EQ(3 * big.size() + 1, result.size());
  EXPECT_EQ(big + big + "-" + big, result);
  // A name may recur side by side, and after its own expansion has ended.
  vars["a"] = Variant(std::string("<$(b)$(b)>"));
  vars["b"] = Variant(std::string("b"));
  EXPECT_EQ("<bb><bb>", Brimsel::expand("$(a)$(a)", vars));
}

}  // namespace
