// Variable and VariableMap: typed values under names.
//
// A Variable is a Variant that carries its own name. Assigning one Variable
// to another copies the value (as Variant assignment does: own buffer,
// current-time flag kept) but never renames a target that already has a
// name; only an unnamed target takes over the source's name.
//
// A VariableMap is an ordered map from a name to a Variant (std::less, so
// names compare byte by byte and case matters); each entry owns its own copy.
// It adds nothing to the map. expand() (declared in <brimsel/util.h>, which
// this header includes) fills "$(name)" references in a text from one.
#ifndef BRIMSEL_VARIABLE_H
#define BRIMSEL_VARIABLE_H

#include <brimsel/export.h>
#include <brimsel/util.h>
#include <brimsel/variant.h>

#include <map>
#include <string>

namespace Brimsel {

class BRIMSEL_API Variable : public Variant {
 public:
  // An empty value (vtNone) named `name`.
  explicit Variable(const std::string& name = std::string());
  // A copy of `value` named `name`.
  Variable(const std::string& name, const Variant& value);
  Variable(const Variable& other);
  ~Variable() override;

  // Copies the value; takes `other`'s name only when this name is empty.
  // Strong guarantee; assignment to itself changes nothing.
  Variable& operator=(const Variable& other);

  std::string name;
};

class VariableMap : public std::map<std::string, Variant> {
 public:
  using std::map<std::string, Variant>::map;
  VariableMap() = default;
  VariableMap(const VariableMap&) = default;
  VariableMap(VariableMap&&) = default;
  VariableMap& operator=(const VariableMap&) = default;
  VariableMap& operator=(VariableMap&&) = default;
  ~VariableMap() = default;
};

}  // namespace Brimsel

#endif  // BRIMSEL_VARIABLE_H
