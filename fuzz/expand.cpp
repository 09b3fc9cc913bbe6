// SPDX-License-Identifier: MIT
// expand over a small fixed map against the obvious restart-at-the-front
// loop: the same result or the same failure; where that loop never ends (a
// value that refers to itself), expand fails with 3001 and the template.
#include <brimsel/exception.h>
#include <brimsel/util.h>
#include <brimsel/variable.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "reference/text.h"

using Brimsel::Variant;

namespace {

const Brimsel::VariableMap& variables() {
  static const Brimsel::VariableMap vars = {
      {"a", Variant(std::string("A"))},
      {"b", Variant(std::string("[$(a)]"))},
      {"", Variant(42)},
      {"$", Variant(std::string("$"))},
      {"(", Variant(std::string("(a)"))},
      {"o", Variant(std::string("$("))},
      {"e", Variant(std::string())},
      {"n", Variant()},
      {"d", Variant(2.5)},
      {"c", Variant(std::string("<$(c)>"))},
      {"j", Variant(std::string("$($)(j)"))},
  };
  return vars;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 512) return 0;
  const std::string templ(reinterpret_cast<const char*>(data), size);
  std::string got;
  try {
    got = "=" + Brimsel::expand(templ, variables());
  } catch (const Brimsel::Exception& e) {
    got = std::to_string(e.errorCode()) + ":" + e.legend();
  }
  const std::string expected = reference::expand(templ, variables(), 5000);
  if (expected == "cycle") {
    if (got != "3001:" + templ) std::abort();
  } else if (expected != "too long" && got != expected) {
    std::abort();
  }
  return 0;
}
