// kelvane-measure: runs a command and records its wall time and peak
// resident memory (from wait4's resource usage), so the benchmark script
// needs nothing beyond the repo.
//
//   kelvane-measure RESULT -- COMMAND [ARGUMENT ...]
//
// RESULT receives one line: wall seconds, peak memory in KiB, exit status,
// user and system CPU seconds.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 4 || std::strcmp(argv[2], "--") != 0) {
    std::fprintf(stderr, "Usage: kelvane-measure RESULT -- COMMAND [ARGUMENT ...]\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child < 0) {
    std::perror("fork");
    return 1;
  }
  if (child == 0) {
    ::execvp(argv[3], argv + 3);
    std::perror(argv[3]);
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (::wait4(child, &status, 0, &usage) < 0) {
    std::perror("wait4");
    return 1;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  const auto cpu = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  std::fprintf(out, "%.6f %ld %d %.6f %.6f\n", seconds, usage.ru_maxrss, code, cpu(usage.ru_utime),
               cpu(usage.ru_stime));
  std::fclose(out);
  return code;
}
