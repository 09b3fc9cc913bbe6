// SPDX-License-Identifier: MIT
/// \file
/// Version, a four-part version number, and the library's own identity:
/// product(), copyright() and version().
#ifndef BRIMSEL_VERSION_H
#define BRIMSEL_VERSION_H

#include <brimsel/export.h>

#include <string>

namespace Brimsel {

/// A four-part version number: major, minor, release and build.
///
/// The parts are signed ints. No part is limited: negative numbers are
/// allowed, and -1 marks a part that fromText() did not find. Ordering compares
/// the parts as signed numbers, most significant first. Nothing here throws a
/// Brimsel::Exception.
class BRIMSEL_API Version {
 public:
  /// The version `nMajor`.`nMinor`.`nRelease`.`nBuild`; 0.0.0.0 by default.
  Version(int nMajor = 0, int nMinor = 0, int nRelease = 0, int nBuild = 0);
  /// A copy of the four numbers of `other`.
  Version(const Version& other);
  /// Copies the four numbers; assignment to itself changes nothing.
  const Version& operator=(const Version& other);
  /// Destroys the value.
  virtual ~Version();

  /// The major number.
  int verMajor() const { return _nMajor; }
  /// The minor number.
  int verMinor() const { return _nMinor; }
  /// The release number.
  int release() const { return _nRelease; }
  /// The build number.
  int build() const { return _nBuild; }

  /// True when all four parts are equal.
  bool operator==(const Version& other) const;
  /// True when any of the four parts differ.
  bool operator!=(const Version& other) const;
  /// Signed comparison of major, minor, release, build at the first pair that
  /// differs.
  bool operator<(const Version& other) const;
  /// Equal, or this < `other`.
  bool operator<=(const Version& other) const;
  /// `other` < this.
  bool operator>(const Version& other) const;
  /// Equal, or `other` < this.
  bool operator>=(const Version& other) const;

  /// How `other` stands to this version: +1 when `other` is newer, -1 when it
  /// is older, 0 when equal as far as `depth` looks. Depth 0 compares the major
  /// only, 1 also the minor, 2 also the release; 3 or any other value (negative
  /// ones too) compares all four parts.
  int compare(const Version& other, int depth) const;

  /// "major.minor.release.build", negative parts with their minus sign:
  /// "3.0.1.0", "-1.-1.-1.-1".
  std::string text() const;
  /// The short form "major.minor-release", followed by ".build" when the build
  /// is not 0: "3.0-1", "3.0-1.7", "3.0-1.-1".
  std::string textLS() const;

  /// Reads up to four runs of decimal digits from the text (up to its first
  /// zero byte and no further than its first 128 characters); any run of other
  /// characters, signs included, separates them. A run above 2147483647 reads
  /// as 2147483647; parts not found are -1; text after the fourth number is
  /// ignored. "3, 0, 1, 0" and "v3 r0 b1 x0" give 3.0.1.0, "-5" gives
  /// (5, -1, -1, -1), "abc" gives (-1, -1, -1, -1).
  static Version fromText(const std::string& text);

 private:
  int _nMajor;
  int _nMinor;
  int _nRelease;
  int _nBuild;
};

/// The library's product name, "Brimsel Foundation Class Library". Built on
/// the first call (exactly once, also when several threads make that call at
/// once); the same object is returned ever after.
BRIMSEL_API const std::string& product();
/// The library's copyright notice, one line of text; built once like
/// product().
BRIMSEL_API const std::string& copyright();
/// The library's version, the same number its file carries (Windows version
/// resource, Linux shared-object version); built once like product().
BRIMSEL_API const Version& version();

}  // namespace Brimsel

#endif  // BRIMSEL_VERSION_H
