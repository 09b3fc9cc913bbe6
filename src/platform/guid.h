// SPDX-License-Identifier: MIT
// The system's identifier services behind Brimsel::Guid.
#ifndef BRIMSEL_PLATFORM_GUID_H
#define BRIMSEL_PLATFORM_GUID_H

#include <brimsel/guid.h>

#include <string>

namespace Brimsel {
namespace platform {

// Fills `guid` with a new identifier (Windows: UuidCreate; elsewhere a random
// version-4 identifier from the kernel's random source). On failure returns
// false and leaves a description of the cause in `why`.
bool createGuid(_GUID& guid, std::string& why);

// Reads the 36-character text form from the C string `text` into `guid`
// (Windows: UuidFromStringA). For any other text returns false with `guid`
// all zeros.
bool parseGuid(const char* text, _GUID& guid);

// -1, 0 or +1 as `a` orders before, equal to or after `b` (Windows:
// UuidCompare).
int compareGuids(const _GUID& a, const _GUID& b);

}  // namespace platform
}  // namespace Brimsel

#endif  // BRIMSEL_PLATFORM_GUID_H
