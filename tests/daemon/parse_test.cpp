// The connect string: its grammar, the three parse forms and the accessors.
#include <brimsel/daemoncomm.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>

using Brimsel::DaemonComm;

namespace {

struct Settings {
  bool ok;
  std::string protocol;
  std::string host;
  int port;
  std::string user;
  std::string password;
};

// Everything a parse left behind, read back through the public operations
// (the user name and password only come out of the six-argument form).
Settings parsed(const std::string& connectString) {
  DaemonComm comm(nullptr);
  Settings s;
  s.ok = comm.parse(connectString);
  EXPECT_EQ(s.ok, comm.parsedOk());
  s.protocol = comm.protocol();
  s.host = comm.host();
  s.port = comm.port();
  std::string host = "untouched", user = "untouched", password = "untouched";
  int port = 12345;
  if (comm.parse(user, password, host, port, connectString, s.protocol)) {
    s.user = user;
    s.password = password;
    EXPECT_EQ(host, s.host);
    EXPECT_EQ(port, s.port);
  } else {
    s.user = s.password = "(none)";
  }
  return s;
}

TEST(ConnectString, WorkedExamples) {
  struct Row {
    const char* text;
    bool ok;
    const char* protocol;
    const char* host;
    int port;
  } rows[] = {
      {"proto://hostA:7000", true, "proto", "hostA", 7000},
      {"proto://10.1.2.3:7000", true, "proto", "10.1.2.3", 7000},
      {"proto://hostA:7000x", true, "proto", "hostA", 7000},
      {"proto://hostA:abc", true, "proto", "hostA", 0},
      {"proto://:7000", true, "proto", "", 7000},
      {"proto//hostA:7000", false, "", "", -1},
      {"hostA", false, "", "", -1},
      {"", false, "", "", -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    Settings s = parsed(row.text);
    EXPECT_EQ(s.ok, row.ok);
    EXPECT_EQ(s.protocol, row.protocol);
    EXPECT_EQ(s.host, row.host);
    EXPECT_EQ(s.port, row.port);
    if (row.ok) {
      EXPECT_EQ(s.user, "");
      EXPECT_EQ(s.password, "");
    }
  }
}

TEST(ConnectString, IdentificationPart) {
  Settings s = parsed("alice:secret@proto://hostA:7000");
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.user, "alice");
  EXPECT_EQ(s.password, "secret");
  EXPECT_EQ(s.protocol, "proto");
  EXPECT_EQ(s.host, "hostA");
  EXPECT_EQ(s.port, 7000);

  // The password keeps every colon after the first; either part may be empty.
  s = parsed("alice:a:b:c@proto://hostA:7000");
  EXPECT_EQ(s.user, "alice");
  EXPECT_EQ(s.password, "a:b:c");
  s = parsed(":@proto://hostA:7000");
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.user, "");
  EXPECT_EQ(s.password, "");

  // Only the first '@' ends the identification part.
  s = parsed("u:p@x@proto://hostA:7000");
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.password, "p");
  EXPECT_EQ(s.protocol, "x@proto");
}

TEST(ConnectString, IdentificationWithoutColonFailsAndLeavesNothing) {
  // Also when the connection part after the '@' has colons of its own.
  for (const char* text : {"alice@proto://hostA:7000", "@proto://hostA:7000"}) {
    SCOPED_TRACE(text);
    DaemonComm comm(nullptr);
    EXPECT_FALSE(comm.parse(text));
    EXPECT_FALSE(comm.parsedOk());
    EXPECT_EQ(comm.protocol(), "");
    EXPECT_EQ(comm.host(), "");
    EXPECT_EQ(comm.port(), -1);
  }
}

TEST(ConnectString, TwoBytesAfterTheProtocolsColonAreNotExamined) {
  Settings slashes = parsed("proto://hostA:7000");
  Settings odd = parsed("proto:xyhostA:7000");
  EXPECT_TRUE(odd.ok);
  EXPECT_EQ(odd.host, slashes.host);
  EXPECT_EQ(odd.port, slashes.port);
  Settings zeros = parsed(std::string("proto:\0\0hostA:7000", 18));
  EXPECT_TRUE(zeros.ok);
  EXPECT_EQ(zeros.host, "hostA");
  EXPECT_EQ(zeros.port, 7000);
}

TEST(ConnectString, SecondColonAmongTheSkippedBytesFails) {
  // A host would have to start after its own end; nothing beyond the string
  // is read and the parse fails cleanly.
  for (const char* text : {"proto::", "proto::7000", "proto:/:7000", "a:b:", "x::", "u:p@a::"}) {
    SCOPED_TRACE(text);
    DaemonComm comm(nullptr);
    EXPECT_FALSE(comm.parse(text));
    EXPECT_EQ(comm.host(), "");
    EXPECT_EQ(comm.port(), -1);
  }
  // A colon right where the host would begin is an empty host.
  Settings s = parsed("a:bc:5");
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.host, "");
  EXPECT_EQ(s.port, 5);
  s = parsed("a:bc:");
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.port, 0);
}

