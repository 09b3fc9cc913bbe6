// SPDX-License-Identifier: MIT
#include <brimsel/exception.h>
#include <brimsel/util.h>

#include "platform/filesystem.h"

namespace Brimsel {

namespace {

// Splits `strPath` (separators already unified to `cSep`) into the part taken
// as existing, which is never created, and the rest, whose components are.
void splitPrefix(const std::string& strPath, char cSep, bool bDrivesAndShares,
                 std::string& strPrefix, std::string& strRest) {
  strPrefix.clear();
  strRest.clear();
  if (bDrivesAndShares && strPath.size() >= 2 && strPath[0] == cSep && strPath[1] == cSep) {
    // \\server\share\...: the share is never created.
    const std::string::size_type nServerEnd = strPath.find(cSep, 2);
    if (nServerEnd == std::string::npos) return;
    const std::string::size_type nShareEnd = strPath.find(cSep, nServerEnd + 1);
    if (nShareEnd == std::string::npos) return;
    strPrefix = strPath.substr(0, nShareEnd) + cSep;
    strRest = strPath.substr(nShareEnd + 1);
  } else if (bDrivesAndShares && strPath.find(':') != std::string::npos) {
    // C:\... or C:dir\...: everything up to the first separator after the
    // drive is taken as existing.
    const std::string::size_type nEnd = strPath.find(cSep, 2);
    if (nEnd == std::string::npos) return;
    strPrefix = strPath.substr(0, nEnd) + cSep;
    strRest = strPath.substr(nEnd + 1);
  } else if (!strPath.empty() && strPath[0] == cSep) {
    strPrefix = cSep;
    strRest = strPath;
  } else {
    strRest = strPath;
  }
}

}  // namespace

std::string createPath(const std::string& path) {
  const platform::PathSyntax syntax = platform::pathSyntax();
  const char cSep = syntax.cSeparator;
  const char cOtherSep = cSep == '\\' ? '/' : '\\';

  // A zero byte ends the path, as it would for the system call.
  std::string strCopy = path.substr(0, path.find('\0'));
  for (char& c : strCopy)
    if (c == cOtherSep) c = cSep;

  std::string strCurrent;
  std::string strRest;
  splitPrefix(strCopy, cSep, syntax.bDrivesAndShares, strCurrent, strRest);

  // The system is not asked first whether a directory exists: creating it and
  // accepting "already exists" also holds when another process creates the
  // same directory at the same moment. A file of that name passes too, and
  // the next component then fails; only for the last component, where no
  // next one would notice, is the existing entry checked to be a directory,
  // so that a file is never reported as the directory created.
  const StringList components = tokenize(strRest, std::string(1, cSep));
  for (StringList::size_type i = 0; i < components.size(); ++i) {
    strCurrent += components[i];
    const char* pszReason = nullptr;
    switch (platform::makeDirectory(strCurrent)) {
      case platform::MakeDirectoryResult::created:
        break;
      case platform::MakeDirectoryResult::alreadyExists:
        if (i + 1 == components.size() && !platform::isDirectory(strCurrent))
          pszReason = "an undocumented error occured";
        break;
      case platform::MakeDirectoryResult::pathNotFound:
        pszReason = "ERROR_PATH_NOT_FOUND";
        break;
      case platform::MakeDirectoryResult::otherError:
        pszReason = "an undocumented error occured";
        break;
    }
    strCurrent += cSep;
    if (pszReason != nullptr)
      throw Exception(4001, false,
                      "Failed to create directory <" + strCurrent + "> because <" + pszReason + ">");
  }
  return strCurrent;
}

}  // namespace Brimsel
