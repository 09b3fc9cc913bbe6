// SPDX-License-Identifier: MIT
// The daemon client against the floor a raw socket gives, on 127.0.0.1, with
// an in-process daemon. Run with every thread on one CPU so that the figures
// are stable, e.g. taskset -c 0 brimsel-bench --benchmark_filter=Daemon.
//
//  - round trip: a message sent and its echo back, raw blocking send + recv
//    against DaemonComm (send, then the echo reaches the callback, which
//    sends the next one);
//  - streaming: 200,000 messages of 40 bytes written by the daemon in bulk,
//    a raw 64 KiB recv loop splitting at 0x04 against DaemonComm's callback;
//  - disconnect of a connected, idle client (median, in microseconds);
//  - the first two once more with both forms in turn, as median ratios.
#include <benchmark/benchmark.h>
#include <brimsel/daemoncomm.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "loopback.h"
#include "platform/socket.h"

namespace {

namespace platform = Brimsel::platform;
using Brimsel::DaemonComm;

const int kStreamCount = 200000;
const std::size_t kMessageSize = 40;  // terminator included
const int kRoundTripsPerIteration = 100;

// Echoes each message; answers "stream" with kStreamCount messages in bulk.
class BenchDaemon {
 public:
  BenchDaemon() {
    _nListener = support::listenLoopback(_nPort);
    std::string one(kMessageSize - 1, 'm');
    one += '\x04';
    _bulk.reserve(one.size() * kStreamCount);
    for (int i = 0; i < kStreamCount; ++i) _bulk += one;
    _acceptor = std::thread([this] { acceptLoop(); });
  }
  ~BenchDaemon() {
    _bStop = true;
    _acceptor.join();
    {
      std::lock_guard<std::mutex> guard(_mx);
      for (int s : _open) platform::shutdownSocket(s, 2);
    }
    for (std::thread& t : _servers) t.join();
    support::closeSocket(_nListener);
  }
  std::string connectString() const { return "bench://127.0.0.1:" + std::to_string(_nPort); }
  int port() const { return _nPort; }

 private:
  void acceptLoop() {
    while (!_bStop) {
      int s = support::acceptConnection(_nListener, 50);
      if (s == -1) continue;
      std::lock_guard<std::mutex> guard(_mx);
      _open.push_back(s);
      _servers.emplace_back([this, s] { serve(s); });
    }
  }
  void serve(int s) {
    std::vector<char> buffer(64 * 1024);
    std::string pending, replies;
    for (;;) {
      long n = support::receiveBlocking(s, buffer.data(), buffer.size());
      if (n <= 0) break;
      pending.append(buffer.data(), static_cast<std::size_t>(n));
      std::size_t begin = 0, end;
      replies.clear();
      while ((end = pending.find('\x04', begin)) != std::string::npos) {
        if (pending.compare(begin, end - begin, "stream") == 0) {
          support::sendAll(s, _bulk.data(), _bulk.size());
        } else {
          replies.append(pending, begin, end - begin + 1);
        }
        begin = end + 1;
      }
      pending.erase(0, begin);
      if (!replies.empty()) support::sendAll(s, replies.data(), replies.size());
    }
    std::lock_guard<std::mutex> guard(_mx);
    _open.erase(std::remove(_open.begin(), _open.end(), s), _open.end());
    support::closeSocket(s);
  }

