// The platform layer on Linux and other POSIX systems.

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

#include "platform/Platform.h"

extern char** environ;

namespace Kelvane::Platform {

const int kErrorIsFolder = EISDIR;

std::string ErrorText(int code) { return std::strerror(code); }

File::~File() {
  if (handle_ != kNone) ::close(static_cast<int>(handle_));
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (handle_ != kNone) ::close(static_cast<int>(handle_));
    handle_ = other.handle_;
    created_ = other.created_;
    other.handle_ = kNone;
  }
  return *this;
}

bool File::Open(const std::string& path, Mode mode, int& error) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::kRead:
      flags |= O_RDONLY;
      break;
    case Mode::kWrite:
      flags |= O_WRONLY | O_TRUNC;
      break;
    case Mode::kAppend:
      flags |= O_WRONLY | O_APPEND;
      break;
    case Mode::kCreate:
      flags |= O_WRONLY | O_CREAT | O_EXCL;
      break;
  }
  // An existing file opens at the first call, as every append of a run
  // does; a missing one is made by a second, which tells that it was made.
  // A file made new (kCreate) is made by the first, with the same mode as
  // any other.
  int fd = ::open(path.c_str(), flags, 0666);
  bool created = mode == Mode::kCreate && fd >= 0;
  if (fd < 0 && errno == ENOENT && mode != Mode::kRead) {
    fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL, 0666);
    created = fd >= 0;
    // Made meanwhile by someone else, or a link to a missing file: opened
    // as before, and not ours to remove.
    if (fd < 0 && errno == EEXIST) fd = ::open(path.c_str(), flags | O_CREAT, 0666);
  }
  if (fd < 0) {
    error = errno;
    return false;
  }
  // A file opened before by this one is closed (every piece of the output
  // opens a File: no temporary File is made for it).
  if (handle_ != kNone) ::close(static_cast<int>(handle_));
  handle_ = fd;
  created_ = created;
  return true;
}

bool File::Length(std::int64_t& length, bool& folder, int& error) const {
  struct stat info {};
  if (::fstat(static_cast<int>(handle_), &info) != 0) {
    error = errno;
    return false;
  }
  length = info.st_size;
  folder = S_ISDIR(info.st_mode);
  return true;
}

std::int64_t File::Read(char* buffer, std::size_t count, int& error) {
  for (;;) {
    const ssize_t n = ::read(static_cast<int>(handle_), buffer, count);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    error = errno;
    return -1;
  }
}

std::int64_t File::Write(const Piece* pieces, int count, int& error) {
  // One piece goes out by a plain write, which costs the system less than
  // gathering; it is every polygon's way, so it comes first, before the
  // pieces are gathered for writev.
  if (count == 1) {
    for (;;) {
      const ssize_t n = ::write(static_cast<int>(handle_), pieces[0].data, pieces[0].size);
      if (n >= 0) return n;
      if (errno == EINTR) continue;
      error = errno;
      return -1;
    }
  }
  iovec parts[8];
  const int used = count < 8 ? count : 8;
  for (int i = 0; i < used; ++i) parts[i] = {const_cast<char*>(pieces[i].data), pieces[i].size};
  for (;;) {
    const ssize_t n = ::writev(static_cast<int>(handle_), parts, used);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    error = errno;
    return -1;
  }
}

namespace {

// Cuts the last `count` bytes off an open file, where it can seek.
void CutEnd(int fd, std::int64_t count) {
  const off_t end = ::lseek(fd, 0, SEEK_END);
  if (end >= count && count > 0) {
    [[maybe_unused]] const int cut = ::ftruncate(fd, end - count);
  }
}

}  // namespace

void File::TakeBack(std::int64_t count) { CutEnd(static_cast<int>(handle_), count); }

bool File::Close(int& error) {
  const int fd = static_cast<int>(handle_);
  handle_ = kNone;
  if (::close(fd) != 0) {
    error = errno;
    return false;
  }
  return true;
}

SharedLibrary::~SharedLibrary() {
  if (handle_ != nullptr) ::dlclose(handle_);
}

