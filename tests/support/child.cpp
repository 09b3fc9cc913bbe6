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

#include <thread>

std::string support::inChild(const std::function<int()>& body, std::size_t addressSpace,
                             std::chrono::milliseconds limit) {
  const pid_t pid = fork();
  if (pid == 0) {
    const rlimit as = {addressSpace, addressSpace};
    int code = 126;
    if (addressSpace == 0 || setrlimit(RLIMIT_AS, &as) == 0) {
      try {
        code = body();
      } catch (...) {
        code = 125;
      }
    }
    _exit(code);
  }
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (pid > 0 && waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return "timed out";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (pid < 0) return "fork failed";
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
