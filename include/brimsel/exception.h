// SPDX-License-Identifier: MIT
/// \file
/// Exception, the one error type of the library, and its text form.
#ifndef BRIMSEL_EXCEPTION_H
#define BRIMSEL_EXCEPTION_H

#include <brimsel/export.h>

#include <iosfwd>
#include <string>

namespace Brimsel {

/// The one error type of the Brimsel library.
///
/// Every operation of the library that fails throws an Exception by value;
/// catch it by reference. An Exception carries a numbered error code from the
/// library's fixed table (see explainErrorCode()), a fatal flag, a free-text
/// legend describing this occurrence, and the source file and line of the
/// raising site (empty and -1 when not given).
///
/// Exception deliberately has no base class: it does not derive from
/// std::exception, so a handler for the standard exceptions does not catch it.
/// Its only virtual operation is the destructor. No operation of Exception
/// throws an exception of its own (beyond memory exhaustion while copying its
/// strings).
///
/// The codes of the table and their explanations:
///
/// | Code | Explanation                          |
/// |-----:|--------------------------------------|
/// |    0 | "See legend"                         |
/// |    1 | "Improperly constructed exception"   |
/// |    2 | "Unknown"                            |
/// |    3 | "Not Implemented"                    |
/// | 1001 | "Failed to connect to daemon"        |
/// | 1002 | "Daemon is not connected"            |
/// | 1003 | "Daemon rejected authentication"     |
/// | 2001 | "Expected node not found in XML"     |
/// | 2002 | "Expected column not found in row"   |
/// | 3001 | "Bad substitution template."         |
/// | 3002 | "No such variable."                  |
/// | 4001 | "Failed to create path."             |
/// | 4100 | "Failed to load shared object."      |
/// | 4101 | "Failed to locate symbol."           |
/// | 4200 | "Semaphore wait failed."             |
/// | 4201 | "Unknown/undocumented MS return code." |
/// | 4300 | "Invalid Type."                      |
/// | 4301 | "Type Mismatch."                     |
/// | 4302 | "Coersion failed."                   |
///
/// Date, Time and Timestamp raise the codes 1, 2 and 3 of their own
/// (Date::nINVALID_DATE, Time::nINVALID_TIME, Timestamp::nINVALID_TIMESTAMP);
/// the table keeps its own explanations for those numbers.
///
/// operator<<(std::ostream&, const Brimsel::Exception&) writes the five-line
/// text form:
///
/// ~~~{.unparsed}
/// Error Code=<code>
/// Explanation="<explanation of the code, empty if not in the table>"
/// Fatal=<Y|N>
/// Legend="<legend>"
/// Location=<file> @ <line>
/// ~~~
///
/// each line ended by a line feed alone; nothing is escaped and the stream is
/// not flushed.
class BRIMSEL_API Exception {
 public:
  /// The form that raising sites use: their own source file and line, the
  /// error code, whether the failure is fatal, and the legend.
  Exception(const std::string& file, int line, int code, bool fatal, const std::string& legend);
  /// Source file empty, source line -1.
  Exception(int code, bool fatal, const std::string& legend);
  /// Copies all five fields.
  Exception(const Exception& other);
  /// Copies all five fields; assignment to itself changes nothing.
  const Exception& operator=(const Exception& other);
  /// Destroys the exception; virtual so that derived classes are destroyed whole.
  virtual ~Exception();

  /// The error code, a number of the library's table (see explainErrorCode()).
  int errorCode() const { return _nCode; }
  /// The source file of the raising site; empty when not given.
  const std::string& file() const { return _strFile; }
  /// The source line of the raising site; -1 when not given.
  int line() const { return _nLine; }
  /// Whether the failure is fatal: the program cannot sensibly go on.
  bool isFatal() const { return _bFatal; }
  /// The free text that describes this occurrence.
  const std::string& legend() const { return _strLegend; }

  /// The fixed explanation of `code` from the library's table, or the empty
  /// string when the table has no such code.
  static const std::string explainErrorCode(int code);

 protected:
  /// For classes built on Exception: source file empty, line -1, error code 1
  /// ("Improperly constructed exception"), fatal, legend empty.
  Exception();

  std::string _strFile;    ///< The source file of the raising site, or empty.
  int _nLine;              ///< The source line of the raising site, or -1.
  int _nCode;              ///< The error code.
  bool _bFatal;            ///< Whether the failure is fatal.
  std::string _strLegend;  ///< The legend of this occurrence.
};

}  // namespace Brimsel

/// Writes the five-line text form of `e` (see Brimsel::Exception) to `out`
/// and returns `out`.
BRIMSEL_API std::ostream& operator<<(std::ostream& out, const Brimsel::Exception& e);

#endif  // BRIMSEL_EXCEPTION_H
