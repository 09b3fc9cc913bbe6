// SPDX-License-Identifier: MIT
// Linux side of the event log, the OS work only: entries go to the local
// syslog socket as single datagrams, laid out by SyslogEntry (syslogentry.h)
// in the traditional form of glibc's syslog(3); event-source registrations are
// small text files, one per source, below a machine-wide folder that stands in
// for the registry. Where both are is set in eventlogsettings_posix.cpp.
#include <brimsel/exception.h>
#include <brimsel/util.h>
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

#include <memory>
#include <new>
#include <string>

#include "eventcatalogue.h"
#include "eventlogger_internal.h"
#include "platform/eventlog.h"
#include "syslogentry.h"

namespace Brimsel {
namespace platform {

struct EventSource {
  int fd;
  std::string tag;  // the source name, written before "[PID]:"
  sockaddr_un address;
  socklen_t addressLength;
};

EventSource* openEventSource(const std::string& name) {
  std::unique_ptr<EventSource> source;
  std::string path;
  try {
    source.reset(new EventSource);
    // Like the Windows call, the name ends at a zero byte.
    source->tag = name.c_str();  // NOLINT(readability-redundant-string-cstr)
    path = detail::syslogSocketPath();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  sockaddr_un& address = source->address;
  memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path || path.find('\0') != std::string::npos)
    return nullptr;
  memcpy(address.sun_path, path.data(), path.size());
  source->addressLength = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
  source->fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (source->fd < 0) return nullptr;
  // Connected once, so that each entry is a single send without a path lookup.
  if (connect(source->fd, reinterpret_cast<const sockaddr*>(&address), source->addressLength) !=
      0) {
    close(source->fd);
    return nullptr;
  }
  return source.release();
}

void closeEventSource(EventSource* source) {
  if (source != nullptr) {
    close(source->fd);
    delete source;
  }
}

namespace {

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
  // The PID is read each time, so that a forked child reports its own.
  const SyslogFields fields = {
      type,         local.tm_mon, local.tm_mday, local.tm_hour,
      local.tm_min, local.tm_sec, source->tag,   static_cast<unsigned long>(getpid()),
      categoryText, id,           message,       text != nullptr ? text : ""};
  SyslogEntry entry;
  if (!entry.format(fields)) {
    return false;  // a source name too long to leave room for any text
  }
  // A usual entry goes out as one buffer, like syslog(3) sends it; a long
  // text is sent from where it lies rather than copied.
  char whole[1024];
  const size_t copied = entry.copyTo(whole, sizeof whole);
  if (copied != 0) {
    iovec one = {whole, copied};
    return sendEntry(source, &one, 1);
  }
  iovec parts[SyslogEntry::kPartCount];
  for (size_t i = 0; i < SyslogEntry::kPartCount; ++i) {
    parts[i].iov_base = const_cast<char*>(entry.parts()[i].data());
    parts[i].iov_len = entry.parts()[i].size();
  }
  return sendEntry(source, parts, SyslogEntry::kPartCount);
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

// Creates `folder` and its missing parents, as the registry creates every
// missing key of a path. Registration never raises: false when it fails.
bool createFolder(const std::string& folder) {
  try {
    createPath(folder);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

// Writes `contents` as the file `name` in `folder`: beside it first, then
// renamed over it, so that a reader sees the old registration or the new one,
// never a part of one.
bool replaceFile(const std::string& folder, const std::string& name, const std::string& contents) {
  const std::string target = folder + "/" + name;
  std::string temporary = folder + "/." + name + ".XXXXXX";
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
  if (!createFolder(root)) {
    return false;
  }
  const std::string contents =
      "# Event source registration written by the Brimsel library\n"
      "CategoryCount=5\n"
      "TypesSupported=31\n"
      "EventMessageFile=" +
      modulePath +
      "\n"
      "CategoryMessageFile=" +
      modulePath + "\n";
  return replaceFile(root, source, contents);
}

}  // namespace platform
}  // namespace Brimsel
