// Version: a four-part version number, and the library's own identity.
//
// A Version holds major, minor, release and build as signed ints. No part is
// limited: negative numbers are allowed, and -1 marks a part that fromText did
// not find. Ordering compares the parts as signed numbers, most significant
// first. Nothing here throws a Brimsel::Exception.
//
// product(), copyright() and version() name this library. Each object is built
// on the first call (several threads may make that call at once; each object
// is built exactly once) and the same object is returned ever after.
#ifndef BRIMSEL_VERSION_H
#define BRIMSEL_VERSION_H

#include <brimsel/export.h>

#include <string>

namespace Brimsel {

class BRIMSEL_API Version {
 public:
  Version(int nMajor = 0, int nMinor = 0, int nRelease = 0, int nBuild = 0);
  Version(const Version& other);
  // Copies the four numbers; assignment to itself changes nothing.
  const Version& operator=(const Version& other);
  virtual ~Version();

  int verMajor() const { return _nMajor; }
  int verMinor() const { return _nMinor; }
  int release() const { return _nRelease; }
  int build() const { return _nBuild; }

  bool operator==(const Version& other) const;
  bool operator!=(const Version& other) const;
  // Signed comparison of major, minor, release, build at the first pair that
  // differs.
  bool operator<(const Version& other) const;
  bool operator<=(const Version& other) const;
  bool operator>(const Version& other) const;
  bool operator>=(const Version& other) const;

  // How `other` stands to this version: +1 when `other` is newer, -1 when it
  // is older, 0 when equal as far as `depth` looks. Depth 0 compares the major
  // only, 1 also the minor, 2 also the release; 3 or any other value (negative
  // ones too) compares all four parts.
  int compare(const Version& other, int depth) const;

  // "major.minor.release.build", negative parts with their minus sign:
  // "3.0.1.0", "-1.-1.-1.-1".
  std::string text() const;
  // The short form "major.minor-release", followed by ".build" when the build
  // is not 0: "3.0-1", "3.0-1.7", "3.0-1.-1".
  std::string textLS() const;

  // Reads up to four runs of decimal digits from the text (up to its first
  // zero byte and no further than its first 128 characters); any run of other
  // characters, signs included, separates them. A run above 2147483647 reads
  // as 2147483647; parts not found are -1; text after the fourth number is
  // ignored. "3, 0, 1, 0" and "v3 r0 b1 x0" give 3.0.1.0, "-5" gives
  // (5, -1, -1, -1), "abc" gives (-1, -1, -1, -1).
  static Version fromText(const std::string& text);

 private:
  int _nMajor;
  int _nMinor;
  int _nRelease;
  int _nBuild;
};

// "Brimsel Foundation Class Library".
BRIMSEL_API const std::string& product();
// The library's copyright notice, one line of text.
BRIMSEL_API const std::string& copyright();
// The library's version, the same number its file carries (Windows version
// resource, Linux shared-object version).
BRIMSEL_API const Version& version();

}  // namespace Brimsel

#endif  // BRIMSEL_VERSION_H
