// Linux side of the event log: entries go to the local syslog socket as
// single datagrams in the traditional form of glibc's syslog(3); event-source
// registrations are small text files, one per source, below a machine-wide
// folder that stands in for the registry.
#include "platform/eventlog.h"

#include "eventcatalogue.h"
#include "eventlogger_internal.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <link.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <mutex>
#include <new>
#include <string>

namespace Brimsel {

namespace {

const char kDefaultSocketPath[] = "/dev/log";
const char kDefaultStoreRoot[] = "/etc/brimsel/eventlog/Application";

// Where entries and registrations go; only the library's tests move them.
struct Settings {
  std::mutex mx;
  std::string socketPath = kDefaultSocketPath;
  std::string storeRoot = kDefaultStoreRoot;
};

Settings& settings() {
  static Settings s;
  return s;
}

}  // namespace

namespace detail {

void setSyslogSocketPath(const std::string& path) {
  Settings& s = settings();
  std::lock_guard<std::mutex> lock(s.mx);
  s.socketPath = path.empty() ? std::string(kDefaultSocketPath) : path;
}

std::string syslogSocketPath() {
  Settings& s = settings();
  std::lock_guard<std::mutex> lock(s.mx);
  return s.socketPath;
}

void setEventSourceStoreRoot(const std::string& root) {
  Settings& s = settings();
  std::lock_guard<std::mutex> lock(s.mx);
  s.storeRoot = root.empty() ? std::string(kDefaultStoreRoot) : root;
}

std::string eventSourceStoreRoot() {
  Settings& s = settings();
  std::lock_guard<std::mutex> lock(s.mx);
  return s.storeRoot;
}

}  // namespace detail

namespace platform {

struct EventSource {
  int fd;
  std::string tag;  // the source name, written before "[PID]:"
  sockaddr_un address;
  socklen_t addressLength;
};

EventSource* openEventSource(const std::string& name) {
  const std::string path = detail::syslogSocketPath();
  sockaddr_un address;
  memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path || path.find('\0') != std::string::npos) {
    return nullptr;
  }
  memcpy(address.sun_path, path.data(), path.size());
  const socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);

  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return nullptr;
  }
  // Connected once, so that each entry is a single send without a path lookup.
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    close(fd);
    return nullptr;
  }
  EventSource* source = new (std::nothrow) EventSource;
  if (source == nullptr) {
    close(fd);
    return nullptr;
  }
  source->fd = fd;
  try {
    source->tag = name.c_str();  // like the Windows call, the name ends at a zero byte
  } catch (...) {
    close(fd);
    delete source;
    return nullptr;
  }
  source->address = address;
  source->addressLength = length;
  return source;
}

void closeEventSource(EventSource* source) {
  if (source != nullptr) {
    close(source->fd);
    delete source;
  }
}

