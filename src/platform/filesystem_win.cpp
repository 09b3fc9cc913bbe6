// SPDX-License-Identifier: MIT
#include <windows.h>

#include "platform/filesystem.h"

namespace Brimsel {
namespace platform {

PathSyntax pathSyntax() { return PathSyntax{'\\', true}; }

MakeDirectoryResult makeDirectory(const std::string& path) {
  if (CreateDirectoryA(path.c_str(), nullptr)) return MakeDirectoryResult::created;
  switch (GetLastError()) {
    case ERROR_ALREADY_EXISTS:
      return MakeDirectoryResult::alreadyExists;
    case ERROR_PATH_NOT_FOUND:
      return MakeDirectoryResult::pathNotFound;
    default:
      return MakeDirectoryResult::otherError;
  }
}

bool isDirectory(const std::string& path) {
  const DWORD dwAttributes = GetFileAttributesA(path.c_str());
  return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace platform
}  // namespace Brimsel
