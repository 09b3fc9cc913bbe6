// brimsel-demo: a short tour of the library for a person at a terminal.
#include <brimsel/brimsel.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

namespace {

void showText() {
  std::cout << "Text helpers\n";
  std::string line = "  \tkey = value\t ";
  std::cout << "  trim(\"  \\tkey = value\\t \") -> \"" << Brimsel::trim(line) << "\"\n";
  std::string csv = "red,green,,blue";
  std::cout << "  tokenize(\"" << csv << "\", ',') ->";
  for (const std::string& token : Brimsel::tokenize(csv, ',')) std::cout << " [" << token << "]";
  std::cout << "\n";
  std::string greeting = "hello world, hello brimsel";
  Brimsel::replace(greeting, "hello", "goodbye");
  std::cout << "  replace(hello -> goodbye) -> \"" << greeting << "\"\n\n";
}

void showCrc(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cout << "CRC-32: cannot read " << path << "\n\n";
    return;
  }
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const Brimsel::CrcRegister crc =
      Brimsel::crc32(0xFFFFFFFFu, bytes.data(), static_cast<Brimsel::CrcRegister>(bytes.size()));
  std::cout << "CRC-32/MPEG-2 of " << path << " (" << bytes.size() << " bytes): 0x" << std::hex
            << std::uppercase << crc << std::dec << "\n\n";
}

void showException() {
  std::cout << "An exception in its text form\n";
  try {
    throw Brimsel::Exception("demo.cpp", __LINE__, 4302, false, "string > Date");
  } catch (const Brimsel::Exception& e) {
    std::cout << e << "\n";
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::cout << "Brimsel demo\n============\n\n";
  showText();
  showCrc(argc > 1 ? argv[1] : argv[0]);
  showException();
  return 0;
}
