// SPDX-License-Identifier: MIT
#include <brimsel/variable.h>

namespace Brimsel {

Variable::Variable(const std::string& name) : Variant(), name(name) {}

Variable::Variable(const std::string& name, const Variant& value) : Variant(value), name(name) {}

Variable::Variable(const Variable& other) : Variant(other), name(other.name) {}

Variable::~Variable() = default;

Variable& Variable::operator=(const Variable& other) {
  if (this == &other) return *this;
  if (name.empty()) {
    // Copy the name first so that a failure leaves the whole variable as it
    // was: the value assignment is itself all-or-nothing, and the swap after
    // it cannot fail.
    std::string newName(other.name);
    Variant::operator=(other);
    name.swap(newName);
  } else {
    Variant::operator=(other);
  }
  return *this;
}

}  // namespace Brimsel
