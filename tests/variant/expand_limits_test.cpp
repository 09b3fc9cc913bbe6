// expand on values that refer to themselves or multiply: a clean 3001 in
// memory proportional to the inputs, shown under an address-space limit.
#include <brimsel/util.h>
#include <brimsel/variable.h>

#include <gtest/gtest.h>

#include "support.h"

#if defined(__linux__)
#include <new>

#include "child.h"
#endif

namespace {

using Brimsel::Variant;
using Brimsel::VariableMap;

#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// "exit 0" when expand(text, vars) raises 3001 with the template as legend
// in a child limited to 256 MiB of address space; "exit 3" when it runs out.
std::string stopsIn256MiB(const std::string& text, const VariableMap& vars) {
  return support::inChild(
      [&] {
        try {
          return support::raised([&] { Brimsel::expand(text, vars); }) == "3001:" + text ? 0 : 1;
        } catch (const std::bad_alloc&) {
          return 3;
        }
      },
      std::size_t(256) << 20, std::chrono::seconds(60));
}

TEST(ExpandLimits, CyclesAndMultiplyingValuesStopInLittleMemory) {
  VariableMap vars;
  vars["x"] = Variant("$(x)" + std::string(1u << 20, 'a'));
  EXPECT_EQ("exit 0", stopsIn256MiB("[$(x)]", vars));
  vars["x"] = Variant("$(y)" + std::string(1u << 20, 'a'));  // x -> y -> x
  vars["y"] = Variant(std::string(1u << 20, 'b') + "$(x)");
  EXPECT_EQ("exit 0", stopsIn256MiB("$(x)", vars));
  // Ten levels, each value ten references to the level below: 10^13 bytes.
  vars["v0"] = Variant(std::string(1024, 'z'));
  for (int level = 1; level <= 10; ++level) {
    std::string value;
    for (int i = 0; i < 10; ++i) value += "$(v" + std::to_string(level - 1) + ")";
    vars["v" + std::to_string(level)] = Variant(value);
  }
  EXPECT_EQ("exit 0", stopsIn256MiB("<$(v10)>", vars));
}
#endif

TEST(ExpandLimits, LargeResultsWithoutCyclesStillExpand) {
  VariableMap vars;
  const std::string big(32u << 20, 'q');
  vars["big"] = Variant(big);
  vars["twice"] = Variant(std::string("$(big)$(big)"));
  EXPECT_TRUE(Brimsel::expand("$(twice)-$(big)", vars) == big + big + "-" + big);
  // A name may recur beside its own text, and after it.
  vars["a"] = Variant(std::string("<$(b)$(b)>"));
  vars["b"] = Variant(std::string("b"));
  EXPECT_EQ("<bb><bb>", Brimsel::expand("$(a)$(a)", vars));
}

}  // namespace
