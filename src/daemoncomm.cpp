// SPDX-License-Identifier: MIT
#include <brimsel/daemoncomm.h>

#include <brimsel/eventlogger.h>
#include <brimsel/exception.h>

#include <climits>
#include <cstring>
#include <sstream>
#include <system_error>
#include <vector>

#include "daemoncomm_internal.h"
#include "platform/socket.h"

namespace Brimsel {

namespace {

// The source file named in the exceptions raised and reported here: a fixed
// name rather than the build's path, so that the text is the same wherever
// the library was built.
const char* const kSourceFile = "daemoncomm.cpp";

const char kTerminator = '\x04';

// Each read asks for up to this much; the buffer is reused from read to read.
const std::size_t kReadSize = 256 * 1024;

// atoi without its undefined overflow: leading white space, one sign, then
// decimal digits up to the first other byte; no digits give 0; values beyond
// the range of int are clamped to it.
int readPort(const std::string& text, std::size_t from) {
  std::size_t i = from;
  const std::size_t n = text.size();
  while (i < n && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (text[i] - '0');
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

std::atomic<int> nSocketStarts(0);

[[noreturn]] void failConnect(int line, const char* legend) {
  throw Exception(kSourceFile, line, 1001, false, legend);
}

}  // namespace

std::atomic<bool> DaemonComm::_bWSStarted(false);

int detail::socketStartCount() { return nSocketStarts.load(); }

DaemonComm::DaemonComm(StatusCallback statusCallback)
    : _nSocket(-1),
      _bRunning(false),
      _bStop(false),
      _bConnected(false),
      _bParsed(false),
      _pfnStatus(statusCallback),
      _mxStop("DaemonComm::_mxStop"),
      _nPort(-1),
      _ePingStatus(PING_REQUESTED),
      _nWakeReceive(-1),
      _nWakeSignal(-1),
      _nGeneration(0) {
  // Started once per process and never stopped; a failure is reported by
  // connect, and the next construction tries again.
  if (!_bWSStarted.load()) {
    static std::mutex startGuard;
    std::lock_guard<std::mutex> guard(startGuard);
    if (!_bWSStarted.load() && platform::startSockets()) {
      ++nSocketStarts;
      _bWSStarted.store(true);
    }
  }
}

DaemonComm::~DaemonComm() {
  {
    Mutex::Lock guard(_mxStop, "DaemonComm::~DaemonComm");
    _bStop = true;
    _bConnected = false;
    int s = _nSocket.exchange(-1);
    if (s != -1) wakeThread(s);
  }
  reapThreads();
  // Destroying the object from its own callback is outside the contract; the
  // thread could not be waited for, so it is let go rather than aborting.
  if (_thread.joinable()) _thread.detach();
  if (_retired.joinable()) _retired.detach();
}

// --- connect string ---

bool DaemonComm::parse(const std::string& s) {
  _bParsed = false;
  _strProtocol.clear();
  _strHost.clear();
  _strUser.clear();
  _strPassword.clear();
  _nPort = -1;

  std::size_t start = 0;
  std::size_t at = s.find('@');
  if (at != std::string::npos) {
    std::size_t c = s.find(':');
    if (c == std::string::npos || c > at) return false;
    _strUser.assign(s, 0, c);
    _strPassword.assign(s, c + 1, at - c - 1);
    start = at + 1;
  }
  std::size_t p = s.find(':', start);
  if (p == std::string::npos) return false;
  std::size_t q = s.find(':', p + 1);
  if (q == std::string::npos) return false;
  // The host starts after the colon and the two bytes that follow it; a
  // second colon among those has no host after it.
  if (q < p + 3) return false;
  _strProtocol.assign(s, start, p - start);
  _strHost.assign(s, p + 3, q - p - 3);
  _nPort = readPort(s, q + 1);
  _bParsed = true;
  return true;
}

bool DaemonComm::parse(std::string& user, std::string& password, std::string& host, int& port,
                       const std::string& connectString, const std::string& protocol) {
  // Copied first: the caller may pass protocol() itself, which parse clears.
  const std::string wanted(protocol);
  if (!parse(connectString)) return false;
  if (_strProtocol != wanted) return false;
  host = _strHost;
  port = _nPort;
  user = _strUser;
  password = _strPassword;
  return true;
}

bool DaemonComm::parse(std::string& protocol, std::string& host, int& port,
                       const std::string& connectString) {
  parse(connectString);
  protocol = _strProtocol;
  host = _strHost;
  port = _nPort;
  return parsedOk();
}

// --- connection ---

bool DaemonComm::connect() {
  if (!_bParsed) failConnect(__LINE__, "Connect string has not been parsed");
  if (!_bWSStarted.load()) failConnect(__LINE__, "Failed to start half the OS");
  if (_nSocket.load() != -1) return true;
  // Only the low 16 bits would reach the wire: 70000 would quietly become 4464.
  if (_nPort < 1 || _nPort > 65535) failConnect(__LINE__, "Failed to connect to host");

  // The thread of the previous connection has been told to stop (or stopped
  // by itself); wait for it, unless this is that very thread, calling from
  // its callback: it ends as soon as the callback returns.
  if (_thread.joinable()) {
    if (_thread.get_id() == std::this_thread::get_id()) {
      if (_retired.joinable()) _retired.join();
      _retired = std::move(_thread);
    } else {
      _thread.join();
    }
  }

  int s = platform::tcpSocket();
  if (s == -1) failConnect(__LINE__, "Unable to create the socket");
  unsigned char address[4];
  if (!platform::resolveIPv4(_strHost, address)) {
    platform::closeSocket(s);
    failConnect(__LINE__, "Failed to resolve host");
  }
  if (!platform::connectIPv4(s, address, _nPort)) {
    platform::shutdownSocket(s, 1);
    platform::shutdownSocket(s, 2);
    platform::closeSocket(s);
    failConnect(__LINE__, "Failed to connect to host");
  }
  platform::Waker waker;
  if (!platform::openWaker(waker)) {
    platform::closeSocket(s);
    failConnect(__LINE__, "Unable to create the socket");
  }

  Link link;
  link.nSocket = s;
  link.nWakeReceive = waker.nReceive;
  link.nWakeSignal = waker.nSignal;
  {
    // Held until the thread object is stored, so that the new thread's
    // callbacks (which run under this lock) never see it half-assigned.
    Mutex::Lock guard(_mxStop, "DaemonComm::connect");
    link.nGeneration = ++_nGeneration;
    _nWakeReceive = waker.nReceive;
    _nWakeSignal = waker.nSignal;
    _bStop = false;
    _bRunning = true;
    _bConnected = true;
    _nSocket = s;
    try {
      _thread = std::thread(&DaemonComm::responseThread, this, link);
    } catch (const std::system_error&) {
      _nSocket = -1;
      _bConnected = false;
      _bRunning = false;
      _bStop = true;
      _nWakeReceive = _nWakeSignal = -1;
      platform::closeSocket(s);
      platform::closeWaker(waker);
      failConnect(__LINE__, "Failed to connect to host");
    }
  }
  return true;
}

void DaemonComm::wakeThread(int socket) {
  // Shutting the socket down also frees a sender blocked on a full
  // connection; the thread closes the socket when it ends.
  platform::shutdownSocket(socket, 2);
  platform::Waker waker;
  waker.nReceive = _nWakeReceive;
  waker.nSignal = _nWakeSignal;
  platform::signalWaker(waker);
  _nWakeReceive = _nWakeSignal = -1;
}

bool DaemonComm::disconnect() {
  int s;
  {
    Mutex::Lock guard(_mxStop, "DaemonConn::disconnect");
    s = _nSocket.exchange(-1);
    if (s != -1) {
      _bStop = true;
      _bConnected = false;
      wakeThread(s);
    }
  }
  reapThreads();
  return s != -1;
}

void DaemonComm::reapThreads() {
  const std::thread::id self = std::this_thread::get_id();
  if (_thread.joinable() && _thread.get_id() != self) _thread.join();
  if (_retired.joinable() && _retired.get_id() != self) _retired.join();
}

bool DaemonComm::send(const std::string& message) {
  std::string framed;
  framed.reserve(message.size() + 1);
  framed.append(message);
  framed.push_back(kTerminator);
  std::lock_guard<std::mutex> guard(_mxSend);
  int s = _nSocket.load();
  if (s == -1) return false;
  return platform::sendAll(s, framed.data(), framed.size());
}

bool DaemonComm::createPingRequest() {
  if (_nSocket.load() == -1)
    throw Exception(kSourceFile, __LINE__, 1002, false, "Client is not connected to daemon");
  _ePingStatus = PING_REQUESTED;
  return true;
}

// --- response thread ---

void DaemonComm::processMessage(const std::string& message) {
  if (_pfnStatus != nullptr) _pfnStatus(MESSAGE, message);
}

void DaemonComm::report(Status status, const std::string& text) {
  if (_pfnStatus != nullptr) _pfnStatus(status, text);
}

void DaemonComm::processStream(const std::string& text) {
  std::string piece;
  deliver(text.data(), text.size(), piece);
}

void DaemonComm::deliver(const char* text, std::size_t length, std::string& piece) {
  EventLogger* logger = EventLogger::theLogger();
  // The copy for the trace line is made only when the logger would keep it.
  if (logger != nullptr && logger->level() >= EventLogger::LEVEL_TRACE)
    logger->logTrace(std::string(text, length), static_cast<EventLogger::Layer>(3));
  const char* const stop = text + length;
  for (const char* begin = text; begin < stop;) {
    const void* hit = std::memchr(begin, kTerminator, static_cast<std::size_t>(stop - begin));
    const char* end = hit != nullptr ? static_cast<const char*>(hit) : stop;
    if (end > begin) {
      // Sized, then filled: cheaper than assign, whose general path allows
      // for the source lying inside the string.
      const std::size_t size = static_cast<std::size_t>(end - begin);
      if (piece.size() != size) piece.resize(size);
      std::memcpy(&piece[0], begin, size);
      try {
        processMessage(piece);
      } catch (...) {
        // A message its handler could not take is dropped alone.
      }
    }
    begin = end + 1;
  }
}

bool DaemonComm::isCurrent(unsigned generation) const {
  return !_bStop.load() && _nGeneration.load() == generation;
}

void DaemonComm::giveUp(unsigned generation) {
  if (_nGeneration.load() != generation) return;
  int s = _nSocket.exchange(-1);
  if (s == -1) return;
  _bConnected = false;
  _bStop = true;
  // A sender blocked on the full connection holds the send lock that the
  // thread needs to close the socket: shutting it down lets that send fail.
  platform::shutdownSocket(s, 2);
  _nWakeReceive = _nWakeSignal = -1;
}

void DaemonComm::responseThread(Link link) {
  platform::Waker waker;
  waker.nReceive = link.nWakeReceive;
  waker.nSignal = link.nWakeSignal;
  const int s = link.nSocket;
  const unsigned generation = link.nGeneration;

  // Received bytes: a partial message kept at the front, then room for the
  // next read. Complete messages are delivered straight from here.
  std::vector<char> buffer(kReadSize);
  std::size_t kept = 0;
  std::string piece;  // each message in turn, its room reused

  try {
    for (;;) {
      // The read runs without the lock, so that disconnect can take it at
      // any time; the socket stays open meanwhile, since only this thread
      // closes it.
      if (buffer.size() - kept < kReadSize) buffer.resize(kept + kReadSize);
      const long n = platform::receive(s, waker, buffer.data() + kept, buffer.size() - kept);

      // The stop request is looked at only under the lock: whoever ends the
      // connection shuts it down and signals the waker while holding it, so
      // neither is closed under them. What a read brought after the stop
      // request is dropped with the connection.
      Mutex::Lock guard(_mxStop, "DaemonComm::responseThread");
      if (!isCurrent(generation)) break;
      if (n == platform::kRECEIVE_WOKEN) continue;
      if (n <= 0) {
        // Closed or reset by the daemon, or the wait or the count failed
        // (and no stop was asked for): the connection is given up either way.
        giveUp(generation);
        if (_pfnStatus != nullptr) {
          std::ostringstream text;
          text << Exception(kSourceFile, __LINE__, 1002, true, "Server connection terminated unexpectedly");
          report(FAILURE, text.str());
        }
        break;
      }

      // Everything up to the last terminator of this read is delivered now;
      // only a trailing partial message waits for the next read.
      const std::size_t end = kept + static_cast<std::size_t>(n);
      std::size_t last = 0;
      for (std::size_t i = end; i > kept; --i) {
        if (buffer[i - 1] == kTerminator) {
          last = i;
          break;
        }
      }
      if (last == 0) {
        kept = end;
        continue;
      }
      try {
        deliver(buffer.data(), last, piece);
      } catch (...) {
        // The block is dropped rather than kept: some of its messages may
        // have been delivered already, and none may arrive twice.
        report(FAILURE, "Exception caught processing stream");
      }
      kept = end - last;
      if (kept > 0) std::memmove(buffer.data(), buffer.data() + last, kept);
      // Give back the room a very long message needed.
      if (buffer.size() > 4 * kReadSize && kept < kReadSize) {
        std::vector<char> smaller(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(kept));
        smaller.resize(kReadSize);
        buffer.swap(smaller);
      }
    }
  } catch (...) {
    // Something failed outside the delivery (the failure report itself, or
    // memory): the connection cannot be served any more.
    Mutex::Lock guard(_mxStop, "DaemonComm::responseThread");
    giveUp(generation);
  }

  // Nobody refers to this socket or waker any more: whoever ended the
  // connection took them out of the object under the stop lock. A send that
  // read the socket before that still holds the send lock.
  {
    std::lock_guard<std::mutex> guard(_mxSend);
    platform::closeSocket(s);
  }
  platform::closeWaker(waker);
  if (_nGeneration.load() == generation) _bRunning = false;
}

}  // namespace Brimsel
