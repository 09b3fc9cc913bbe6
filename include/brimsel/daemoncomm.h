// SPDX-License-Identifier: MIT
/// \file
/// DaemonComm, the TCP client of a daemon.
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

namespace detail {
struct DaemonCommCore;
}  // namespace detail

/// The TCP client of a daemon.
///
/// A daemon takes text requests and answers with text messages over one TCP
/// stream; in both directions each message is its bytes followed by the byte
/// 0x04. A program makes one DaemonComm per daemon connection, gives it a
/// status callback, parses a connect string, connects, sends requests and
/// disconnects. Everything the daemon sends is read by a response thread of
/// the object's own, which hands each non-empty message to the virtual
/// processMessage(); the default passes it to the status callback with
/// #MESSAGE.
///
/// The connect string:
///
/// ~~~{.unparsed}
/// [user ":" password "@"] protocol ":" <2 bytes> host ":" port
/// ~~~
///
/// The protocol's colon and the two bytes after it (normally `://`, as in
/// `daemon://127.0.0.1:7000`) are skipped whatever they are; the port is read
/// like atoi (leading blanks, a sign, digits up to the first other byte; no
/// digits give 0; clamped to the range of int). parse() fails (returns false)
/// when the identification part has no colon, the connection part has fewer
/// than two colons, or the second colon is one of the two skipped bytes.
///
/// Contract:
///  - connect() raises Exception 1001 ("Failed to connect to daemon", not
///    fatal) with one of the legends "Connect string has not been parsed",
///    "Failed to start half the OS", "Unable to create the socket", "Failed to
///    resolve host", "Failed to connect to host" (also for a port outside
///    1..65535, before any attempt). After a failure there is no socket, no
///    thread, and isConnected() is false. While a connection is open, connect()
///    changes nothing and returns true: call disconnect() first to connect
///    elsewhere.
///  - createPingRequest() raises Exception 1002 ("Daemon is not connected",
///    not fatal) with the legend "Client is not connected to daemon" without a
///    connection. Nothing else raises.
///  - send() writes the message and a 0x04 completely and returns true, or
///    false when there is no connection or the write failed; it never raises
///    SIGPIPE. Messages sent by several threads at once never interleave.
///  - Every complete message is delivered as soon as its terminator has been
///    read; a trailing partial message waits for the rest. Received bytes are
///    kept exactly (a zero byte is an ordinary byte). Empty messages (two
///    terminators in a row) are not delivered. When a process-wide
///    EventLogger exists, each block of text delivered is first written as one
///    trace line (EventLogger::LAYER_CLIENT), terminators included.
///  - A processMessage() that raises loses only its own message. When the
///    delivery of a block fails otherwise, the callback gets #FAILURE with
///    "Exception caught processing stream", and that block is dropped (its
///    messages not yet delivered are lost, none is delivered twice); the
///    reading goes on with the text that follows it.
///  - When the daemon closes or resets the connection, or waiting on it
///    fails, the connection is given up (isConnected() false, send() false)
///    and the callback gets #FAILURE with the five-line text of a fatal
///    Exception 1002 with the legend "Server connection terminated
///    unexpectedly" (located at daemoncomm.cpp); it is reported, not raised.
///    A partial message received before is dropped.
///  - The callback and processMessage() run on the response thread, holding
///    the object's stop lock. From there they may call send(), disconnect()
///    (which then does not wait for the thread it runs on) and, after the
///    connection is gone, connect(); they must not destroy the object.
///  - disconnect() wakes the thread at once and returns when it has ended;
///    false when there was no connection. It first shuts the connection down,
///    so a send blocked on it (also one in the callback, under the stop lock)
///    fails at once. Any number of threads may call it at the same time:
///    exactly one of them returns true, and each returns once the thread has
///    ended. The destructor disconnects the same way, waits for disconnect()
///    calls already under way on other threads, and never lets the thread
///    outlive the object.
///  - parse() and the accessors are for the owner's thread, not guarded.
#if defined(_MSC_VER)
// The Mutex member is 16-byte aligned, and the members before it leave a gap
// that MSVC reports as padding (C4324) in every file that includes this one.
#pragma warning(push)
#pragma warning(disable : 4324)
#endif
class BRIMSEL_API DaemonComm {
 public:
  /// What a call of the status callback reports.
  enum Status {
    MESSAGE = 0,  ///< The text is one message from the daemon, without its 0x04.
    FAILURE = -1  ///< The text describes a failure of the connection or of a delivery.
  };
  /// The state of the ping request; createPingRequest() records it.
  enum PingStatus {
    PING_REQUESTED = 1  ///< A ping has been requested (also the initial state).
  };

  /// The status callback: called on the response thread with #MESSAGE and
  /// each message (by the default processMessage()), or with #FAILURE and a
  /// description of what went wrong. It must not destroy the DaemonComm.
  typedef void (*StatusCallback)(Status, const std::string&);

  /// Keeps `statusCallback`, which may be null (then nothing is reported),
  /// and starts Windows Sockets 1.1 when no DaemonComm of this process has
  /// yet. Raises nothing: a failed start is reported by connect(), and the
  /// next construction tries again.
  DaemonComm(StatusCallback statusCallback);
  /// Disconnects as disconnect() does and waits for the response thread, so
  /// that it never outlives the object. Raises nothing.
  virtual ~DaemonComm();

  DaemonComm(const DaemonComm&) = delete;
  DaemonComm& operator=(const DaemonComm&) = delete;

