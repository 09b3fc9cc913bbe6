// SPDX-License-Identifier: MIT
// The connect string: its grammar, the three parse forms and the accessors.
#include <brimsel/daemoncomm.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>

using Brimsel::DaemonComm;

namespace {

TEST(ConnectString, Grammar) {
  const std::string n = std::string(1, '\0');
  struct Row {
    std::string text;
    bool ok;
    std::string protocol, host;
    int port;
    std::string user, password;
  } rows[] = {
      {"proto://hostA:7000", true, "proto", "hostA", 7000, "", ""},
      {"proto://hostA:7000x", true, "proto", "hostA", 7000, "", ""},
      {"proto://hostA:abc", true, "proto", "hostA", 0, "", ""},
      {"proto://:7000", true, "proto", "", 7000, "", ""},
      {"proto//hostA:7000", false, "", "", -1, "", ""},
      {"", false, "", "", -1, "", ""},
      // Identification part: the password keeps later colons; only the first
      // '@' ends it; without a colon before the '@' nothing is kept.
      {"alice:secret@proto://hostA:7000", true, "proto", "hostA", 7000, "alice", "secret"},
      {"alice:a:b@proto://hostA:7000", true, "proto", "hostA", 7000, "alice", "a:b"},
      {":@proto://h:1", true, "proto", "h", 1, "", ""},
      {"u:p@x@proto://h:1", true, "x@proto", "h", 1, "u", "p"},
      {"alice@proto://hostA:7000", false, "", "", -1, "", ""},
      // The two bytes after the protocol's colon are not looked at.
      {"proto:xyhostA:7000", true, "proto", "hostA", 7000, "", ""},
      {"proto:" + n + n + "hostA:7000", true, "proto", "hostA", 7000, "", ""},
      // A second colon among them leaves no host: the parse fails, reading
      // nothing beyond the string; right after them, the host is empty.
      {"proto::", false, "", "", -1, "", ""},
      {"proto:/:7000", false, "", "", -1, "", ""},
      {"u:p@a::", false, "", "", -1, "u", "p"},
      {"a:bc:5", true, "a", "", 5, "", ""},
      // The port reads like atoi, without a range test, clamped to int.
      {"p://h:70000", true, "p", "h", 70000, "", ""},
      {"p://h: \t+42", true, "p", "h", 42, "", ""},
      {"p://h:-5", true, "p", "h", -5, "", ""},
      {"p://h:+-1", true, "p", "h", 0, "", ""},
      {"p://h:12" + n + "34", true, "p", "h", 12, "", ""},
      {"p://h:99999999999999", true, "p", "h", INT_MAX, "", ""},
      {"p://h:-99999999999999", true, "p", "h", INT_MIN, "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    DaemonComm comm(nullptr);
    EXPECT_EQ(comm.parse(row.text), row.ok);
    EXPECT_EQ(comm.parsedOk(), row.ok);
    EXPECT_EQ(comm.protocol(), row.protocol);
    EXPECT_EQ(comm.host(), row.host);
    EXPECT_EQ(comm.port(), row.port);
    std::string user = "-", password = "-", host;
    int port = 0;
    if (row.ok) {
      EXPECT_TRUE(comm.parse(user, password, host, port, row.text, row.protocol));
      EXPECT_EQ(user, row.user);
      EXPECT_EQ(password, row.password);
    }
  }
}

TEST(ConnectString, SixAndFourArgumentForms) {
  DaemonComm comm(nullptr);
  std::string user = "u0", password = "p0", host = "h0", protocol = "x";
  int port = 1;
  EXPECT_TRUE(comm.parse(user, password, host, port, "bob:pw@daemon://hostB:81", "daemon"));
  EXPECT_EQ(user + password + host + std::to_string(port), "bobpwhostB81");

  // Another protocol, if only by letter case, or the object's own protocol
  // (which the parse replaces): false, the outputs alone, the object parsed.
  user = "u0", host = "h0", port = 1;
  EXPECT_FALSE(comm.parse(user, password, host, port, "bob:pw@Daemon://hostC:82", "daemon"));
  EXPECT_FALSE(comm.parse(user, password, host, port, "other://hostC:82", comm.protocol()));
  EXPECT_EQ(user + host + std::to_string(port), "u0h01");
  EXPECT_TRUE(comm.parsedOk());
  EXPECT_EQ(comm.host(), "hostC");

  // A bad string after a good one leaves nothing of the good one.
  EXPECT_FALSE(comm.parse(user, password, host, port, "nonsense", ""));
  EXPECT_EQ(host, "h0");
  EXPECT_FALSE(comm.parsedOk());
  EXPECT_EQ(comm.port(), -1);

  EXPECT_TRUE(comm.parse(protocol, host, port, "daemon://hostB:81"));
  EXPECT_EQ(protocol + host + std::to_string(port), "daemonhostB81");
  EXPECT_FALSE(comm.parse(protocol, host, port, "daemon//hostB:81"));
  EXPECT_EQ(protocol + host + std::to_string(port), "-1");
}

// A client with a grammar of its own, "host port": the longer forms use it.
class SpaceSeparated : public DaemonComm {
 public:
  SpaceSeparated() : DaemonComm(nullptr) {}
  using DaemonComm::parse;
  bool parse(const std::string& text) override {
    std::string::size_type blank = text.find(' ');
    return blank != std::string::npos &&
           DaemonComm::parse("own://" + text.substr(0, blank) + ":" + text.substr(blank + 1));
  }
};

TEST(ConnectString, LongerFormsUseTheDerivedGrammar) {
  SpaceSeparated comm;
  std::string protocol, host, user, password;
  int port = 0;
  EXPECT_TRUE(comm.parse(protocol, host, port, "hostD 8080"));
  EXPECT_EQ(protocol + host + std::to_string(port), "ownhostD8080");
  EXPECT_TRUE(comm.parse(user, password, host, port, "hostE 8081", "own"));
  EXPECT_EQ(host, "hostE");
}

}  // namespace
