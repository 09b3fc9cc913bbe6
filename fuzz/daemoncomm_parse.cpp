// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the connect-string parser and checks what it must
// always hold: no byte outside the input is read (the sanitizers watch), a
// successful parse gives back pieces of the input in their places, and a
// failed one leaves nothing behind.
#include <brimsel/daemoncomm.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Brimsel::DaemonComm comm(nullptr);
  const std::string text(reinterpret_cast<const char*>(data), size);

  std::string user, password, host;
  int port = 0;
  const bool ok = comm.parse(text);
  if (ok != comm.parsedOk()) std::abort();
  if (!ok) {
    if (!comm.host().empty() || !comm.protocol().empty() || comm.port() != -1) std::abort();
  } else {
    // The protocol, "://"-like two bytes, the host and a colon all lie in
    // the input, in that order.
    const std::size_t at = text.find('@');
    const std::size_t start = at == std::string::npos ? 0 : at + 1;
    if (text.compare(start, comm.protocol().size(), comm.protocol()) != 0) std::abort();
    const std::size_t hostAt = start + comm.protocol().size() + 3;
    if (text.compare(hostAt, comm.host().size(), comm.host()) != 0) std::abort();
    if (text[hostAt + comm.host().size()] != ':') std::abort();
    // The six-argument form gives the same settings back.
    if (!comm.parse(user, password, host, port, text, comm.protocol())) std::abort();
    if (host != comm.host() || port != comm.port()) std::abort();
    if (at != std::string::npos && user + ":" + password != text.substr(0, at)) std::abort();
  }
  return 0;
}