  /// Parses `connectString` as parse(const std::string&) does and checks
  /// its protocol against `protocol` (case matters). On a match, copies host,
  /// port, user and password out and returns true; otherwise returns false
  /// and leaves the outputs alone (a string that parsed still leaves the
  /// object parsed, with its settings). Raises nothing.
  virtual bool parse(std::string& user, std::string& password, std::string& host, int& port,
                     const std::string& connectString, const std::string& protocol);
  /// Parses `connectString` as parse(const std::string&) does, then copies
  /// protocol, host and port out whatever the outcome (empty, empty and -1
  /// after a failed parse). Returns parsedOk(). Raises nothing.
  virtual bool parse(std::string& protocol, std::string& host, int& port,
                     const std::string& connectString);
  /// Parses `connectString` (see the class description for its form) into
  /// the object's settings: protocol, host, port, user and password. Returns
  /// true on success, false when the string does not have that form. Every
  /// call first clears the settings, so a failed parse leaves the object
  /// unparsed (protocol and host empty, port -1). Raises nothing.
  virtual bool parse(const std::string& connectString);

  /// True when the last parse() succeeded; connect() needs it.
  bool parsedOk() const { return _bParsed; }
  /// The host of the last successful parse(), as written (a dotted IPv4
  /// address or a name); empty otherwise.
  const std::string& host() const { return _strHost; }
  /// The port of the last successful parse(), as read (it may lie outside
  /// 1..65535, which connect() refuses); -1 when the last parse() failed or
  /// none was made.
  int port() const { return _nPort; }
  /// The protocol of the last successful parse() (the text before its first
  /// colon, after the identification part); empty otherwise.
  const std::string& protocol() const { return _strProtocol; }

  /// Opens a TCP connection to host() and port() and starts the response
  /// thread. A dotted IPv4 host is used as it is; any other host is looked
  /// up. Returns true. While a connection is open, it is left as it is and
  /// true is returned (once the two checks below for a parsed string and
  /// started sockets have passed).
  /// \throws Exception 1001 ("Failed to connect to daemon", not fatal) with
  ///         the legend "Connect string has not been parsed" (parsedOk() is
  ///         false), "Failed to start half the OS" (Windows Sockets did not
  ///         start), "Unable to create the socket", "Failed to resolve host",
  ///         or "Failed to connect to host" (also for a port outside
  ///         1..65535, before any attempt). Nothing is left behind: no
  ///         socket, no thread, isConnected() false.
  bool connect();
  /// Ends the connection: shuts it down (a send blocked on it fails), wakes
  /// the response thread at once and returns when it has ended (when called
  /// from the response thread itself, it does not wait for it). Returns true
  /// when this call ended a connection, false when there was none (also when
  /// another thread's call ended it at the same time). Safe from any number
  /// of threads at once. Raises nothing; the status callback is not called.
  bool disconnect();
  /// Sends `message` followed by the byte 0x04, completely. Returns true when
  /// all of it was written, false when there is no connection or the write
  /// failed. Never raises SIGPIPE; messages sent by several threads at once
  /// never interleave. `message` must not contain 0x04, which would end it
  /// early at the daemon. Raises nothing.
  bool send(const std::string& message);
  /// Records a ping request (pingStatus() becomes #PING_REQUESTED) and
  /// returns true; nothing is sent on the connection.
  /// \throws Exception 1002 ("Daemon is not connected", not fatal) with the
  ///         legend "Client is not connected to daemon" when there is no
  ///         connection.
  bool createPingRequest();
  /// The state of the ping request; #PING_REQUESTED from construction on.
  PingStatus pingStatus() const { return _ePingStatus; }
  /// True from a successful connect() until disconnect(), the destructor or
  /// the loss of the connection.
  bool isConnected() const { return _bConnected; }

 protected:
  /// Called on the response thread, holding the stop lock, once for every
  /// non-empty message received, without its terminator. The default hands
  /// it to the status callback with #MESSAGE (nothing when the callback is
  /// null); a derived class that replaces it receives every message instead
  /// of the callback. What it raises is caught and dropped with that message
  /// alone. A derived class that replaces it must call disconnect() in its
  /// own destructor: the base destructor stops the response thread only after
  /// the derived part is gone, and the thread must not call into it then.
  virtual void processMessage(const std::string& message);
  /// Delivers a block of received text: writes `text` as one trace line
  /// (EventLogger::LAYER_CLIENT) when a process-wide logger exists, then
  /// calls processMessage() for every non-empty piece between 0x04 bytes, a
  /// last piece without terminator included. What processMessage() raises is
  /// dropped with its piece; a failure of the trace line (memory) propagates.
  void processStream(const std::string& text);

 private:
  // The connection machinery (the response thread, ending and joining
  // connections), in daemoncomm.cpp.
  friend struct detail::DaemonCommCore;

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

  // How many calls are joining this object's ended connections right now,
  // and how many disconnect() calls are under way: the destructor waits for
  // both. Guarded by a lock of daemoncomm.cpp, which also keeps the
  // connections themselves.
  int _nJoining;
  int _nDisconnecting;
  // Not used; with the two threads below they keep the size and layout the
  // class has had since 3.0.1.
  std::atomic<unsigned> _nReserved;
  // Keeps the bytes of concurrent sends apart, and a socket from being
  // closed under a send.
  std::mutex _mxSend;
  std::thread _reservedThread;
  std::thread _reservedRetired;

  static std::atomic<bool> _bWSStarted;
};
#if defined(_MSC_VER)
#pragma warning(pop)
#endif

}  // namespace Brimsel

#endif  // BRIMSEL_DAEMONCOMM_H