  int _nListener = -1;
  int _nPort = 0;
  std::string _bulk;
  std::atomic<bool> _bStop{false};
  std::thread _acceptor;
  std::mutex _mx;
  std::vector<int> _open;
  std::vector<std::thread> _servers;
};

BenchDaemon& theDaemon() {
  static BenchDaemon daemon;
  return daemon;
}

int rawConnect() { return support::connectLoopback(theDaemon().port()); }

// Blocks until `count` 0x04 bytes have arrived; the bytes read past them are
// not expected here (the exchanges are strictly one after the other).
bool rawAwait(int s, std::vector<char>& buffer, long count) {
  while (count > 0) {
    long n = support::receiveBlocking(s, buffer.data(), buffer.size());
    if (n <= 0) return false;
    for (long i = 0; i < n; ++i) count -= buffer[static_cast<std::size_t>(i)] == '\x04';
  }
  return true;
}

// --- round trip ---

void BM_DaemonRoundTripRaw(benchmark::State& state) {
  int s = rawConnect();
  if (s == -1) return state.SkipWithError("cannot connect");
  std::string message(kMessageSize - 1, 'r');
  message += '\x04';
  std::vector<char> buffer(64 * 1024);
  for (auto _ : state) {
    for (int i = 0; i < kRoundTripsPerIteration; ++i) {
      support::sendAll(s, message.data(), message.size());
      if (!rawAwait(s, buffer, 1)) return state.SkipWithError("lost");
    }
  }
  state.SetItemsProcessed(state.iterations() * kRoundTripsPerIteration);
  support::closeSocket(s);
}
BENCHMARK(BM_DaemonRoundTripRaw)->UseRealTime();

// The callback answers each echo with the next request; the benchmark's
// thread waits only for the end of the batch.
struct Chain {
  std::mutex mx;
  std::condition_variable cv;
  std::atomic<int> left{0};
  bool done = false;
  DaemonComm* comm = nullptr;
  std::string message;
};
Chain chain;

void chainStatus(DaemonComm::Status status, const std::string&) {
  if (status != DaemonComm::MESSAGE) return;
  if (chain.left.fetch_sub(1) > 1) {
    chain.comm->send(chain.message);
    return;
  }
  std::lock_guard<std::mutex> guard(chain.mx);
  chain.done = true;
  chain.cv.notify_one();
}

void BM_DaemonRoundTripDaemonComm(benchmark::State& state) {
  DaemonComm comm(chainStatus);
  comm.parse(theDaemon().connectString());
  comm.connect();
  chain.comm = &comm;
  chain.message.assign(kMessageSize - 1, 'c');
  for (auto _ : state) {
    chain.done = false;
    chain.left = kRoundTripsPerIteration;
    comm.send(chain.message);
    std::unique_lock<std::mutex> guard(chain.mx);
    if (!chain.cv.wait_for(guard, std::chrono::seconds(10), [] { return chain.done; }))
      return state.SkipWithError("echo did not arrive");
  }
  state.SetItemsProcessed(state.iterations() * kRoundTripsPerIteration);
  comm.disconnect();
  chain.comm = nullptr;
}
BENCHMARK(BM_DaemonRoundTripDaemonComm)->UseRealTime();

// --- streaming ---

// Reads one stream of kStreamCount messages, splitting it at 0x04.
bool rawStream(int s, std::vector<char>& buffer, std::size_t& bytes) {
  support::sendAll(s, "stream\x04", 7);
  long messages = 0;
  std::size_t partial = 0;  // length of the message cut by the last read
  while (messages < kStreamCount) {
    long n = support::receiveBlocking(s, buffer.data(), buffer.size());
    if (n <= 0) return false;
    const char* p = buffer.data();
    const char* end = p + n;
    while (p < end) {
      const char* t =
          static_cast<const char*>(std::memchr(p, '\x04', static_cast<std::size_t>(end - p)));
      if (t == nullptr) {
        partial += static_cast<std::size_t>(end - p);
        break;
      }
      bytes += partial + static_cast<std::size_t>(t - p);
      partial = 0;
      ++messages;
      p = t + 1;
    }
  }
  return true;
}

void BM_DaemonStreamRaw(benchmark::State& state) {
  int s = rawConnect();
  if (s == -1) return state.SkipWithError("cannot connect");
  std::vector<char> buffer(64 * 1024);
  std::size_t bytes = 0;
  for (auto _ : state) {
    if (!rawStream(s, buffer, bytes)) return state.SkipWithError("lost");
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(state.iterations() * kStreamCount);
  support::closeSocket(s);
}
BENCHMARK(BM_DaemonStreamRaw)->UseRealTime()->Unit(benchmark::kMillisecond);

struct Counter {
  std::mutex mx;
  std::condition_variable cv;
  int count = 0;  // written on the response thread only
  std::size_t bytes = 0;
  bool done = false;
};
Counter counter;

void countStatus(DaemonComm::Status status, const std::string& text) {
  if (status != DaemonComm::MESSAGE) return;
  counter.bytes += text.size();
  if (++counter.count < kStreamCount) return;
  std::lock_guard<std::mutex> guard(counter.mx);
  counter.done = true;
  counter.cv.notify_one();
}

// Asks for one stream and waits until the callback has had all of it.
bool commStream(DaemonComm& comm) {
  {
    std::lock_guard<std::mutex> guard(counter.mx);
    counter.count = 0;
    counter.done = false;
  }
  comm.send("stream");
  std::unique_lock<std::mutex> guard(counter.mx);
  return counter.cv.wait_for(guard, std::chrono::seconds(30), [] { return counter.done; });
}

void BM_DaemonStreamDaemonComm(benchmark::State& state) {
  DaemonComm comm(countStatus);
  comm.parse(theDaemon().connectString());
  comm.connect();
  for (auto _ : state) {
    if (!commStream(comm)) return state.SkipWithError("stream did not arrive");
  }
  state.SetItemsProcessed(state.iterations() * kStreamCount);
  comm.disconnect();
}
BENCHMARK(BM_DaemonStreamDaemonComm)->UseRealTime()->Unit(benchmark::kMillisecond);

// --- the two side by side ---

// Runs the raw and the client's form in turn, many times, and reports the
// median of the per-pair ratios, which a change of the machine's load
// between the two affects far less than separate runs.
template <typename Raw, typename Comm>
void paired(benchmark::State& state, Raw raw, Comm comm, const char* name) {
  std::vector<double> ratios;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    if (!raw()) return state.SkipWithError("raw side failed");
    auto t1 = std::chrono::steady_clock::now();
    if (!comm()) return state.SkipWithError("client side failed");
    auto t2 = std::chrono::steady_clock::now();
    ratios.push_back(std::chrono::duration<double>(t2 - t1).count() /
                     std::chrono::duration<double>(t1 - t0).count());
  }
  std::sort(ratios.begin(), ratios.end());
  if (!ratios.empty()) state.counters[name] = ratios[ratios.size() / 2];
}

void BM_DaemonRoundTripPaired(benchmark::State& state) {
  int s = rawConnect();
  DaemonComm comm(chainStatus);
  comm.parse(theDaemon().connectString());
  comm.connect();
  chain.comm = &comm;
  chain.message.assign(kMessageSize - 1, 'c');
  std::string message(kMessageSize - 1, 'r');
  message += '\x04';
  std::vector<char> buffer(64 * 1024);
  paired(
      state,
      [&] {
        for (int i = 0; i < kRoundTripsPerIteration; ++i) {
          support::sendAll(s, message.data(), message.size());
          if (!rawAwait(s, buffer, 1)) return false;
        }
        return true;
      },
      [&] {
        chain.done = false;
        chain.left = kRoundTripsPerIteration;
        comm.send(chain.message);
        std::unique_lock<std::mutex> guard(chain.mx);
        return chain.cv.wait_for(guard, std::chrono::seconds(10), [] { return chain.done; });
      },
      "time_vs_raw");
  comm.disconnect();
  chain.comm = nullptr;
  support::closeSocket(s);
}
BENCHMARK(BM_DaemonRoundTripPaired)->Iterations(300);

void BM_DaemonStreamPaired(benchmark::State& state) {
  int s = rawConnect();
  DaemonComm comm(countStatus);
  comm.parse(theDaemon().connectString());
  comm.connect();
  std::vector<char> buffer(64 * 1024);
  std::size_t bytes = 0;
  // Reported as throughput: raw time over the client's time.
  paired(
      state, [&] { return commStream(comm); }, [&] { return rawStream(s, buffer, bytes); },
      "rate_vs_raw");
  benchmark::DoNotOptimize(bytes);
  comm.disconnect();
  support::closeSocket(s);
}
BENCHMARK(BM_DaemonStreamPaired)->Iterations(60);

// --- disconnect ---

void BM_DaemonDisconnect(benchmark::State& state) {
  DaemonComm comm(nullptr);
  comm.parse(theDaemon().connectString());
  std::vector<double> micros;
  for (auto _ : state) {
    comm.connect();
    // Let the response thread settle into its wait: an idle client.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    auto start = std::chrono::steady_clock::now();
    comm.disconnect();
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(took.count());
    micros.push_back(took.count() * 1e6);
  }
  std::sort(micros.begin(), micros.end());
  if (!micros.empty()) state.counters["median_us"] = micros[micros.size() / 2];
}
BENCHMARK(BM_DaemonDisconnect)->UseManualTime()->Iterations(200)->Unit(benchmark::kMicrosecond);

}  // namespace
