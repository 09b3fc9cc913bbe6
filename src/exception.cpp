// SPDX-License-Identifier: MIT
#include <brimsel/exception.h>

#include <ostream>

#include "errors.h"

namespace Brimsel {
namespace detail {

const ErrorCodeEntry kErrorCodes[] = {
    {kSeeLegend, "See legend"},
    {kImproperlyConstructed, "Improperly constructed exception"},
    {kUnknown, "Unknown"},
    {kNotImplemented, "Not Implemented"},
    {kConnectFailed, "Failed to connect to daemon"},
    {kNotConnected, "Daemon is not connected"},
    {kAuthenticationRejected, "Daemon rejected authentication"},
    {kXmlNodeMissing, "Expected node not found in XML"},
    {kColumnMissing, "Expected column not found in row"},
    {kBadTemplate, "Bad substitution template."},
    {kNoSuchVariable, "No such variable."},
    {kCreatePathFailed, "Failed to create path."},
    {kLoadFailed, "Failed to load shared object."},
    {kSymbolMissing, "Failed to locate symbol."},
    {kWaitFailed, "Semaphore wait failed."},
    {kUnknownWaitResult, "Unknown/undocumented MS return code."},
    {kInvalidType, "Invalid Type."},
    {kTypeMismatch, "Type Mismatch."},
    {kCoercionFailed, "Coersion failed."},
    {kSeeLegend, nullptr},
};

}  // namespace detail

Exception::Exception() : _nLine(-1), _nCode(detail::kImproperlyConstructed), _bFatal(true) {}

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
  const detail::ErrorCodeEntry* p = detail::kErrorCodes;
  while (p->explanation != nullptr && p->code != code) ++p;
  return p->explanation != nullptr ? std::string(p->explanation) : std::string();
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
