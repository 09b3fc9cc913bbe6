// SPDX-License-Identifier: MIT
// New identifiers on Windows: the RPC runtime's UuidCreate (rpcrt4).
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

}  // namespace platform
}  // namespace Brimsel
