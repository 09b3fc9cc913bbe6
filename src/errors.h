// SPDX-License-Identifier: MIT
// The library's error codes, their table, and how its exceptions name the
// place that raised them.
#ifndef BRIMSEL_SRC_ERRORS_H
#define BRIMSEL_SRC_ERRORS_H

namespace Brimsel {
namespace detail {

// Every code of the table; the library raises some of them, and programs
// that use it raise the others, so every entry stays.
enum ErrorCode : int {
  kSeeLegend = 0,
  kImproperlyConstructed = 1,
  kUnknown = 2,
  kNotImplemented = 3,
  kConnectFailed = 1001,
  kNotConnected = 1002,
  kAuthenticationRejected = 1003,
  kXmlNodeMissing = 2001,
  kColumnMissing = 2002,
  kBadTemplate = 3001,
  kNoSuchVariable = 3002,
  kCreatePathFailed = 4001,
  kLoadFailed = 4100,
  kSymbolMissing = 4101,
  kWaitFailed = 4200,
  kUnknownWaitResult = 4201,
  kInvalidType = 4300,
  kTypeMismatch = 4301,
  kCoercionFailed = 4302,
};

struct ErrorCodeEntry {
  int code;
  const char* explanation;  // null in the closing entry
};

// The table in its fixed order, closed by an entry whose explanation is null.
extern const ErrorCodeEntry kErrorCodes[];

// The name of the file at `path`, without its folders.
constexpr const char* baseName(const char* path) {
  const char* name = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '/' || *p == '\\') name = p + 1;
  }
  return name;
}

}  // namespace detail
}  // namespace Brimsel

// The raising site, as the five-argument Exception constructor takes it: the
// base name of its source file ("variant.cpp") and its line. Every exception
// that names its place names it so, the same wherever the library was built.
#define BRIMSEL_HERE ::Brimsel::detail::baseName(__FILE__), __LINE__

#endif  // BRIMSEL_SRC_ERRORS_H
