// SPDX-License-Identifier: MIT
#if !defined(_WIN32)
#include "child.h"

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <stddef.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support.h"

std::string support::inChild(const std::function<int()>& body, std::size_t addressSpace,
                             std::chrono::milliseconds limit) {
  const pid_t pid = fork();
  if (pid == 0) {
    const rlimit as = {addressSpace, addressSpace};
    if (addressSpace != 0 && setrlimit(RLIMIT_AS, &as) != 0) _exit(126);
    try {
      _exit(body());
    } catch (...) {
      _exit(125);
    }
  }
  int status = 0;
  if (pid < 0) return "fork failed";
  if (!support::eventually([&] { return waitpid(pid, &status, WNOHANG) == pid; }, limit)) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return "timed out";
  }
  return WIFEXITED(status) ? "exit " + std::to_string(WEXITSTATUS(status))
                           : "signal " + std::to_string(WTERMSIG(status));
}

bool support::refuseSystemCall(long number, int error) {
  if (number < 0) return true;
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned>(number), 0, 1),
      BPF_STMT(BPF_RET | BPF_K,
               SECCOMP_RET_ERRNO | (static_cast<unsigned>(error) & SECCOMP_RET_DATA)),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW)};
  const sock_fprog program = {sizeof filter / sizeof filter[0], filter};
  return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}
#endif
