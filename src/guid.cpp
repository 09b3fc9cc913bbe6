// SPDX-License-Identifier: MIT
#include "platform/guid.h"

#include <brimsel/exception.h>
#include <brimsel/guid.h>

#include <cstdio>
#include <cstring>

#include "errors.h"

namespace Brimsel {

// Built by the constexpr default constructor: constant-initialised, so it is
// valid before any start-up code of the library or of its callers runs.
const Guid Guid::null;  // NOLINT(cert-err58-cpp): constant-initialised

Guid::Guid(const _GUID& guid) : _guid(guid) {}

Guid::Guid(const Guid& other) : _guid(other._guid) {}

const Guid& Guid::operator=(const Guid& other) {
  if (this != &other) _guid = other._guid;
  return *this;
}

Guid::~Guid() = default;

bool Guid::operator==(const Guid& other) const {
  return std::memcmp(&_guid, &other._guid, sizeof(_guid)) == 0;
}

bool Guid::operator!=(const Guid& other) const { return !(*this == other); }

bool Guid::operator<(const Guid& other) const {
  return platform::compareGuids(_guid, other._guid) == -1;
}

bool Guid::operator>(const Guid& other) const {
  return platform::compareGuids(_guid, other._guid) == 1;
}

std::string Guid::asString() const {
  char text[40];
  std::snprintf(text, sizeof(text), "%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                static_cast<unsigned long>(_guid.Data1), static_cast<unsigned>(_guid.Data2),
                static_cast<unsigned>(_guid.Data3), static_cast<unsigned>(_guid.Data4[0]),
                static_cast<unsigned>(_guid.Data4[1]), static_cast<unsigned>(_guid.Data4[2]),
                static_cast<unsigned>(_guid.Data4[3]), static_cast<unsigned>(_guid.Data4[4]),
                static_cast<unsigned>(_guid.Data4[5]), static_cast<unsigned>(_guid.Data4[6]),
                static_cast<unsigned>(_guid.Data4[7]));
  return text;
}

Guid Guid::create() {
  _GUID guid = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
  std::string why;
  // An identifier made without randomness could collide with anyone else's;
  // the caller hears of it instead of receiving one.
  if (!platform::createGuid(guid, why)) {
    throw Exception(BRIMSEL_HERE, detail::kSeeLegend, false,
                    "Failed to create a unique identifier: " + why);
  }
  return Guid(guid);
}

Guid Guid::fromString(const std::string& text) {
  // Text the system cannot read gives the null identifier.
  _GUID guid = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
  platform::parseGuid(text.c_str(), guid);
  return Guid(guid);
}

}  // namespace Brimsel
