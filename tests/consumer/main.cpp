// Links the installed library and checks a few results, so a wrong header,
// library or export shows up as a failure rather than a build that merely links.
#include <brimsel/brimsel.h>

#include <iostream>
#include <sstream>

int main() {
  unsigned char text[] = "123456789";
  if (Brimsel::crc32(0xFFFFFFFFu, text, 9) != 0x0376E6E7u) {
    std::cerr << "crc32 gave a wrong result\n";
    return 1;
  }
  std::string s = " \tx y ";
  if (Brimsel::trim(s) != "x y" || Brimsel::tokenize("a,,b", ',').size() != 3) {
    std::cerr << "text helpers gave a wrong result\n";
    return 1;
  }
  try {
    throw Brimsel::Exception(4302, false, "consumer");
  } catch (const Brimsel::Exception& e) {
    std::ostringstream out;
    out << e;
    if (out.str().find("Explanation=\"Coersion failed.\"\n") == std::string::npos) {
      std::cerr << "exception text is wrong:\n" << out.str();
      return 1;
    }
  }
  // Classes with virtual members: their vtables and typeinfo live in the
  // library, so a missing export fails the cast, the copies or the link.
  Brimsel::VariableMap variables;
  variables["who"] = Brimsel::Variant(std::string("world"));
  variables["n"] = Brimsel::Variant(42);
  if (Brimsel::expand("$(who) $(n)", variables) != "world 42") {
    std::cerr << "expand gave a wrong result\n";
    return 1;
  }
  const Brimsel::Variable named("x", Brimsel::Variant(7));
  const Brimsel::Variant& value = named;
  if (dynamic_cast<const Brimsel::Variable*>(&value) == nullptr || value.toInt() != 7) {
    std::cerr << "a Variable does not behave as one through its Variant base\n";
    return 1;
  }
  if (Brimsel::version().verMajor() != 3) {
    std::cerr << "the library reports version " << Brimsel::version().text() << "\n";
    return 1;
  }
  std::cout << "consumer: the installed Brimsel package works\n";
  return 0;
}