bool SharedLibrary::Load(const std::string& name, std::string& error) {
  if (handle_ != nullptr) return true;
  handle_ = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* reason = ::dlerror();
    error = reason != nullptr ? reason : "cannot be loaded";
    return false;
  }
  return true;
}

void* SharedLibrary::Function(const char* name) const {
  return handle_ != nullptr ? ::dlsym(handle_, name) : nullptr;
}

QuickAppend AppendQuickly(const std::string& path, std::string_view bytes, int& error) {
  // The flags of File's append, which then finds the file as this left it.
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return QuickAppend::kNotDone;
  ssize_t n = 0;
  do {
    n = ::write(fd, bytes.data(), bytes.size());
  } while (n < 0 && errno == EINTR);
  if (n != static_cast<ssize_t>(bytes.size())) {
    if (n > 0) CutEnd(fd, n);
    ::close(fd);
    return QuickAppend::kNotDone;
  }
  if (::close(fd) != 0) {
    error = errno;
    return QuickAppend::kCloseFailed;
  }
  return QuickAppend::kDone;
}

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  if (::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool PutFileInPlace(const std::string& from, const std::string& to, int& error) {
  struct stat old {};
  if (::stat(to.c_str(), &old) == 0 && ::chmod(from.c_str(), old.st_mode & 07777) != 0) {
    error = errno;
    return false;
  }
  if (::rename(from.c_str(), to.c_str()) != 0) {
    error = errno;
    return false;
  }
  return true;
}

std::string ProgramFolder() {
  std::string buffer(PATH_MAX, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0) return ".";
  buffer.resize(static_cast<std::size_t>(n));
  const std::size_t slash = buffer.rfind('/');
  return slash == std::string::npos ? "." : buffer.substr(0, slash);
}

void PrepareProcess() { std::signal(SIGXFSZ, SIG_IGN); }

std::vector<std::string> Arguments(int argc, char** argv) { return {argv, argv + argc}; }

bool StandardErrorIsTerminal() { return ::isatty(2) != 0; }

// /proc/self/exe is this very program, whatever PATH or argv[0] say.
std::string ThisProgram() { return "/proc/self/exe"; }

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& folder, std::size_t maxText) {
  ProgramResult result;
  std::vector<char*> argv;
  for (const std::string& arg : arguments) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  // Close-on-exec, so that no other child holds a pipe open and keeps its
  // end from being seen; dup2 clears the flag on the child's own copies.
  int out[2];
  int err[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    result.ending = std::strerror(errno);
    return result;
  }
  if (::pipe2(err, O_CLOEXEC) != 0) {
    result.ending = std::strerror(errno);
    ::close(out[0]);
    ::close(out[1]);
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(err[1]);
  if (spawned != 0) {
    result.ending = std::strerror(spawned);
    ::close(out[0]);
    ::close(err[0]);
    return result;
  }
  result.started = true;

  int fds[2] = {out[0], err[0]};
  std::string* texts[2] = {&result.out, &result.err};
  while (fds[0] >= 0 || fds[1] >= 0) {
    pollfd watched[2];
    int streams[2];
    nfds_t count = 0;
    for (int s = 0; s < 2; ++s) {
      if (fds[s] < 0) continue;
      watched[count] = {fds[s], POLLIN, 0};
      streams[count++] = s;
    }
    if (::poll(watched, count, -1) < 0) {
      if (errno == EINTR) continue;
      break;  // the child's end is waited for below all the same
    }
    for (nfds_t w = 0; w < count; ++w) {
      if (watched[w].revents == 0) continue;
      const int s = streams[w];
      char buffer[8192];
      const ssize_t n = ::read(fds[s], buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ::close(fds[s]);
        fds[s] = -1;
      } else if (texts[s]->size() < maxText) {
        texts[s]->append(buffer, static_cast<std::size_t>(n));
      }
    }
  }
  for (const int fd : fds) {
    if (fd >= 0) ::close(fd);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) {
    result.exited = true;
    result.exitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.ending =
        "signal " + std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) + ")";
  } else {
    result.ending = "status " + std::to_string(status);
  }
  return result;
}

void LeaveFileTable() {
#if defined(__linux__)
  unshare(CLONE_FILES);
#endif
}

}  // namespace Kelvane::Platform
