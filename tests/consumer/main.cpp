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
  std::cout << "consumer: the installed Brimsel package works\n";
  return 0;
}
