// SPDX-License-Identifier: MIT
/// \file
/// Variable and VariableMap, typed values under names.
#ifndef BRIMSEL_VARIABLE_H
#define BRIMSEL_VARIABLE_H

#include <brimsel/export.h>
#include <brimsel/util.h>
#include <brimsel/variant.h>

#include <map>
#include <string>

namespace Brimsel {

/// A Variant that carries its own name.
///
/// Assigning one Variable to another copies the value (as Variant assignment
/// does: own buffer, current-time flag kept) but never renames a target that
/// already has a name; only an unnamed target takes over the source's name.
/// The conversions and their exceptions are those of Variant.
class BRIMSEL_API Variable : public Variant {
 public:
  /// An empty value (vtNone) named `name`.
  Variable(const std::string& name = std::string());
  /// A copy of `value` named `name`.
  Variable(const std::string& name, const Variant& value);
  /// A copy of `other`'s value and name.
  Variable(const Variable& other);
  /// Destroys the value and the name.
  ~Variable() override;

  /// Copies the value; takes `other`'s name only when this name is empty.
  /// Strong guarantee: if memory runs out, this variable is unchanged;
  /// assignment to itself changes nothing.
  Variable& operator=(const Variable& other);

  /// The variable's name; any text, empty for an unnamed variable.
  std::string name;
};

/// An ordered map from a name to a Variant.
///
/// Names compare with std::less, byte by byte, so case matters; each entry owns
/// its own copy of its value. It adds nothing to std::map. expand() (declared
/// in <brimsel/util.h>, which this header includes) fills "$(name)"
/// references in a text from one.
class VariableMap : public std::map<std::string, Variant> {
 public:
  using std::map<std::string, Variant>::map;
  /// An empty map.
  VariableMap() = default;
  /// A copy of every entry of the other map.
  VariableMap(const VariableMap&) = default;
  /// Takes over the entries of the other map.
  VariableMap(VariableMap&&) = default;
  /// Replaces the entries by copies of the other map's.
  VariableMap& operator=(const VariableMap&) = default;
  /// Replaces the entries by those of the other map.
  VariableMap& operator=(VariableMap&&) = default;
  /// Destroys the map and its entries.
  ~VariableMap() = default;
};

}  // namespace Brimsel

#endif  // BRIMSEL_VARIABLE_H
