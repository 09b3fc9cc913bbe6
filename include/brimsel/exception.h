// Exception: the one error type of the Brimsel library.
//
// Every operation of the library that fails throws an Exception by value;
// catch it by reference. An Exception carries a numbered error code from the
// library's fixed table (see explainErrorCode), a fatal flag, a free-text
// legend describing this occurrence, and the source file and line of the
// raising site (empty and -1 when not given).
//
// Exception deliberately has no base class: it does not derive from
// std::exception, so a handler for the standard exceptions does not catch it.
// Its only virtual operation is the destructor. No operation of Exception
// throws an exception of its own (beyond memory exhaustion while copying its
// strings).
//
// The global operator<< writes the five-line text form:
//
//   Error Code=<code>
//   Explanation="<explanation of the code, empty if not in the table>"
//   Fatal=<Y|N>
//   Legend="<legend>"
//   Location=<file> @ <line>
//
// each line ended by a line feed alone; nothing is escaped and the stream is
// not flushed.
#ifndef BRIMSEL_EXCEPTION_H
#define BRIMSEL_EXCEPTION_H

#include <brimsel/export.h>

#include <iosfwd>
#include <string>

namespace Brimsel {

class BRIMSEL_API Exception {
 public:
  // The form that raising sites use: their own source file and line, the
  // error code, whether the failure is fatal, and the legend.
  Exception(const std::string& file, int line, int code, bool fatal, const std::string& legend);
  // Source file empty, source line -1.
  Exception(int code, bool fatal, const std::string& legend);
  Exception(const Exception& other);
  // Copies all five fields; assignment to itself changes nothing.
  const Exception& operator=(const Exception& other);
  virtual ~Exception();

  int errorCode() const { return _nCode; }
  const std::string& file() const { return _strFile; }
  int line() const { return _nLine; }
  bool isFatal() const { return _bFatal; }
  const std::string& legend() const { return _strLegend; }

  // The fixed explanation of `code` from the library's table, or the empty
  // string when the table has no such code.
  static const std::string explainErrorCode(int code);

 protected:
  // For classes built on Exception: source file empty, line -1, error code 1
  // ("Improperly constructed exception"), fatal, legend empty.
  Exception();

  std::string _strFile;
  int _nLine;
  int _nCode;
  bool _bFatal;
  std::string _strLegend;
};

}  // namespace Brimsel

// Writes the five-line text form of `e` (see above) and returns `out`.
BRIMSEL_API std::ostream& operator<<(std::ostream& out, const Brimsel::Exception& e);

#endif  // BRIMSEL_EXCEPTION_H
