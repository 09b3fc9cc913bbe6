// SPDX-License-Identifier: MIT
#include <brimsel/exception.h>

#include <ostream>

#include "errortable.h"

namespace Brimsel {
namespace detail {

// Programs that use the library raise the codes it does not raise itself, so
// every entry stays even where nothing here refers to it.
const ErrorCodeEntry aErrorCodes[] = {
    {0, "See legend"},
    {1, "Improperly constructed exception"},
    {2, "Unknown"},
    {3, "Not Implemented"},
    {1001, "Failed to connect to daemon"},
    {1002, "Daemon is not connected"},
    {1003, "Daemon rejected authentication"},
    {2001, "Expected node not found in XML"},
    {2002, "Expected column not found in row"},
    {3001, "Bad substitution template."},
    {3002, "No such variable."},
    {4001, "Failed to create path."},
    {4100, "Failed to load shared object."},
    {4101, "Failed to locate symbol."},
    {4200, "Semaphore wait failed."},
    {4201, "Unknown/undocumented MS return code."},
    {4300, "Invalid Type."},
    {4301, "Type Mismatch."},
    {4302, "Coersion failed."},
    {0, nullptr},
};

}  // namespace detail

Exception::Exception() : _nLine(-1), _nCode(1), _bFatal(true) {}

Exception::Exception(const std::string& file, int line, int code, bool fatal,
                     const std::string& legend)
    : _strFile(file), _nLine(line), _nCode(code), _bFatal(fatal), _strLegend(legend) {}

Exception::Exception(int code, bool fatal, const std::string& legend)
    : _nLine(-1), _nCode(code), _bFatal(fatal), _strLegend(legend) {}

Exception::Exception(const Exception& other) = default;

const Exception& Exception::operator=(const Exception& other) {
  if (this != &other) {
    _strFile = other._strFile;
    _nLine = other._nLine;
    _nCode = other._nCode;
    _bFatal = other._bFatal;
    _strLegend = other._strLegend;
  }
  return *this;
}

Exception::~Exception() = default;

const std::string Exception::explainErrorCode(int code) {
  // A linear walk that stops at the closing entry; the order is not relied on.
  const detail::ErrorCodeEntry* p = detail::aErrorCodes;
  while (p->pszExplanation != nullptr && p->nCode != code) ++p;
  return p->pszExplanation != nullptr ? std::string(p->pszExplanation) : std::string();
}

}  // namespace Brimsel

std::ostream& operator<<(std::ostream& out, const Brimsel::Exception& e) {
  const std::string explanation = Brimsel::Exception::explainErrorCode(e.errorCode());
  out << "Error Code=" << e.errorCode() << '\n';
  out << "Explanation=\"" << explanation << "\"\n";
  out << "Fatal=" << (e.isFatal() ? "Y\n" : "N\n");
  out << "Legend=\"" << e.legend() << "\"\n";
  out << "Location=" << e.file() << " @ " << e.line() << '\n';
  return out;
}
