// SPDX-License-Identifier: MIT
#include <brimsel/daemoncomm.h>
#include <brimsel/eventlogger.h>
#include <brimsel/exception.h>

#include <condition_variable>
#include <cstring>
#include <memory>
#include <sstream>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "daemoncomm_internal.h"
#include "decimal.h"
#include "errors.h"
#include "platform/socket.h"

namespace Brimsel {

namespace {

const char kTerminator = '\x04';

// Each read asks for up to this much; the buffer is reused from read to read.
const std::size_t kReadSize = std::size_t(256) * 1024;

std::atomic<int> socketStarts(0);

[[noreturn]] void failConnect(int line, const char* legend) {
  throw Exception(detail::baseName(__FILE__), line, detail::kConnectFailed, false, legend);
}

// The object whose response thread this is, on a response thread; null on
// every other thread. A response thread never waits for a response thread of
// its own object: that could be itself, or one that waits for its lock.
thread_local const DaemonComm* tServing = nullptr;

// A socket that is closed when it goes out of scope, unless released.
class OwnedSocket {
 public:
  explicit OwnedSocket(int s) : _s(s) {}
  ~OwnedSocket() { platform::closeSocket(_s); }
  OwnedSocket(const OwnedSocket&) = delete;
  OwnedSocket& operator=(const OwnedSocket&) = delete;
  int get() const { return _s; }
  int release() {
    const int s = _s;
    _s = -1;
    return s;
  }

 private:
  int _s;
};

// One connection. Its socket and wake-up channel stay open until its thread
// has been joined, so that no thread ever uses a socket number that has been
// closed (and perhaps reused).
struct Link {
  Link(int s, const platform::Waker& w) : socket(s), waker(w) {}
  const int socket;
  const platform::Waker waker;
  std::thread thread;
  // Set once the connection is ended, by whoever ends it; the thread stops
  // when it sees it.
  std::atomic<bool> stop{false};
  // Set by the thread as the last thing it does with its object.
  bool ended = false;
  bool joined = false;
  Link* next = nullptr;  // on the object's list of ended connections
};

// The connections of every DaemonComm of the process: the open one of each
// object, and those that have ended and whose threads are not joined yet.
// Each ended connection is joined exactly once, by whichever call takes it
// off its list. The lock is held only briefly, never across a call that may
// block; a connection ends and is joined once per connection, so one lock
// for the whole process costs nothing worth a field of each object.
struct Links {
  Link* open = nullptr;
  Link* ended = nullptr;
};

struct Registry {
  std::mutex mx;
  // Signalled when a join ends, a thread ends, or a disconnect() call leaves.
  std::condition_variable changed;
  std::unordered_map<const DaemonComm*, Links> objects;
};

Registry& registry() {
  static Registry r;
  return r;
}

}  // namespace

namespace detail {

// The connection machinery of DaemonComm: the response thread, ending and
// joining connections. A friend of the class, kept out of its header.
struct DaemonCommCore {
  // What the response thread has received and not delivered: a partial
  // message kept at the front of the buffer, then room for the next read.
  // Complete messages are delivered straight from the buffer.
  struct Received {
    std::vector<char> buffer = std::vector<char>(kReadSize);
    std::size_t kept = 0;
    std::string piece;  // each message in turn, its room reused
  };

  // Makes the connection on socket `s` the open one and starts its thread;
  // `s` stays the caller's when this raises.
  static void start(DaemonComm& d, int s) {
    platform::Waker waker;
    if (!platform::openWaker(waker)) failConnect(__LINE__, "Unable to create the socket");
    std::unique_ptr<Link> link;
    try {
      link.reset(new Link(s, waker));
      // Started under the lock, so that whoever ends the connection finds
      // its thread there to join.
      Registry& r = registry();
      std::lock_guard<std::mutex> guard(r.mx);
      Links& links = r.objects[&d];
      link->thread = std::thread(&responseThread, &d, link.get());
      links.open = link.release();
      d._nSocket = s;
      d._bStop = false;
      d._bRunning = true;
      d._bConnected = true;
    } catch (...) {
      platform::closeWaker(waker);
      failConnect(__LINE__, "Failed to connect to host");
    }
  }