namespace {

// Syslog severities of the event types: err, warning, info; facility user.
int priorityOf(int type) {
  const int facilityUser = 1 << 3;
  switch (type) {
    case catalogue::TYPE_ERROR: return facilityUser | 3;
    case catalogue::TYPE_WARNING: return facilityUser | 4;
    default: return facilityUser | 6;
  }
}

// Month names of the C locale, whatever the process's locale says.
const char kMonths[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

namespace {

// A small text builder over a fixed buffer; formatting by hand keeps the
// writer free of locale lookups and allocation.
class Writer {
 public:
  Writer(char* buffer, size_t size) : _begin(buffer), _at(buffer), _end(buffer + size) {}
  void text(const char* s, size_t n) {
    if (n <= static_cast<size_t>(_end - _at)) {
      memcpy(_at, s, n);
      _at += n;
    } else {
      _overflow = true;
    }
  }
  void text(const char* s) { text(s, strlen(s)); }
  void ch(char c) { text(&c, 1); }
  // `value` in decimal, at least `width` digits wide, padded with `pad`.
  void number(unsigned long value, int width = 1, char pad = '0') {
    char digits[24];
    int n = 0;
    do {
      digits[n++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    for (int i = n; i < width; ++i) {
      ch(pad);
    }
    while (n > 0) {
      ch(digits[--n]);
    }
  }
  void hex8(unsigned long value) {
    static const char digits[] = "0123456789ABCDEF";
    for (int shift = 28; shift >= 0; shift -= 4) {
      ch(digits[(value >> shift) & 0xF]);
    }
  }
  bool overflow() const { return _overflow; }
  size_t size() const { return static_cast<size_t>(_at - _begin); }

 private:
  char* _begin;
  char* _at;
  char* _end;
  bool _overflow = false;
};

// Sends one datagram made of `parts`. The socket was connected when the
// source opened; when the daemon has been restarted since, the new daemon's
// socket has the same path, so the same descriptor is connected again (never
// replaced, which keeps concurrent writers safe) and the entry sent once more.
bool sendEntry(EventSource* source, iovec* parts, size_t count) {
  size_t total = 0;
  for (size_t i = 0; i < count; ++i) {
    total += parts[i].iov_len;
  }
  msghdr header;
  memset(&header, 0, sizeof header);
  header.msg_iov = parts;
  header.msg_iovlen = count;
  bool reconnected = false;
  for (;;) {
    const ssize_t sent = sendmsg(source->fd, &header, MSG_NOSIGNAL);
    if (sent >= 0) {
      return static_cast<size_t>(sent) == total;
    }
    if (errno == EINTR) {
      continue;
    }
    if ((errno == ECONNREFUSED || errno == ENOTCONN) && !reconnected) {
      reconnected = true;
      if (connect(source->fd, reinterpret_cast<const sockaddr*>(&source->address),
                  source->addressLength) == 0) {
        continue;
      }
    }
    return false;
  }
}

}  // namespace

bool reportEvent(EventSource* source, int type, unsigned short category, unsigned long id,
                 const char* text) {
  if (source == nullptr) {
    return false;
  }
  const char* categoryText = catalogue::categoryText(category);
  const char* message = catalogue::eventText(id);
  if (categoryText == nullptr || message == nullptr) {
    return false;
  }
  const time_t now = time(nullptr);
  struct tm local;
  if (localtime_r(&now, &local) == nullptr) {
    return false;
  }

  // The catalogue text with %1 replaced by the insertion string.
  const char* insertionAt = strstr(message, "%1");
  const char* insertion = text != nullptr ? text : "";
  const size_t insertionLength = strlen(insertion);
  const size_t beforeInsertion = insertionAt != nullptr ? static_cast<size_t>(insertionAt - message) : strlen(message);
  const char* afterInsertion = insertionAt != nullptr ? insertionAt + 2 : "";

  // "<PRI>Mmm dd hh:mm:ss SOURCE[PID]: [<category text> 0x<identifier>] "
  // as syslog(3) writes it (local time, the day padded with a blank). The
  // PID is read each time, so that a forked child reports its own.
  char stampBuffer[32];
  Writer stamp(stampBuffer, sizeof stampBuffer);
  stamp.ch('<');
  stamp.number(static_cast<unsigned long>(priorityOf(type)));
  stamp.ch('>');
  stamp.text(kMonths[local.tm_mon % 12], 3);
  stamp.ch(' ');
  stamp.number(static_cast<unsigned long>(local.tm_mday), 2, ' ');
  stamp.ch(' ');
  stamp.number(static_cast<unsigned long>(local.tm_hour), 2);
  stamp.ch(':');
  stamp.number(static_cast<unsigned long>(local.tm_min), 2);
  stamp.ch(':');
  stamp.number(static_cast<unsigned long>(local.tm_sec), 2);
  stamp.ch(' ');

  char middleBuffer[160];
  Writer middle(middleBuffer, sizeof middleBuffer);
  middle.ch('[');
  middle.number(static_cast<unsigned long>(getpid()));
  middle.text("]: [");
  middle.text(categoryText);
  middle.text(" 0x");
  middle.hex8(id);
  middle.text("] ");
  middle.text(message, beforeInsertion);
  if (stamp.overflow() || middle.overflow()) {
    return false;  // cannot happen with the catalogue's short texts
  }

  // An entry too long for one datagram keeps what fits of its insertion.
  const size_t afterLength = strlen(afterInsertion);
  const size_t fixed = stamp.size() + source->tag.size() + middle.size() + afterLength;
  if (fixed + kCutMarkLength > kMaxEntryPosix) {
    return false;  // a source name too long to leave room for any text
  }
  const size_t kept = keptOfInsertion(insertionLength, kMaxEntryPosix - fixed);
  iovec parts[6] = {{stampBuffer, stamp.size()},
                    {const_cast<char*>(source->tag.data()), source->tag.size()},
                    {middleBuffer, middle.size()},
                    {const_cast<char*>(insertion), kept},
                    {const_cast<char*>(kCutMark), kept < insertionLength ? kCutMarkLength : 0},
                    {const_cast<char*>(afterInsertion), afterLength}};
  // A usual entry goes out as one buffer, like syslog(3) sends it; a long
  // text is sent from where it lies rather than copied.
  char whole[1024];
  Writer single(whole, sizeof whole);
  for (const iovec& part : parts) {
    single.text(static_cast<const char*>(part.iov_base), part.iov_len);
  }
  if (!single.overflow()) {
    iovec one = {whole, single.size()};
    return sendEntry(source, &one, 1);
  }
  return sendEntry(source, parts, 6);
}

namespace {

// The full path of the file of the module that holds `address`; of the
// running executable when `address` is null or lies in it. Empty when unknown.
std::string moduleFilePath(const void* address) {
  std::string path;
  if (address != nullptr) {
    Dl_info info;
    link_map* map = nullptr;
    if (dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0 ||
        map == nullptr) {
      return std::string();
    }
    // The executable's own entry has an empty name.
    if (map->l_name != nullptr && map->l_name[0] != '\0') {
      char* resolved = realpath(map->l_name, nullptr);
      if (resolved == nullptr) {
        return std::string();
      }
      path = resolved;
      free(resolved);
      return path;
    }
  }
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", &buffer[0], buffer.size());
    if (n < 0) {
      return std::string();
    }
    if (static_cast<size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<size_t>(n));
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

// Creates `dir` and its missing parents (like the registry, which creates
// every missing key of a path).
bool makeDirectories(const std::string& dir) {
  struct stat st;
  if (stat(dir.c_str(), &st) == 0) {
    return S_ISDIR(st.st_mode);
  }
  const std::string::size_type slash = dir.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !makeDirectories(dir.substr(0, slash))) {
    return false;
  }
  return mkdir(dir.c_str(), 0755) == 0 || errno == EEXIST;
}

bool writeAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool registerEventSource(const std::string& source, const void* module) {
  // The name becomes a file name: it must stay inside the store's folder.
  if (source.empty() || source == "." || source == ".." ||
      source.find_first_of(std::string("/\0", 2)) != std::string::npos) {
    return false;
  }
  const std::string modulePath = moduleFilePath(module);
  // A line break in the path would break the store's one-value-a-line form.
  if (modulePath.empty() || modulePath.find_first_of("\r\n") != std::string::npos) {
    return false;
  }
  std::string root = detail::eventSourceStoreRoot();
  while (root.size() > 1 && root[root.size() - 1] == '/') {
    root.erase(root.size() - 1);
  }
  if (!makeDirectories(root)) {
    return false;
  }
  const std::string contents =
      "# Event source registration written by the Brimsel library\n"
      "CategoryCount=5\n"
      "TypesSupported=31\n"
      "EventMessageFile=" + modulePath + "\n"
      "CategoryMessageFile=" + modulePath + "\n";

  // Written beside the final file and renamed over it, so that a reader
  // sees the old registration or the new one, never a part of one.
  const std::string target = root + "/" + source;
  std::string temporary = root + "/." + source + ".XXXXXX";
  const int fd = mkostemp(&temporary[0], O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  const bool written = fchmod(fd, 0644) == 0 && writeAll(fd, contents) && fsync(fd) == 0;
  if (close(fd) != 0 || !written || rename(temporary.c_str(), target.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace platform
}  // namespace Brimsel
