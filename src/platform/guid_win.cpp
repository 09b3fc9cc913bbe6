// SPDX-License-Identifier: MIT
// Identifiers on Windows: the RPC runtime's UuidCreate, UuidFromStringA and
// UuidCompare (rpcrt4).
#include <rpc.h>
#include <windows.h>

// After the system headers on purpose: the public header must accept the
// _GUID they already defined.
#include "platform/guid.h"

namespace Brimsel {
namespace platform {

bool createGuid(_GUID& guid, std::string& why) {
  const RPC_STATUS status = UuidCreate(&guid);
  // RPC_S_UUID_LOCAL_ONLY is still a good random identifier on every version
  // of Windows this library runs on; anything else is a failure.
  if (status == RPC_S_OK || status == RPC_S_UUID_LOCAL_ONLY) return true;
  why = "UuidCreate failed with status " + std::to_string(static_cast<long>(status));
  return false;
}

bool parseGuid(const char* text, _GUID& guid) {
  if (UuidFromStringA(reinterpret_cast<RPC_CSTR>(const_cast<char*>(text)), &guid) == RPC_S_OK) {
    return true;
  }
  guid = GUID();  // whatever the runtime left there, a refused text reads as null
  return false;
}

int compareGuids(const _GUID& a, const _GUID& b) {
  RPC_STATUS status = RPC_S_OK;
  return UuidCompare(const_cast<UUID*>(&a), const_cast<UUID*>(&b), &status);
}

}  // namespace platform
}  // namespace Brimsel