  // Ends the open connection of `d`, if there is one, and returns it (now on
  // the ended list): its socket is shut down, which also fails a send
  // blocked on it, and its thread is woken. Only the call that returns the
  // link ended the connection. Under the registry's lock.
  static Link* end(DaemonComm& d, Links& links, Link* only = nullptr) {
    Link* link = links.open;
    if (link == nullptr || (only != nullptr && link != only)) return nullptr;
    links.open = nullptr;
    link->next = links.ended;
    links.ended = link;
    d._nSocket = -1;
    d._bConnected = false;
    link->stop = true;
    platform::abortSocket(link->socket);
    platform::signalWaker(link->waker);
    return link;
  }

  static bool endOpen(DaemonComm& d) {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.mx);
    return end(d, r.objects[&d]) != nullptr;
  }

  // Joins the threads of the ended connections of `d` and closes their
  // sockets. On a response thread of `d`, only threads that have ended
  // already are joined, a socket whose send lock is taken is left for later
  // (the sender may be blocked on the open connection, which this thread
  // serves), and nothing is waited for. Elsewhere, with `waitForOthers`, it
  // returns only when no other call is still joining one (so that a caller
  // knows every thread it stopped has ended).
  static void reap(DaemonComm& d, bool waitForOthers) {
    const bool onResponseThread = tServing == &d;
    Registry& r = registry();
    std::unique_lock<std::mutex> lock(r.mx);
    for (;;) {
      Links& links = r.objects[&d];
      Link* link = nullptr;
      for (Link** at = &links.ended; *at != nullptr; at = &(*at)->next) {
        if (!onResponseThread || (*at)->ended) {
          link = *at;
          *at = link->next;
          break;
        }
      }
      if (link != nullptr) {
        ++d._nJoining;
        lock.unlock();
        if (!link->joined) link->thread.join();
        link->joined = true;
        // A sender that took the socket before the connection ended has been
        // failed by its shutdown and is on its way out.
        std::unique_lock<std::mutex> sendLock(d._mxSend, std::defer_lock);
        const bool closed = onResponseThread ? sendLock.try_lock() : (sendLock.lock(), true);
        if (closed) {
          platform::closeSocket(link->socket);
          sendLock.unlock();
          platform::Waker waker = link->waker;
          platform::closeWaker(waker);
        }
        lock.lock();
        --d._nJoining;
        r.changed.notify_all();
        if (!closed) {
          // Back on the list, for a later call: the send lock is busy.
          link->next = r.objects[&d].ended;
          r.objects[&d].ended = link;
          return;
        }
        delete link;
        continue;
      }
      if (!waitForOthers || onResponseThread || d._nJoining == 0) return;
      r.changed.wait(lock);
    }
  }

  // After the destructor has ended and joined everything: waits for
  // disconnect() calls of other threads on their way out, and forgets `d`.
  static void forget(DaemonComm& d) {
    Registry& r = registry();
    std::unique_lock<std::mutex> lock(r.mx);
    r.changed.wait(lock, [&d] { return d._nDisconnecting == 0 && d._nJoining == 0; });
    r.objects.erase(&d);
  }

  // Destroying the object from its own callback is outside the contract:
  // the thread cannot wait for itself, so the threads are let go rather than
  // aborting the program.
  static void abandon(DaemonComm& d) {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.mx);
    for (Link* link = r.objects[&d].ended; link != nullptr; link = link->next)
      link->thread.detach();
    r.objects.erase(&d);
  }

