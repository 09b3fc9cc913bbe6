// SPDX-License-Identifier: MIT
// The system's source of new identifiers behind Brimsel::Guid.
#ifndef BRIMSEL_PLATFORM_GUID_H
#define BRIMSEL_PLATFORM_GUID_H

#include <brimsel/guid.h>

#include <string>

namespace Brimsel {
namespace platform {

// Fills `guid` with a new identifier (Windows: UuidCreate; elsewhere a random
// version-4 identifier from the kernel's random source). On failure returns
// false and leaves a description of the cause in `why`. Reading the text form
// and ordering identifiers need no system: Guid does both itself.
bool createGuid(_GUID& guid, std::string& why);

}  // namespace platform
}  // namespace Brimsel

#endif  // BRIMSEL_PLATFORM_GUID_H
