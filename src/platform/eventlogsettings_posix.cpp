// SPDX-License-Identifier: MIT
// Where the Linux event log writes entries and stores registrations; only the
// library's own tests move them (eventlogger_internal.h).
#include <mutex>
#include <string>

#include "eventlogger_internal.h"

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

// An empty value restores the default.
void set(std::string Settings::*field, const std::string& value, const char* fallback) {
  Settings& s = settings();
  std::lock_guard<std::mutex> lock(s.mx);
  s.*field = value.empty() ? std::string(fallback) : value;
}

std::string get(std::string Settings::*field) {
  Settings& s = settings();
  std::lock_guard<std::mutex> lock(s.mx);
  return s.*field;
}

}  // namespace

void setSyslogSocketPath(const std::string& path) {
  set(&Settings::socketPath, path, kDefaultSocketPath);
}
std::string syslogSocketPath() { return get(&Settings::socketPath); }

void setEventSourceStoreRoot(const std::string& root) {
  set(&Settings::storeRoot, root, kDefaultStoreRoot);
}
std::string eventSourceStoreRoot() { return get(&Settings::storeRoot); }

}  // namespace detail
}  // namespace Brimsel
