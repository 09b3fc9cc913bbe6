// SPDX-License-Identifier: MIT
// The system's identifier services behind Brimsel::Guid.
#ifndef BRIMSEL_PLATFORM_GUID_H
#define BRIMSEL_PLATFORM_GUID_H

#include <brimsel/guid.h>

#include <string>

namespace Brimsel {
namespace platform {

// Fills `guid` with a new identifier. On failure returns false and leaves a
// description of the cause in `strWhy`.
bool createGuid(_GUID& guid, std::string& strWhy);

// Reads the 36-character text form from the zero-terminated `pszText`.
// Returns false, with `guid` all zeros, for any other text.
bool parseGuid(const char* pszText, _GUID& guid);

// -1, 0 or +1 as `a` orders before, equal to or after `b`: Data1, Data2 and
// Data3 as unsigned numbers, then the bytes of Data4 in order.
int compareGuids(const _GUID& a, const _GUID& b);

}  // namespace platform
}  // namespace Brimsel

#endif  // BRIMSEL_PLATFORM_GUID_H