  static void countDisconnect(DaemonComm& d, int step) {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.mx);
    d._nDisconnecting += step;
    if (d._nDisconnecting == 0) r.changed.notify_all();
  }

  static void report(DaemonComm& d, DaemonComm::Status status, const std::string& text) {
    if (d._pfnStatus != nullptr) d._pfnStatus(status, text);
  }

  static void deliver(DaemonComm& d, const char* text, std::size_t length, std::string& piece) {
    EventLogger* logger = EventLogger::theLogger();
    // The copy for the trace line is made only when the logger would keep it.
    if (logger != nullptr && logger->level() >= EventLogger::LEVEL_TRACE)
      logger->logTrace(std::string(text, length), EventLogger::LAYER_CLIENT);
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
          d.processMessage(piece);
        } catch (...) {
          // A message its handler could not take is dropped alone.
        }
      }
      begin = end + 1;
    }
  }

  // The connection of `link` is lost (closed or reset by the daemon, or the
  // wait or the read failed): it is given up, unless it has been ended
  // already, and so is no longer the open one when the failure is reported.
  static void lose(DaemonComm& d, Link* link) {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.mx);
    if (end(d, r.objects[&d], link) != nullptr) d._bStop = true;
    link->stop = true;
  }

  static void responseThread(DaemonComm* d, Link* link) {
    tServing = d;
    Received received;
    try {
      while (serve(*d, link, received)) {
      }
    } catch (...) {
      // Something failed outside the delivery (the failure report itself,
      // or memory): the connection cannot be served any more.
      Mutex::Lock guard(d->_mxStop, "DaemonComm::responseThread");
      lose(*d, link);
    }
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.mx);
    const auto found = r.objects.find(d);
    if (found == r.objects.end() || found->second.open == nullptr) d->_bRunning = false;
    link->ended = true;
    r.changed.notify_all();
  }

  // One pass of the response thread: read, then deliver what is complete or
  // give a lost connection up. False when the thread is to end.
  static bool serve(DaemonComm& d, Link* link, Received& received) {
    // The read runs without the lock, so that disconnect can take it at any
    // time.
    std::vector<char>& buffer = received.buffer;
    if (buffer.size() - received.kept < kReadSize) buffer.resize(received.kept + kReadSize);
    const long n = platform::receive(link->socket, link->waker, buffer.data() + received.kept,
                                     buffer.size() - received.kept);
    // The stop request is looked at only under the lock; what a read brought
    // after it is dropped with the connection.
    Mutex::Lock guard(d._mxStop, "DaemonComm::responseThread");
    if (link->stop) return false;
    if (n == platform::kReceiveWoken) return true;
    if (n <= 0) {
      // Closed or reset by the daemon, or the wait or the read failed.
      lose(d, link);
      if (d._pfnStatus != nullptr) {
        std::ostringstream text;
        text << Exception(BRIMSEL_HERE, kNotConnected, true,
                          "Server connection terminated unexpectedly");
        report(d, DaemonComm::FAILURE, text.str());
      }
      return false;
    }
    deliverReceived(d, received, static_cast<std::size_t>(n));
    return true;
  }

  // Delivers everything up to the last terminator among the `count` bytes
  // just read; only a trailing partial message waits for the next read.
  static void deliverReceived(DaemonComm& d, Received& received, std::size_t count) {
    std::vector<char>& buffer = received.buffer;
    const std::size_t end = received.kept + count;
    std::size_t last = end;
    while (last > received.kept && buffer[last - 1] != kTerminator) --last;
    if (last == received.kept) {
      received.kept = end;
      return;
    }
    try {
      deliver(d, buffer.data(), last, received.piece);
    } catch (...) {
      // The block is dropped rather than kept: some of its messages may have
      // been delivered already, and none may arrive twice.
      report(d, DaemonComm::FAILURE, "Exception caught processing stream");
    }
    received.kept = end - last;
    if (received.kept > 0) std::memmove(buffer.data(), buffer.data() + last, received.kept);
    // Give back the room a very long message needed.
    if (buffer.size() > 4 * kReadSize && received.kept < kReadSize) {
      std::vector<char> smaller(buffer.begin(),
                                buffer.begin() + static_cast<std::ptrdiff_t>(received.kept));
      smaller.resize(kReadSize);
      buffer.swap(smaller);
    }
  }
};

}  // namespace detail

