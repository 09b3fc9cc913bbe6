// DaemonComm: the TCP client of a daemon.
//
// A daemon takes text requests and answers with text messages over one TCP
// stream; in both directions each message is its bytes followed by the byte
// 0x04. A program makes one DaemonComm per daemon connection, gives it a
// status callback, parses a connect string, connects, sends requests and
// disconnects. Everything the daemon sends is read by a response thread of
// the object's own, which hands each non-empty message to the virtual
// processMessage; the default passes it to the status callback with MESSAGE.
//
// Connect string: [user ":" password "@"] protocol ":" 2 bytes host ":" port.
// The protocol's colon and the two bytes after it (normally "://") are
// skipped whatever they are; the port is read like atoi (leading blanks, a
// sign, digits up to the first other byte; no digits give 0; clamped to the
// range of int). parse fails (returns false) when the identification part has
// no colon, the connection part has fewer than two colons, or the second
// colon is one of the two skipped bytes.
//
// Contract:
//  - connect raises Exception 1001 (not fatal) with one of the legends
//    "Connect string has not been parsed", "Failed to start half the OS",
//    "Unable to create the socket", "Failed to resolve host", "Failed to
//    connect to host" (also for a port outside 1..65535, before any attempt).
//    After a failure there is no socket, no thread, and isConnected() is
//    false. While a connection is open, connect changes nothing and returns
//    true: call disconnect first to connect elsewhere.
//  - createPingRequest raises Exception 1002 "Client is not connected to
//    daemon" (not fatal) without a connection. Nothing else raises.
//  - send writes the message and a 0x04 completely and returns true, or
//    false when there is no connection or the write failed; it never raises
//    SIGPIPE. Messages sent by several threads at once never interleave.
//  - Every complete message is delivered as soon as its terminator has been
//    read; a trailing partial message waits for the rest. Received bytes are
//    kept exactly (a zero byte is an ordinary byte). Empty messages (two
//    terminators in a row) are not delivered. When a process-wide
//    EventLogger exists, each block of text delivered is first written as one
//    trace line (layer 3), terminators included.
//  - A processMessage that raises loses only its own message. When the
//    delivery of a block fails otherwise, the callback gets FAILURE with
//    "Exception caught processing stream", and that block is dropped (its
//    messages not yet delivered are lost, none is delivered twice); the
//    reading goes on with the text that follows it.
//  - When the daemon closes or resets the connection, or waiting on it
//    fails, the connection is given up (isConnected() false, send false) and
//    the callback gets FAILURE with the five-line text of a fatal Exception
//    1002 with legend "Server connection terminated unexpectedly" (located
//    at daemoncomm.cpp). A partial message received before is dropped.
//  - The callback and processMessage run on the response thread, holding the
//    object's stop lock. From there they may call send, disconnect (which then
//    does not wait for the thread it runs on) and, after the connection is
//    gone, connect; they must not destroy the object.
//  - disconnect wakes the thread at once and returns when it has ended;
//    false when there was no connection. The destructor disconnects the same
//    way and never lets the thread outlive the object.
//  - parse and the accessors are for the owner's thread, not guarded.
#ifndef BRIMSEL_DAEMONCOMM_H
#define BRIMSEL_DAEMONCOMM_H

#include <brimsel/export.h>
#include <brimsel/mutex.h>

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>

namespace Brimsel {

class BRIMSEL_API DaemonComm {
 public:
  enum Status { MESSAGE = 0, FAILURE = -1 };
  enum PingStatus { PING_REQUESTED = 1 };

  typedef void (*StatusCallback)(Status, const std::string&);

  // Starts Windows Sockets 1.1 when no DaemonComm of this process has yet.
  // `statusCallback` may be null; then nothing is reported.
  explicit DaemonComm(StatusCallback statusCallback);
  virtual ~DaemonComm();

  DaemonComm(const DaemonComm&) = delete;
  DaemonComm& operator=(const DaemonComm&) = delete;

  // With a matching protocol (case matters) copies host, port, user and
  // password out and returns true; otherwise returns false and leaves the
  // outputs alone (a string that parsed still leaves the object parsed).
  virtual bool parse(std::string& user, std::string& password, std::string& host, int& port,
                     const std::string& connectString, const std::string& protocol);
  // Copies protocol, host and port out whatever the outcome (empty, empty and
  // -1 after a failed parse) and returns parsedOk().
  virtual bool parse(std::string& protocol, std::string& host, int& port,
                     const std::string& connectString);
  // Parses `connectString` into the settings; true on success. Every call
  // first clears the settings, so a failed parse leaves the object unparsed.
  virtual bool parse(const std::string& connectString);

  bool parsedOk() const { return _bParsed; }
  const std::string& host() const { return _strHost; }
  int port() const { return _nPort; }
  const std::string& protocol() const { return _strProtocol; }

  bool connect();
  bool disconnect();
  bool send(const std::string& message);
  bool createPingRequest();
  PingStatus pingStatus() const { return _ePingStatus; }
  bool isConnected() const { return _bConnected; }

 protected:
  // Called on the response thread for every non-empty message, without its
  // terminator. The default hands it to the status callback with MESSAGE.
  virtual void processMessage(const std::string& message);
  // Writes `text` as one trace line when a process-wide logger exists, then
  // calls processMessage for every non-empty piece between 0x04 bytes. What
  // processMessage raises is dropped with its piece.
  void processStream(const std::string& text);

 private:
  struct Link {
    int nSocket;
    int nWakeReceive;
    int nWakeSignal;
    unsigned nGeneration;
  };

  void responseThread(Link link);
  void deliver(const char* text, std::size_t length, std::string& piece);
  bool isCurrent(unsigned generation) const;
  void giveUp(unsigned generation);
  void report(Status status, const std::string& text);
  void reapThreads();

  std::atomic<int> _nSocket;
  std::atomic<bool> _bRunning;
  std::atomic<bool> _bStop;
  std::atomic<bool> _bConnected;
  bool _bParsed;
  StatusCallback _pfnStatus;
  Mutex _mxStop;
  std::string _strHost;
  int _nPort;
  PingStatus _ePingStatus;
  std::string _strProtocol;
  std::string _strUser;
  std::string _strPassword;

  // The wake-up channel of the current connection; -1 when there is none.
  int _nWakeReceive;
  int _nWakeSignal;
  // Counts connections, so that a thread of an earlier one never takes a
  // later one for its own.
  std::atomic<unsigned> _nGeneration;
  // Keeps the bytes of concurrent sends apart, and a socket from being
  // closed under a send.
  std::mutex _mxSend;
  std::thread _thread;
  // A response thread that started a new connection from its own callback,
  // and so could not be joined by it.
  std::thread _retired;

  static std::atomic<bool> _bWSStarted;
};

}  // namespace Brimsel

#endif  // BRIMSEL_DAEMONCOMM_H