TEST(ConnectString, PortIsReadLikeAtoiWithoutRangeTest) {
  struct Row {
    const char* text;
    int port;
  } rows[] = {
      {"p://h:70000", 70000},       {"p://h: \t+42", 42},     {"p://h:-5", -5},
      {"p://h:0", 0},               {"p://h:", 0},            {"p://h:+-1", 0},
      {"p://h:7000:8000", 7000},    {"p://h:99999999999999", INT_MAX},
      {"p://h:-99999999999999", INT_MIN},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    Settings s = parsed(row.text);
    EXPECT_TRUE(s.ok);
    EXPECT_EQ(s.port, row.port);
  }
  Settings s = parsed(std::string("p://h:12\0" "34", 11));
  EXPECT_EQ(s.port, 12);
}

TEST(ConnectString, SixArgumentFormChecksTheProtocol) {
  DaemonComm comm(nullptr);
  std::string user = "u0", password = "p0", host = "h0";
  int port = 1;
  EXPECT_TRUE(comm.parse(user, password, host, port, "bob:pw@daemon://hostB:81", "daemon"));
  EXPECT_EQ(user, "bob");
  EXPECT_EQ(password, "pw");
  EXPECT_EQ(host, "hostB");
  EXPECT_EQ(port, 81);

  // A different protocol, even by letter case only: false, outputs alone,
  // yet the object stays parsed with the new settings.
  user = "u0", password = "p0", host = "h0", port = 1;
  EXPECT_FALSE(comm.parse(user, password, host, port, "bob:pw@Daemon://hostC:82", "daemon"));
  EXPECT_EQ(user, "u0");
  EXPECT_EQ(password, "p0");
  EXPECT_EQ(host, "h0");
  EXPECT_EQ(port, 1);
  EXPECT_TRUE(comm.parsedOk());
  EXPECT_EQ(comm.host(), "hostC");

  // The wanted protocol may be the object's own, which the parse replaces.
  ASSERT_TRUE(comm.parse("daemon://hostB:81"));
  EXPECT_FALSE(comm.parse(user, password, host, port, "other://hostC:82", comm.protocol()));
  EXPECT_EQ(host, "h0");

  // An unparsable string: false, outputs alone.
  EXPECT_FALSE(comm.parse(user, password, host, port, "nonsense", ""));
  EXPECT_EQ(host, "h0");
  EXPECT_FALSE(comm.parsedOk());
}

TEST(ConnectString, FourArgumentFormAlwaysCopiesOut) {
  DaemonComm comm(nullptr);
  std::string protocol = "x", host = "y";
  int port = 9;
  EXPECT_TRUE(comm.parse(protocol, host, port, "daemon://hostB:81"));
  EXPECT_EQ(protocol, "daemon");
  EXPECT_EQ(host, "hostB");
  EXPECT_EQ(port, 81);
  EXPECT_FALSE(comm.parse(protocol, host, port, "daemon//hostB:81"));
  EXPECT_EQ(protocol, "");
  EXPECT_EQ(host, "");
  EXPECT_EQ(port, -1);
}

TEST(ConnectString, BadStringAfterGoodOneLeavesObjectUnparsed) {
  DaemonComm comm(nullptr);
  ASSERT_TRUE(comm.parse("u:p@proto://hostA:7000"));
  EXPECT_FALSE(comm.parse("proto://hostA"));
  EXPECT_FALSE(comm.parsedOk());
  EXPECT_EQ(comm.host(), "");
  EXPECT_EQ(comm.port(), -1);
  std::string user = "kept", password = "kept", host;
  int port = 0;
  EXPECT_FALSE(comm.parse(user, password, host, port, "proto://hostA", "proto"));
  EXPECT_EQ(user, "kept");
}

// A client with a grammar of its own: "host port".
class SpaceSeparated : public DaemonComm {
 public:
  SpaceSeparated() : DaemonComm(nullptr) {}
  int calls = 0;
  bool parse(const std::string& text) override {
    ++calls;
    std::string::size_type blank = text.find(' ');
    if (blank == std::string::npos) return false;
    return DaemonComm::parse("own://" + text.substr(0, blank) + ":" + text.substr(blank + 1));
  }
  using DaemonComm::parse;
};

TEST(ConnectString, LongerFormsUseTheDerivedGrammar) {
  SpaceSeparated comm;
  std::string protocol, host;
  int port = 0;
  EXPECT_TRUE(comm.parse(protocol, host, port, "hostD 8080"));
  EXPECT_EQ(protocol, "own");
  EXPECT_EQ(host, "hostD");
  EXPECT_EQ(port, 8080);
  std::string user, password;
  EXPECT_TRUE(comm.parse(user, password, host, port, "hostE 8081", "own"));
  EXPECT_EQ(host, "hostE");
  EXPECT_EQ(comm.calls, 2);
}

}  // namespace
