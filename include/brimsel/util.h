/// \file
/// Text helpers, the string list, CRC-32, createPath() and expand().
///
/// All text is handled as bytes in std::string; no character set is assumed.
/// White space for the trimming functions is exactly the blank (0x20) and the
/// horizontal tab (0x09). None of the text helpers throws a Brimsel::Exception;
/// only the standard library's own failures (memory exhaustion) can escape, and
/// then the string being changed is left as it was.
#ifndef BRIMSEL_UTIL_H
#define BRIMSEL_UTIL_H

#include <brimsel/export.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace Brimsel {

/// The library's list of strings: a std::vector<std::string> under its own
/// name, with every operation of the vector.
///
/// It adds no fields and no virtual operations (and has no virtual destructor:
/// do not delete it through a pointer to the vector).
class StringList : public std::vector<std::string> {
 public:
  /// An empty list.
  StringList() = default;
  /// A copy of every string of the other list.
  StringList(const StringList&) = default;
  /// Takes over the strings of the other list.
  StringList(StringList&&) noexcept = default;
  /// Replaces the strings by copies of the other list's.
  StringList& operator=(const StringList&) = default;
  /// Replaces the strings by those of the other list.
  StringList& operator=(StringList&&) noexcept = default;
  /// Destroys the list and its strings.
  ~StringList() = default;
};

/// Removes leading blanks and tabs from `s` in place and returns `s`. A string
/// made only of blanks and tabs becomes empty.
BRIMSEL_API std::string& ltrim(std::string& s);
/// Removes trailing blanks and tabs from `s` in place and returns `s`. A string
/// made only of blanks and tabs becomes empty.
BRIMSEL_API std::string& rtrim(std::string& s);
/// rtrim(), then ltrim(), of the same string; returns `s`. Carriage returns,
/// line feeds and other control characters are kept.
BRIMSEL_API std::string& trim(std::string& s);

/// Replaces every occurrence of `from` in `s` by `to`, in place.
///
/// Occurrences are taken left to right without overlap, and text just inserted
/// is never searched again: "aaa" with "aa" -> "b" gives "ba"; "aa" with "a"
/// -> "aa" gives "aaaa"; "aabb" with "ab" -> "" gives "ab". An empty `from`
/// changes nothing. Runs in one pass, linear in the size of `s` and the result.
BRIMSEL_API void replace(std::string& s, const std::string& from, const std::string& to);

/// Splits `s` at any character of `delimiters`.
///
/// Leading, trailing and repeated delimiters yield no tokens (",a,,b," at ","
/// gives "a", "b"; a string made only of delimiters gives an empty list),
/// except that the empty string gives one empty token. With an empty delimiter
/// set a non-empty `s` is one token. Tokens are not trimmed.
BRIMSEL_API StringList tokenize(const std::string& s, const std::string& delimiters);
/// Splits `s` at every `delimiter`, keeping empty tokens: "a,,b" gives "a", "",
/// "b"; "a," gives "a", ""; the empty string gives one empty token.
BRIMSEL_API StringList tokenize(const std::string& s, char delimiter);

/// The 32-bit CRC register: unsigned long where that is 32 bits wide (Windows),
/// otherwise a 32-bit unsigned type, so that the register never holds more.
#if ULONG_MAX == 0xFFFFFFFFUL
typedef unsigned long CrcRegister;
#else
typedef std::uint32_t CrcRegister;
#endif

/// Runs the CRC-32 register `crc` (polynomial 0x04C11DB7, most significant bit
/// first) over `len` bytes from `buf` and returns the updated register.
///
/// The register is neither inverted before the first byte nor after the last:
/// the caller chooses the starting value and any final XOR. From 0xFFFFFFFF
/// over "123456789" it gives 0x0376E6E7 (CRC-32/MPEG-2); with a final XOR of
/// 0xFFFFFFFF, 0xFC891918 (CRC-32/BZIP2). A `len` of 0 returns `crc`; calls
/// chain (two pieces give the same result as the whole). Allocates nothing,
/// never throws; safe to call from many threads at once. The buffer is only
/// read.
BRIMSEL_API CrcRegister crc32(CrcRegister crc, unsigned char* buf, CrcRegister len);

