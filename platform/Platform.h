#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Every call into the operating system: files, file identity, the program's
// own place, its arguments and the programs it starts. One implementation
// for POSIX systems (PlatformPosix.cpp), one for Windows
// (PlatformWindows.cpp); nothing else includes a system header.
//
// Paths are UTF-8 everywhere in the program; on Windows they become UTF-16
// at the system call only. Files are bytes both ways: nothing translates a
// line end.
namespace Kelvane::Platform {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
inline constexpr std::string_view kPathSeparators = "\\/";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr std::string_view kPathSeparators = "/";
#endif

// A failure's code as the system gives it (errno, or GetLastError on
// Windows), and its text for a message.
std::string ErrorText(int code);
// The code for "this is a folder" where a file was needed.
extern const int kErrorIsFolder;

// A part of what one write puts out.
struct Piece {
  const char* data;
  std::size_t size;
};

// An open file, closed when it goes. Each call returns false (or -1) on
// failure with the system's code in `error`; interrupted calls are retried.
class File {
 public:
  enum class Mode {
    kRead,    // an existing file
    kWrite,   // made when missing, emptied when not
    kAppend,  // made when missing, written at its end
    kCreate,  // made new; fails when something of that name exists
  };

  File() = default;
  ~File();
  File(File&& other) noexcept : handle_(other.handle_), created_(other.created_) {
    other.handle_ = kNone;
  }
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool Open(const std::string& path, Mode mode, int& error);
  bool IsOpen() const { return handle_ != kNone; }
  // Whether the last Open made the file (it was missing), so that a write
  // that fails can take the file back too. Kept after Close.
  bool Created() const { return created_; }
  // The length in bytes, and whether the opened path is a folder.
  bool Length(std::int64_t& length, bool& folder, int& error) const;
  // Up to `count` bytes: how many were read, 0 at the end, -1 on failure.
  std::int64_t Read(char* buffer, std::size_t count, int& error);
  // The next read starts at byte `offset` from the file's start.
  bool Seek(std::int64_t offset, int& error);
  // Writes the pieces in order as far as one system call takes them: how
  // many bytes went out (maybe fewer than all), -1 when none did.
  std::int64_t Write(const Piece* pieces, int count, int& error);
  // Cuts the last `count` bytes off the file, where it can seek; a failure
  // to do so is not reported (the caller reports what made it cut).
  void TakeBack(std::int64_t count);
  bool Close(int& error);

 private:
  static constexpr std::intptr_t kNone = -1;
  std::intptr_t handle_ = kNone;  // a descriptor, or a HANDLE on Windows
  bool created_ = false;
};

// The quick way for the many small appends of a run: one open of a file
// that exists, one write of all the bytes, one close, with none of File's
// bookkeeping. Where it does not go so, nothing of it is left (what went
// out is taken back), and the caller takes the general way with File,
// which meets the same fault and reports it, or gets past it. Only a close
// that fails after every byte went out is reported here, with its code in
// `error`: the bytes cannot be taken back then, nor written again.
enum class QuickAppend { kDone, kNotDone, kCloseFailed };
QuickAppend AppendQuickly(const std::string& path, std::string_view bytes, int& error);

// A shared library loaded while the program runs, for a part that only
// some runs need (so that a run without it does not load it, nor what it
// loads in turn). Unloaded when it goes.
class SharedLibrary {
 public:
  SharedLibrary() = default;
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // Loads the library of that file name from the system's usual places;
  // false, with the system's reason in `error`, when it cannot.
  bool Load(const std::string& name, std::string& error);
  // The address of one of its functions; nullptr when it has none such.
  void* Function(const char* name) const;

 private:
  void* handle_ = nullptr;
};

// Whether something exists at the path.
bool Exists(const std::string& path);
// Whether two paths name one existing file (device and inode; on Windows
// volume serial number and file index). False when either is missing.
bool SameFile(const std::string& a, const std::string& b);
// Whether the path names a regular file (after following links): not a
// folder, a device or a pipe.
bool IsRegularFile(const std::string& path);
// Removes a file; false when it cannot.
bool RemoveFile(const std::string& path);
// Puts the file `from` in the place of the existing file `to`, in one step
// where the system can (a rename over it), so that `to` is at every moment
// either the old file or the new one. `from` takes the permissions of `to`
// first. False with the system's code in `error` when it cannot; `to` is
// then as it was.
bool PutFileInPlace(const std::string& from, const std::string& to, int& error);

// The folder this program's executable lies in, without a separator at
// its end, its links resolved; "." when the system does not say.
std::string ProgramFolder();

// Sets the process up for the program: a write beyond a file-size limit
// fails instead of ending it; on Windows the standard streams take bytes as
// they are (no CR before LF) and the console shows UTF-8.
void PrepareProcess();
// The program's arguments as UTF-8, the program's name first. On Windows
// they come from the wide command line, whatever the code page.
std::vector<std::string> Arguments(int argc, char** argv);
// Whether standard error is a terminal (a progress line may be drawn).
bool StandardErrorIsTerminal();

// Called on a thread that opens no file: it stops sharing the process's
// table of open files, so that the system takes its quicker way for the
// other thread's file calls, as in a process of one thread. Nothing where
// the system has no such thing.
void LeaveFileTable();

// A path of the standard library from a UTF-8 text, and back.
inline std::filesystem::path PathOf(std::string_view utf8) {
  return std::filesystem::path(
      std::u8string_view(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}
inline std::string TextOf(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// How a program that was run ended, with what it printed.
struct ProgramResult {
  bool started = false;  // false: `ending` says why it could not start
  bool exited = false;   // it ended by itself with exitCode
  int exitCode = -1;
  std::string ending;  // how it ended otherwise ("signal 9 (Killed)")
  std::string out;     // its standard output, as far as `maxText` bytes
  std::string err;     // its standard error, likewise
};

// This program's executable, to run it again.
std::string ThisProgram();

// Runs a program with the arguments (the first is its name as it sees it)
// in `folder` (empty: this one's), with nothing on its standard input, and
// waits for it to end. Several may run at once from different threads.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& folder = {}, std::size_t maxText = 1 << 20);

}  // namespace Kelvane::Platform
