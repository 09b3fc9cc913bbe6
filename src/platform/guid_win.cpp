// SPDX-License-Identifier: MIT
// Identifiers on Windows: the RPC runtime's UuidCreate, UuidFromStringA and
// UuidCompare (rpcrt4).
#include <windows.h>
#include <rpc.h>

// After the system headers on purpose: the public header must accept the
// _GUID they already defined.
#include "platform/guid.h"

namespace Brimsel {
namespace platform {

bool createGuid(_GUID& guid, std::string& strWhy) {
  const RPC_STATUS status = UuidCreate(&guid);
  // RPC_S_UUID_LOCAL_ONLY is still a good random identifier on every version
  // of Windows this library runs on; anything else is a failure.
  if (status == RPC_S_OK || status == RPC_S_UUID_LOCAL_ONLY) return true;
  strWhy = "UuidCreate failed with status " + std::to_string(static_cast<long>(status));
  return false;
}

bool parseGuid(const char* pszText, _GUID& guid) {
  const RPC_STATUS status =
      UuidFromStringA(reinterpret_cast<RPC_CSTR>(const_cast<char*>(pszText)), &guid);
  if (status == RPC_S_OK) return true;
  guid = GUID();
  return false;
}

int compareGuids(const _GUID& a, const _GUID& b) {
  RPC_STATUS status = RPC_S_OK;
  return UuidCompare(const_cast<UUID*>(&a), const_cast<UUID*>(&b), &status);
}

}  // namespace platform
}  // namespace Brimsel