using Core = detail::DaemonCommCore;

std::atomic<bool> DaemonComm::_bWSStarted(false);

int detail::socketStartCount() { return socketStarts.load(); }

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
      _nJoining(0),
      _nDisconnecting(0),
      _nReserved(0) {
  // Started once per process and never stopped; a failure is reported by
  // connect, and the next construction tries again.
  if (!_bWSStarted.load()) {
    static std::mutex startGuard;
    std::lock_guard<std::mutex> guard(startGuard);
    if (!_bWSStarted.load() && platform::startSockets()) {
      ++socketStarts;
      _bWSStarted.store(true);
    }
  }
}

DaemonComm::~DaemonComm() {
  if (Core::endOpen(*this)) {
    Mutex::Lock guard(_mxStop, "DaemonComm::~DaemonComm");
    _bStop = true;
  }
  if (tServing == this) {
    Core::abandon(*this);
    return;
  }
  Core::reap(*this, true);
  Core::forget(*this);
}

// --- connect string ---

bool DaemonComm::parse(const std::string& connectString) {
  const std::string& s = connectString;
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
  // atoi's reading, without its undefined overflow: clamped to int.
  _nPort = detail::readAtoi(s.data() + q + 1, s.data() + s.size());
  _bParsed = true;
  return true;
}

bool DaemonComm::parse(std::string& user, std::string& password, std::string& host, int& port,
                       const std::string& connectString, const std::string& protocol) {
  // Copied first: the caller may pass protocol() itself, which parse clears.
  const std::string wanted(protocol);  // NOLINT(performance-unnecessary-copy-initialization)
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
  // Threads of earlier connections are joined first (from a callback, only
  // those that have ended), so that they never pile up.
  Core::reap(*this, false);

  OwnedSocket s(platform::tcpSocket());
  if (s.get() == -1) failConnect(__LINE__, "Unable to create the socket");
  unsigned char address[4];
  if (!platform::resolveIPv4(_strHost, address)) failConnect(__LINE__, "Failed to resolve host");
  if (!platform::connectIPv4(s.get(), address, _nPort)) {
    platform::shutdownSocket(s.get(), 1);
    platform::shutdownSocket(s.get(), 2);
    failConnect(__LINE__, "Failed to connect to host");
  }
  Core::start(*this, s.get());
  s.release();
  return true;
}

bool DaemonComm::disconnect() {
  Core::countDisconnect(*this, 1);
  // The connection is woken before the stop lock is taken: a callback that
  // holds the lock while it sends on the connection is freed by that.
  const bool ended = Core::endOpen(*this);
  if (ended) {
    Mutex::Lock guard(_mxStop, "DaemonConn::disconnect");
    _bStop = true;
  }
  Core::reap(*this, true);
  Core::countDisconnect(*this, -1);
  return ended;
}

bool DaemonComm::send(const std::string& message) {
  std::string framed;
  framed.reserve(message.size() + 1);
  framed.append(message);
  framed.push_back(kTerminator);
  std::lock_guard<std::mutex> guard(_mxSend);
  const int s = _nSocket.load();
  return s != -1 && platform::sendAll(s, framed.data(), framed.size());
}

bool DaemonComm::createPingRequest() {
  if (_nSocket.load() == -1)
    throw Exception(BRIMSEL_HERE, detail::kNotConnected, false,
                    "Client is not connected to daemon");
  _ePingStatus = PING_REQUESTED;
  return true;
}

// --- response thread ---

void DaemonComm::processMessage(const std::string& message) {
  if (_pfnStatus != nullptr) _pfnStatus(MESSAGE, message);
}

void DaemonComm::processStream(const std::string& text) {
  std::string piece;
  Core::deliver(*this, text.data(), text.size(), piece);
}

}  // namespace Brimsel
