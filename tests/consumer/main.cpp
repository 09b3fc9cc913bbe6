// SPDX-License-Identifier: MIT
// The one program of every consumer project (find_package, pkg-config,
// add_subdirectory, FetchContent, the packages): links the library and checks
// a few results, so a wrong header, library or export shows up as a failure
// rather than a build that merely links.
#include <brimsel/brimsel.h>

#include <iostream>
#include <sstream>
#include <string>
#if defined(_WIN32) && defined(BRIMSEL_STATIC)
#include <windows.h>
#endif

namespace {

int failures = 0;

void check(bool ok, const std::string& what) {
  if (!ok) {
    std::cerr << what << " is wrong\n";
    ++failures;
  }
}

}  // namespace

int main() {
  unsigned char text[] = "123456789";
  check(Brimsel::crc32(0xFFFFFFFFu, text, 9) == 0x0376E6E7u, "crc32");
  std::string s = " \tx y ";
  check(Brimsel::trim(s) == "x y" && Brimsel::tokenize("a,,b", ',').size() == 3, "text helpers");
  std::ostringstream out;
  try {
    throw Brimsel::Exception(4302, false, "consumer");
  } catch (const Brimsel::Exception& e) {
    out << e;
  }
  check(out.str().find("Explanation=\"Coersion failed.\"\n") != std::string::npos, out.str());
  // Classes with virtual members: their vtables and typeinfo live in the
  // library, so a missing export fails the cast, the copies or the link.
  Brimsel::VariableMap variables;
  variables["who"] = Brimsel::Variant(std::string("world"));
  variables["n"] = Brimsel::Variant(42);
  check(Brimsel::expand("$(who) $(n)", variables) == "world 42", "expand");
  const Brimsel::Variable named("x", Brimsel::Variant(7));
  const Brimsel::Variant& value = named;
  check(dynamic_cast<const Brimsel::Variable*>(&value) != nullptr && value.toInt() == 7,
        "a Variable through its Variant base");
  // The headers' version macros name the library the program runs with.
  const Brimsel::Version& v = Brimsel::version();
  check(v.verMajor() == 3 && BRIMSEL_VERSION_MAJOR == v.verMajor() &&
            BRIMSEL_VERSION_MINOR == v.verMinor() && BRIMSEL_VERSION_PATCH == v.release() &&
            BRIMSEL_VERSION_TWEAK == v.build() &&
            BRIMSEL_VERSION ==
                ((v.verMajor() * 100 + v.verMinor()) * 100 + v.release()) * 100 + v.build(),
        "version " + v.text() + " against the headers' " + std::to_string(BRIMSEL_VERSION));
#if defined(_WIN32) && defined(BRIMSEL_STATIC)
  // Linked statically, the program itself carries the event log's messages.
  char message[128];
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, GetModuleHandleA(nullptr),
      0x40020106, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), message, sizeof message, nullptr);
  check(n != 0 && std::string(message).find("An Error was posted.") == 0,
        "the program's message table of the event log");
#endif
  if (failures != 0) return 1;
#if defined(BRIMSEL_STATIC)
  std::cout << "consumer: Brimsel " << v.text() << ", static library, works\n";
#else
  std::cout << "consumer: Brimsel " << v.text() << ", shared library, works\n";
#endif
  return 0;
}
