// SPDX-License-Identifier: MIT
// The file system behind Brimsel::createPath.
#ifndef BRIMSEL_PLATFORM_FILESYSTEM_H
#define BRIMSEL_PLATFORM_FILESYSTEM_H

#include <string>

namespace Brimsel {
namespace platform {

// How the system names paths: the separator createPath writes, and whether
// drive letters and network shares (\\server\share) exist.
struct PathSyntax {
  char separator;
  bool drivesAndShares;
};
PathSyntax pathSyntax();

// The outcome of creating one directory. An existing entry of that name
// (directory or not) is alreadyExists; a missing or non-directory parent is
// pathNotFound; everything else is otherError.
enum class MakeDirectoryResult { created, alreadyExists, pathNotFound, otherError };

// Creates the directory `path` (its parent must exist).
MakeDirectoryResult makeDirectory(const std::string& path);

// Whether `path` names an existing directory (following links).
bool isDirectory(const std::string& path);

}  // namespace platform
}  // namespace Brimsel

#endif  // BRIMSEL_PLATFORM_FILESYSTEM_H
