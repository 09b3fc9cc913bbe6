// SPDX-License-Identifier: MIT
#include <brimsel/exception.h>
#include <brimsel/util.h>

#include "errors.h"
#include "platform/filesystem.h"

namespace Brimsel {

namespace {

// Splits `path` (separators already unified to `separator`) into the part taken
// as existing, which is never created, and the rest, whose components are.
void splitPrefix(const std::string& path, char separator, bool drivesAndShares, std::string& prefix,
                 std::string& rest) {
  prefix.clear();
  rest.clear();
  if (drivesAndShares && path.size() >= 2 && path[0] == separator && path[1] == separator) {
    // \\server\share\...: the share is never created.
    const std::string::size_type serverEnd = path.find(separator, 2);
    if (serverEnd == std::string::npos) return;
    const std::string::size_type shareEnd = path.find(separator, serverEnd + 1);
    if (shareEnd == std::string::npos) return;
    prefix = path.substr(0, shareEnd) + separator;
    rest = path.substr(shareEnd + 1);
  } else if (drivesAndShares && path.find(':') != std::string::npos) {
    // C:\... or C:dir\...: everything up to the first separator after the
    // drive is taken as existing.
    const std::string::size_type end = path.find(separator, 2);
    if (end == std::string::npos) return;
    prefix = path.substr(0, end) + separator;
    rest = path.substr(end + 1);
  } else if (!path.empty() && path[0] == separator) {
    prefix = separator;
    rest = path;
  } else {
    rest = path;
  }
}

}  // namespace

std::string createPath(const std::string& path) {
  const platform::PathSyntax syntax = platform::pathSyntax();
  const char separator = syntax.separator;
  const char otherSeparator = separator == '\\' ? '/' : '\\';

  // A zero byte ends the path, as it would for the system call.
  std::string copy = path.substr(0, path.find('\0'));
  for (char& c : copy)
    if (c == otherSeparator) c = separator;

  std::string current;
  std::string rest;
  splitPrefix(copy, separator, syntax.drivesAndShares, current, rest);

  // The system is not asked first whether a directory exists: creating it and
  // accepting "already exists" also holds when another process creates the
  // same directory at the same moment. A file of that name passes too, and
  // the next component then fails; only for the last component, where no
  // next one would notice, is the existing entry checked to be a directory,
  // so that a file is never reported as the directory created.
  const StringList components = tokenize(rest, std::string(1, separator));
  for (StringList::size_type i = 0; i < components.size(); ++i) {
    current += components[i];
    const char* reason = nullptr;
    switch (platform::makeDirectory(current)) {
      case platform::MakeDirectoryResult::created:
        break;
      case platform::MakeDirectoryResult::alreadyExists:
        if (i + 1 == components.size() && !platform::isDirectory(current))
          reason = "an undocumented error occured";
        break;
      case platform::MakeDirectoryResult::pathNotFound:
        reason = "ERROR_PATH_NOT_FOUND";
        break;
      case platform::MakeDirectoryResult::otherError:
        reason = "an undocumented error occured";
        break;
    }
    current += separator;
    if (reason != nullptr)
      throw Exception(detail::kCreatePathFailed, false,
                      "Failed to create directory <" + current + "> because <" + reason + ">");
  }
  return current;
}

}  // namespace Brimsel
