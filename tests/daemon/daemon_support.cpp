#include "daemon_support.h"

#include <algorithm>
#include <stdexcept>
#include <thread>

namespace dtest {

using Brimsel::DaemonComm;
namespace platform = Brimsel::platform;

std::atomic<Inbox*> gInbox(nullptr);

void recordStatus(DaemonComm::Status status, const std::string& text) {
  Inbox* inbox = gInbox.load();
  if (inbox != nullptr) inbox->push(status, text);
}

void Inbox::push(DaemonComm::Status status, const std::string& text) {
  {
    std::lock_guard<std::mutex> guard(_mx);
    _reports.push_back(Report{status, text});
  }
  _cv.notify_all();
}

bool Inbox::waitFor(std::size_t count, int timeoutMs) {
  std::unique_lock<std::mutex> guard(_mx);
  return _cv.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                      [&] { return _reports.size() >= count; });
}

std::vector<Report> Inbox::reports() {
  std::lock_guard<std::mutex> guard(_mx);
  return _reports;
}

std::vector<std::string> Inbox::messages() {
  std::vector<std::string> texts;
  for (const Report& r : reports())
    if (r.status == DaemonComm::MESSAGE) texts.push_back(r.text);
  return texts;
}

std::size_t Inbox::size() {
  std::lock_guard<std::mutex> guard(_mx);
  return _reports.size();
}

TestDaemon::TestDaemon() {
  // The first DaemonComm starts the platform's sockets (Windows).
  DaemonComm starter(nullptr);
  _nListener = platform::listenLoopback(_nPort);
  if (_nListener == -1) throw std::runtime_error("the test daemon cannot listen on 127.0.0.1");
}

TestDaemon::~TestDaemon() {
  for (int s : _open) platform::closeSocket(s);
  platform::closeSocket(_nListener);
}

std::string TestDaemon::connectString() const {
  return "daemon://127.0.0.1:" + std::to_string(_nPort);
}

int TestDaemon::accept(int timeoutMs) {
  int s = platform::acceptConnection(_nListener, timeoutMs);
  if (s != -1) {
    platform::setNoDelay(s);
    _open.push_back(s);
  }
  return s;
}

bool TestDaemon::write(int s, const std::string& bytes) {
  return platform::sendAll(s, bytes.data(), bytes.size());
}

std::vector<std::string> TestDaemon::readMessages(int s, std::size_t count, int timeoutMs) {
  std::vector<std::string> messages;
  std::string& pending = _pending[s];
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  char buffer[65536];
  for (;;) {
    std::size_t end;
    while (messages.size() < count && (end = pending.find('\x04')) != std::string::npos) {
      messages.push_back(pending.substr(0, end));
      pending.erase(0, end + 1);
    }
    if (messages.size() >= count) return messages;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !platform::waitForData(s, static_cast<int>(left.count()))) return messages;
    long n = platform::receiveBlocking(s, buffer, sizeof buffer);
    if (n <= 0) return messages;
    pending.append(buffer, static_cast<std::size_t>(n));
  }
}

std::string TestDaemon::readBytes(int s, std::size_t count, int timeoutMs) {
  std::string& pending = _pending[s];
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  char buffer[65536];
  while (pending.size() < count) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !platform::waitForData(s, static_cast<int>(left.count()))) break;
    long n = platform::receiveBlocking(s, buffer, sizeof buffer);
    if (n <= 0) break;
    pending.append(buffer, static_cast<std::size_t>(n));
  }
  std::string bytes = pending.substr(0, std::min(count, pending.size()));
  pending.erase(0, bytes.size());
  return bytes;
}

bool TestDaemon::waitClosed(int s, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  char buffer[65536];
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !platform::waitForData(s, static_cast<int>(left.count()))) return false;
    if (platform::receiveBlocking(s, buffer, sizeof buffer) <= 0) return true;
  }
}

void TestDaemon::close(int s) {
  _open.erase(std::remove(_open.begin(), _open.end(), s), _open.end());
  platform::shutdownSocket(s, 1);
  platform::closeSocket(s);
}

void TestDaemon::reset(int s) {
  _open.erase(std::remove(_open.begin(), _open.end(), s), _open.end());
  platform::closeWithReset(s);
}

}  // namespace dtest
