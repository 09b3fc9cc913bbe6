// SPDX-License-Identifier: MIT
// brimsel-tour: the quick tour of README.md. The README quotes the regions
// between the "[snippet:...]" markers of this file word for word
// (scripts/snippets.sh checks it), and the build runs this program as the
// test "tour", so every line of the tour compiles and runs. It needs no
// daemon and no special rights: the folders it makes lie below the temporary
// folder, and the daemon client shows how a refused connection is reported.
//
//   brimsel-tour        prints what each step gives, then "tour: done"
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <string>

// [snippet:include]
#include <brimsel/brimsel.h>
using namespace Brimsel;
// [/snippet]

namespace {

std::string folder;  // the tour's own folder below the temporary folder

// [snippet:text]
void errorsAndText() {
  std::string line = "  name = value\t";
  trim(line);                                // "name = value"
  StringList parts = tokenize(line, "= ");   // "name", "value"
  StringList cells = tokenize("a,,b", ',');  // "a", "", "b"
  std::string s = "aaa";
  replace(s, "aa", "b");  // "ba": left to right, no overlap

  unsigned char data[] = "123456789";
  CrcRegister crc = crc32(0xFFFFFFFFu, data, 9);  // 0x0376E6E7 (CRC-32/MPEG-2)

  try {
    std::string made = createPath(folder + "/app/cache");  // ".../app/cache/"
    std::cout << "created: " << made << '\n';
  } catch (const Exception& e) {
    std::cerr << e;  // Error Code=4001, Explanation=..., 5 lines
  }
  std::cout << "trimmed: " << line << '\n'
            << "parts: " << parts.size() << ", cells: " << cells.size() << ", replaced: " << s
            << '\n'
            << "crc: 0x" << std::hex << std::uppercase << std::setw(8) << std::setfill('0') << crc
            << std::dec << '\n';
}
// [/snippet]

// [snippet:identity]
void identity() {
  std::cout << product() << ' ' << version().text() << '\n';  // ... 3.0.1.0
  Version v = Version::fromText("v3 r0 b1");                  // 3.0.1.-1
  int newer = version().compare(Version(3, 1), 1);            // +1: 3.1 is newer
  Guid id = Guid::create();
  std::string text = id.asString();                                  // 36 upper-case characters
  double celsius = UnitConversions::FehCelConversion(212.0, false);  // about 100
  std::cout << v.text() << ' ' << newer << ' ' << text << ' ' << celsius << '\n';
}
// [/snippet]

// [snippet:calendar]
void calendar() {
  Timestamp t = Timestamp::fromText("2026-12-06 13:45:00");
  Timestamp utc = Timestamp::now(UTC), local = Timestamp::now(LOCAL);
  Timestamp end;  // Forever: the open end of a range
  bool open = end.isForever() && t < utc;
  std::cout << t.asText() << ", now " << utc.asText() << " UTC, " << local.asText() << " here, "
            << (open ? "open" : "closed") << '\n';
}
// [/snippet]

// [snippet:values]
void values() {
  VariableMap vars;
  vars["user"] = Variant(std::string("ada"));
  vars["count"] = Variant(3);
  std::string mail = expand("Hello $(user), you have $(count) messages.", vars);
  double d = Variant(std::string("2.5")).toDouble();  // "." whatever the locale
  Variant n = Variant::coerce(Variant(std::string("42")), Variant::vtInt);

  InitMap settings;
  settings["host"] = "localhost";
  std::string stored = settings.initString();  // tab-separated lines
  InitMap back = InitMap::fromInitString(stored);
  std::cout << "mail: " << mail << '\n' << d << ' ' << n.toInt() << ' ' << back["host"] << '\n';
}
// [/snippet]

// [snippet:threads]
struct Printer : Subscriber {
  void notify(Publisher*, int reason, void*) override {
    std::cout << "notified: " << reason << '\n';
  }
};

void threads() {
  Mutex mx("state");
  {
    Mutex::Lock lock(mx, "update");  // recursive; released when the block is left
  }
  Semaphore ready;
  ready.signal(false);
  bool got = ready.wait(1000);  // milliseconds; Semaphore::nINFINITE waits without limit

  Printer printer;
  Publisher subject;
  subject.addSubscriber(&printer);
  subject.changed(nullptr);  // printer.notify(&subject, Publisher::nREASON_CHANGED, nullptr)
  subject.removeSubscriber(&printer);
  std::cout << "signalled: " << got << '\n';
}
// [/snippet]

// [snippet:logging]
void onStatus(DaemonComm::Status status, const std::string& text) {
  std::cout << (status == DaemonComm::MESSAGE ? "< " : "lost: ") << text << '\n';
}

void loggingAndDaemon() {
  EventLogger logger("MyService");  // becomes EventLogger::theLogger()
  logger.setLevel(EventLogger::LEVEL_TRACE);
  bool logged = logger.logError("disk full", EventLogger::LAYER_SERVICE);  // false without a log

  DaemonComm client(onStatus);
  if (client.parse("daemon://127.0.0.1:7000")) {
    try {
      client.connect();     // raises when no daemon listens
      client.send("ping");  // replies arrive on the response thread
      client.disconnect();
    } catch (const Exception& e) {
      std::cout << "no daemon: " << e.legend() << '\n';  // "Failed to connect to host"
    }
  }
  std::cout << "logged: " << logged << '\n';
}
// [/snippet]

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    const std::string arg = argv[1];
    const bool help = arg == "-h" || arg == "--help";
    (help ? std::cout : std::cerr)
        << (help ? "" : "brimsel-tour: unknown argument \"" + arg + "\"\n")
        << "usage: brimsel-tour   (runs the README's quick tour)\n";
    return help ? 0 : 2;
  }
  std::error_code ignored;
  folder = (std::filesystem::temp_directory_path() / ("brimsel-tour-" + Guid::create().asString()))
               .string();
  errorsAndText();
  identity();
  calendar();
  values();
  threads();
  loggingAndDaemon();
  std::filesystem::remove_all(folder, ignored);
  std::cout << "tour: done\n";
  return 0;
}
