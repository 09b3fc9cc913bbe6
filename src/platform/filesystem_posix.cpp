// SPDX-License-Identifier: MIT
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>

#include "platform/filesystem.h"

namespace Brimsel {
namespace platform {

PathSyntax pathSyntax() { return PathSyntax{'/', false}; }

MakeDirectoryResult makeDirectory(const std::string& path) {
  // Full permissions less the process's umask, as for mkdir(1).
  if (mkdir(path.c_str(), 0777) == 0) return MakeDirectoryResult::created;
  switch (errno) {
    case EEXIST:
      return MakeDirectoryResult::alreadyExists;
    case ENOENT:
    case ENOTDIR:
      return MakeDirectoryResult::pathNotFound;
    default:
      return MakeDirectoryResult::otherError;
  }
}

bool isDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace platform
}  // namespace Brimsel
