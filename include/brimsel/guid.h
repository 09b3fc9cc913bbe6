// SPDX-License-Identifier: MIT
/// \file
/// Guid, a 128-bit globally unique identifier, and the _GUID layout it keeps.
#ifndef BRIMSEL_GUID_H
#define BRIMSEL_GUID_H

#include <brimsel/export.h>

#include <string>

#if defined(_WIN32)
// The guard and the definition are those of the Windows SDK and mingw-w64
// (guiddef.h): whichever header comes first defines the type, the other one
// then leaves it alone.
#ifndef GUID_DEFINED
#define GUID_DEFINED
/// The platform's identifier layout: the type of the Windows headers, which
/// this header declares without including them.
typedef struct _GUID {
  unsigned long Data1;     ///< The first 32 bits, in the machine's byte order.
  unsigned short Data2;    ///< The next 16 bits, in the machine's byte order.
  unsigned short Data3;    ///< The next 16 bits, in the machine's byte order.
  unsigned char Data4[8];  ///< The last eight bytes, in order.
} GUID;
#endif
#else
#include <cstdint>

/// The platform's identifier layout, 16 bytes: on Windows the type of the
/// system headers (guiddef.h), which <brimsel/guid.h> declares without
/// including them, so that <windows.h> may come before or after it; elsewhere
/// a type of the same layout.
struct _GUID {
  std::uint32_t Data1;     ///< The first 32 bits, in the machine's byte order.
  std::uint16_t Data2;     ///< The next 16 bits, in the machine's byte order.
  std::uint16_t Data3;     ///< The next 16 bits, in the machine's byte order.
  unsigned char Data4[8];  ///< The last eight bytes, in order.
};
#endif

namespace Brimsel {

/// A value class around one 128-bit globally unique identifier.
///
/// The identifier is kept in the platform's `_GUID` layout: Data1 unsigned
/// 32-bit, Data2 and Data3 unsigned 16-bit (in the machine's byte order), then
/// the eight bytes of Data4; 16 bytes in all.
///
/// Text form: "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", upper-case hexadecimal
/// digits, no braces, always 36 characters. == and != compare the 16 bytes;
/// < and > follow the order of the system's identifier comparison: Data1,
/// Data2 and Data3 as unsigned numbers, then the bytes of Data4 in order.
///
/// Failures: fromString() never fails; a text that is no identifier gives
/// Guid::null. create() raises Exception with code 0 ("See legend") when the
/// system cannot supply a random identifier, rather than hand out a
/// predictable one. No other operation throws.
class BRIMSEL_API Guid {
 public:
  /// All 16 bytes zero, equal to null. Constant: null needs no start-up code.
  constexpr Guid() : _guid{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}} {}
  /// A copy of the identifier `guid`.
  Guid(const _GUID& guid);
  /// A copy of `other`'s identifier.
  Guid(const Guid& other);
  /// Copies the 16 bytes; assignment to itself changes nothing.
  const Guid& operator=(const Guid& other);
  /// Destroys the value.
  virtual ~Guid();

  /// True when all 16 bytes are equal.
  bool operator==(const Guid& other) const;
  /// True when any of the 16 bytes differ.
  bool operator!=(const Guid& other) const;
  /// Data1, Data2 and Data3 as unsigned numbers, then the bytes of Data4.
  bool operator<(const Guid& other) const;
  /// `other` < this, in the order of operator<().
  bool operator>(const Guid& other) const;

  /// The stored identifier, valid as long as this object.
  const _GUID& asGuid() const { return _guid; }
  /// The 36-character upper-case text form.
  std::string asString() const;

  /// A new random identifier from the system.
  /// \throws Exception 0 ("See legend", not fatal) when the system's random
  ///         source fails, with the legend "Failed to create a unique
  ///         identifier: " followed by the system's reason.
  static Guid create();
  /// The identifier written in the 36-character form (hexadecimal digits of
  /// either case, hyphens after the 8th, 12th, 16th and 20th digit), read up to
  /// the first zero byte. Any other text gives null; never throws.
  static Guid fromString(const std::string& text);

  /// The identifier of all zeros, "00000000-0000-0000-0000-000000000000".
  static const Guid null;

 private:
  _GUID _guid;
};

}  // namespace Brimsel

#endif  // BRIMSEL_GUID_H
