// SPDX-License-Identifier: MIT
// The library's table of error codes (internal: the tests link it through brimsel_internal).
#ifndef BRIMSEL_SRC_ERRORTABLE_H
#define BRIMSEL_SRC_ERRORTABLE_H


namespace Brimsel {
namespace detail {

struct ErrorCodeEntry {
  int nCode;
  const char* pszExplanation;  // null in the closing entry
};

// The table in its fixed order, closed by an entry whose explanation is null.
extern const ErrorCodeEntry aErrorCodes[];

}  // namespace detail
}  // namespace Brimsel

#endif  // BRIMSEL_SRC_ERRORTABLE_H
