#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

// Running a piece of work in a child process under a file-size limit, the
// way a disk that fills up looks to the program: writes past the limit
// fail with EFBIG instead of ending the process.
namespace testing_support {

// Runs `work` in a forked child whose files may grow to `limitBytes` at
// most; returns the child's exit status (-1 when it did not exit normally).
inline int RunWithFileSizeLimit(rlim_t limitBytes, const std::function<int()>& work) {
  const pid_t child = ::fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{limitBytes, limitBytes};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(99);
    ::_exit(work());
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs a program with arguments in a child under a file-size limit (none
// when limitBytes is RLIM_INFINITY); gives its exit status (-1 when it did
// not exit normally) and fills `err` with what it wrote to standard error.
// Standard error goes through a pipe, which the limit does not reach. The
// program sets its own SIGXFSZ handling; the child leaves it as it is.
inline int RunProgram(const std::vector<std::string>& argv, std::string& err,
                      rlim_t limitBytes = RLIM_INFINITY) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeEnds[0]);
    if (::dup2(pipeEnds[1], 2) < 0) ::_exit(98);
    const rlimit limit{limitBytes, limitBytes};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(99);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(97);
  }
  ::close(pipeEnds[1]);
  err.clear();
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(pipeEnds[0], buffer, sizeof buffer);
    if (n > 0) {
      err.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  ::close(pipeEnds[0]);
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace testing_support