/// Creates every directory along `path` that does not exist yet, outermost
/// first, and returns the path as created: the separators made uniform and one
/// after every component.
///
/// Forward slashes and backslashes both separate; repeated ones count as one.
/// Directories that exist already are accepted, so concurrent calls on
/// overlapping paths do not fail on each other. A file in the way is passed
/// over like a directory, and the next component then fails; a file as the
/// last component fails itself ("an undocumented error occured"), so a file is
/// never returned as the directory asked for.
///
/// On Windows the result uses backslashes (`C:/data/logs` gives
/// `C:\data\logs\`). What comes before the first component created is taken
/// as existing and never created: the drive `C:\` (or `C:dir\` of a
/// drive-relative path), the share `\\server\share\`, or the `\` of a path
/// rooted on the current drive. On Linux the result uses '/', a leading
/// separator makes the path absolute ("/"), and there are no drives or shares.
///
/// \throws Exception 4001 ("Failed to create path.", not fatal, without source
///         file and line) when a directory cannot be created. The legend is
///         `"Failed to create directory <" + pathSoFar + "> because <" +
///         reason + ">"`, the angle brackets included, where pathSoFar is the
///         path up to the failing component ending in its separator, and the
///         reason is "ERROR_PATH_NOT_FOUND" when a parent is missing (or not a
///         directory) and "an undocumented error occured" otherwise.
///         Directories created before the failure stay.
BRIMSEL_API std::string createPath(const std::string& path);

class VariableMap;  // <brimsel/variable.h>

/// Returns `text` with every reference "$(name)" replaced by the text
/// (Variant::toString()) of the value stored under `name` in `variables`.
///
/// The name is everything between "$(" and the first ")" after it, taken
/// literally (it may be empty or hold "$("). Substituted texts are expanded in
/// their turn, and the result is the same as replacing the leftmost reference
/// and searching again from the front until none is left; so a "$" just before
/// a reference whose text begins with "(" opens a new reference with it. There
/// is no escape. The work is linear in the size of the text when the values
/// hold no references.
///
/// Two rules stop expansions that would not end or would not fit in memory:
///  - Cycles: a reference to a name whose value is already being expanded
///    (the reference lies inside that value's text, directly or through the
///    texts of other values it pulled in) would repeat without end; it stops
///    the expansion at once. A name may be used again beside its own text or
///    after it, as often as wanted.
///  - Amplification: the text put in for references is counted, each value's
///    text every time it is put in (at least one character per reference),
///    starting from the size of `text`. Once that count exceeds both 16 MiB
///    and 100 times the size of the inputs (`text` plus the text of each
///    distinct value used, counted once), the expansion stops. The count is
///    never smaller than the result, so ordinary large results (a 32 MiB
///    value used three times) expand, while values that multiply (ten levels
///    of ten references each) stop long before memory runs out.
/// Memory stays proportional to the inputs and the result.
///
/// Every failure leaves nothing half-done:
/// \throws Exception 3001 ("Bad substitution template.", not fatal) with
///         `text` as the legend, for a "$(" without a ")" behind it, for a
///         cycle, and for an expansion beyond the amplification bound.
/// \throws Exception 3002 ("No such variable.", not fatal) with the name as
///         the legend.
/// \throws Exception 4301 ("Type Mismatch.", not fatal) from
///         Variant::toString() for a vtNone or vtBinary value, with the
///         legend "None > string" or "Binary > string".
BRIMSEL_API std::string expand(const std::string& text, const VariableMap& variables);

}  // namespace Brimsel

#endif  // BRIMSEL_UTIL_H
