// SPDX-License-Identifier: MIT
// Where the Linux event log writes entries and stores registrations; only the
// library's own tests move them (eventlogger_internal.h).
#include "eventlogger_internal.h"

#include <mutex>
#include <string>

namespace Brimsel {
namespace detail {

namespace {

const char kDefaultSocketPath[] = "/dev/log";
const char kDefaultStoreRoot[] = "/etc/brimsel/eventlog/Application";

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
}  // namespace Brimsel
