// The platform layer on Windows: UTF-16 at every system call, handles
// opened for bytes only.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which they need.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <mutex>
#include <thread>

#include "platform/Platform.h"

namespace Kelvane::Platform {

namespace {

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size =
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
  return wide;
}

std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size,
                        nullptr, nullptr);
  return utf8;
}

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The path's file information, through a handle that asks for no access
// (so folders and files in use answer too).
bool Information(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  const HANDLE handle = ::CreateFileW(Wide(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool known = ::GetFileInformationByHandle(handle, &info) != 0;
  ::CloseHandle(handle);
  return known;
}

}  // namespace

// ERROR_DIRECTORY_NOT_SUPPORTED, which not every SDK names; its text is the
// program's own, since not every system has one.
const int kErrorIsFolder = 336;

std::string ErrorText(int code) {
  if (code == kErrorIsFolder) return "Is a directory";
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = length > 0 ? Utf8(std::wstring_view(text, length)) : std::string();
  if (text != nullptr) ::LocalFree(text);
  // The system's texts end in a line break, some in a full stop as well.
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  if (message.empty()) message = "system error " + std::to_string(code);
  return message;
}

File::~File() {
  if (handle_ != kNone) ::CloseHandle(AsHandle(handle_));
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (handle_ != kNone) ::CloseHandle(AsHandle(handle_));
    handle_ = other.handle_;
    created_ = other.created_;
    other.handle_ = kNone;
  }
  return *this;
}

bool File::Open(const std::string& path, Mode mode, int& error) {
  DWORD access = GENERIC_WRITE;
  DWORD disposition = OPEN_ALWAYS;
  DWORD flags = FILE_ATTRIBUTE_NORMAL;
  switch (mode) {
    case Mode::kRead:
      // Backup semantics let a folder open, so that the caller is told it
      // is one rather than that access was denied.
      access = GENERIC_READ;
      disposition = OPEN_EXISTING;
      flags |= FILE_FLAG_BACKUP_SEMANTICS;
      break;
    case Mode::kWrite:
      disposition = CREATE_ALWAYS;
      break;
    case Mode::kAppend:
      break;
    case Mode::kCreate:
      disposition = CREATE_NEW;
      break;
  }
  const std::wstring wide = Wide(path);
  const HANDLE handle =
      ::CreateFileW(wide.c_str(), access, kShareAll, nullptr, disposition, flags, nullptr);
  const DWORD lastError = ::GetLastError();
  // Opened for writing, a file that was there already says so.
  const bool created = mode != Mode::kRead && lastError != ERROR_ALREADY_EXISTS;
  if (handle == INVALID_HANDLE_VALUE) {
    error = static_cast<int>(lastError);
    // A folder named as a file to write.
    if (error == ERROR_ACCESS_DENIED) {
      const DWORD attributes = ::GetFileAttributesW(wide.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        error = kErrorIsFolder;
    }
    return false;
  }
  *this = File();
  handle_ = reinterpret_cast<std::intptr_t>(handle);
  created_ = created;
  if (mode == Mode::kAppend) {
    LARGE_INTEGER zero{};
    if (!::SetFilePointerEx(handle, zero, nullptr, FILE_END)) {
      error = static_cast<int>(::GetLastError());
      *this = File();
      return false;
    }
  }
  return true;
}

bool File::Length(std::int64_t& length, bool& folder, int& error) const {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(AsHandle(handle_), &info)) {
    error = static_cast<int>(::GetLastError());
    return false;
  }
  length = static_cast<std::int64_t>((std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
  folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

std::int64_t File::Read(char* buffer, std::size_t count, int& error) {
  const DWORD want = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
  DWORD got = 0;
  if (!::ReadFile(AsHandle(handle_), buffer, want, &got, nullptr)) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) return 0;
    error = static_cast<int>(code);
    return -1;
  }
  return got;
}

bool File::Seek(std::int64_t offset, int& error) {
  LARGE_INTEGER to{};
  to.QuadPart = offset;
  if (!::SetFilePointerEx(AsHandle(handle_), to, nullptr, FILE_BEGIN)) {
    error = static_cast<int>(::GetLastError());
    return false;
  }
  return true;
}

std::int64_t File::Write(const Piece* pieces, int count, int& error) {
  // Windows does not gather; the pieces go out as one buffer, so that one
  // piece of output is still one call.
  std::string joined;
  const char* data = pieces[0].data;
  std::size_t size = pieces[0].size;
  if (count > 1) {
    for (int i = 0; i < count; ++i) joined.append(pieces[i].data, pieces[i].size);
    data = joined.data();
    size = joined.size();
  }
  std::size_t done = 0;
  while (done < size) {
    const std::size_t rest = size - done;
    const DWORD want = rest > 0x40000000 ? 0x40000000 : static_cast<DWORD>(rest);
    DWORD wrote = 0;
    if (!::WriteFile(AsHandle(handle_), data + done, want, &wrote, nullptr)) {
      if (done > 0) return static_cast<std::int64_t>(done);  // the next call tells the error
      error = static_cast<int>(::GetLastError());
      return -1;
    }
    done += wrote;
  }
  return static_cast<std::int64_t>(done);
}

void File::TakeBack(std::int64_t count) {
  LARGE_INTEGER size{};
  if (count <= 0 || !::GetFileSizeEx(AsHandle(handle_), &size) || size.QuadPart < count) return;
  LARGE_INTEGER end{};
  end.QuadPart = size.QuadPart - count;
  if (::SetFilePointerEx(AsHandle(handle_), end, nullptr, FILE_BEGIN))
    ::SetEndOfFile(AsHandle(handle_));
}

bool File::Close(int& error) {
  const HANDLE handle = AsHandle(handle_);
  handle_ = kNone;
  if (!::CloseHandle(handle)) {
    error = static_cast<int>(::GetLastError());
    return false;
  }
  return true;
}

SharedLibrary::~SharedLibrary() {
  if (handle_ != nullptr) ::FreeLibrary(static_cast<HMODULE>(handle_));
}

bool SharedLibrary::Load(const std::string& name, std::string& error) {
  if (handle_ != nullptr) return true;
  handle_ = ::LoadLibraryW(Wide(name).c_str());
  if (handle_ == nullptr) {
    error = ErrorText(static_cast<int>(::GetLastError()));
    return false;
  }
  return true;
}

void* SharedLibrary::Function(const char* name) const {
  return handle_ != nullptr
             ? reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name))
             : nullptr;
}

bool Exists(const std::string& path) {
  return ::GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool SameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION first{};
  BY_HANDLE_FILE_INFORMATION second{};
  if (!Information(a, first) || !Information(b, second)) return false;
  return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

bool IsRegularFile(const std::string& path) {
  const HANDLE handle = ::CreateFileW(Wide(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool file = ::GetFileType(handle) == FILE_TYPE_DISK &&
                    ::GetFileInformationByHandle(handle, &info) != 0 &&
                    (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  ::CloseHandle(handle);
  return file;
}

// Every append takes File's way here: the system's own work to open a file
// outweighs by far what a quicker way through this program would save.
QuickAppend AppendQuickly(const std::string&, std::string_view, int&) {
  return QuickAppend::kNotDone;
}

bool RemoveFile(const std::string& path) { return ::DeleteFileW(Wide(path).c_str()) != 0; }

bool PutFileInPlace(const std::string& from, const std::string& to, int& error) {
  // A rename within one volume: the name points at the old file or the new.
  if (::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
    error = static_cast<int>(::GetLastError());
    return false;
  }
  return true;
}

namespace {

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

std::string ProgramFolder() {
  const std::string path = Utf8(ModulePath());
  const std::size_t slash = path.find_last_of(kPathSeparators);
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

void PrepareProcess() {
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
  ::SetConsoleOutputCP(CP_UTF8);
  // The progress line redraws itself with terminal sequences.
  const HANDLE console = ::GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (console != INVALID_HANDLE_VALUE && ::GetConsoleMode(console, &mode))
    ::SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

std::vector<std::string> Arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return {argv, argv + argc};
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

std::string ThisProgram() { return Utf8(ModulePath()); }

namespace {

// One argument as the child's command line parser reads it back: quoted
// when it holds a blank or a quote or is empty, backslashes doubled
// before a quote.
void AppendQuoted(std::wstring& line, const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += argument;
    return;
  }
  line += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

// Handles a child may inherit are made only under this lock, so no child
// started at the same time by another thread holds a pipe of this one
// open and keeps its end from being seen.
std::mutex& StartLock() {
  static std::mutex lock;
  return lock;
}

void ReadAll(HANDLE pipe, std::string& text, std::size_t maxText) {
  char buffer[8192];
  DWORD got = 0;
  while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    if (text.size() < maxText) text.append(buffer, got);
  }
}

}  // namespace

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& folder, std::size_t maxText) {
  ProgramResult result;
  std::wstring line;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (i > 0) line += L' ';
    AppendQuoted(line, Wide(arguments[i]));
  }
  const std::wstring where = Wide(folder);

  HANDLE outRead = nullptr;
  HANDLE errRead = nullptr;
  PROCESS_INFORMATION process{};
  {
    const std::lock_guard<std::mutex> hold(StartLock());
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outWrite = nullptr;
    HANDLE errWrite = nullptr;
    if (!::CreatePipe(&outRead, &outWrite, &inherit, 0)) {
      result.ending = ErrorText(static_cast<int>(::GetLastError()));
      return result;
    }
    if (!::CreatePipe(&errRead, &errWrite, &inherit, 0)) {
      result.ending = ErrorText(static_cast<int>(::GetLastError()));
      ::CloseHandle(outRead);
      ::CloseHandle(outWrite);
      return result;
    }
    ::SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    const HANDLE nothing = ::CreateFileW(L"NUL", GENERIC_READ, kShareAll, &inherit, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    // A start can fail for a moment when the system is busy starting
    // others (seen under Wine as "Internal error" with several jobs): such
    // a failure is tried again a few times; a missing or unfit program is not.
    BOOL started = FALSE;
    DWORD code = 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
      if (attempt > 0) ::Sleep(static_cast<DWORD>(50 * attempt));
      std::wstring attemptLine = line;  // the call may change the text it is given
      started = ::CreateProcessW(Wide(program).c_str(), attemptLine.data(), nullptr, nullptr, TRUE,
                                 CREATE_NO_WINDOW, nullptr, where.empty() ? nullptr : where.c_str(),
                                 &startup, &process);
      code = ::GetLastError();
      if (started || code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
          code == ERROR_ACCESS_DENIED || code == ERROR_BAD_EXE_FORMAT || code == ERROR_DIRECTORY) {
        break;
      }
    }
    ::CloseHandle(outWrite);
    ::CloseHandle(errWrite);
    if (nothing != INVALID_HANDLE_VALUE) ::CloseHandle(nothing);
    if (!started) {
      result.ending = ErrorText(static_cast<int>(code));
      ::CloseHandle(outRead);
      ::CloseHandle(errRead);
      return result;
    }
  }
  result.started = true;
  ::CloseHandle(process.hThread);
  // Both pipes are read at once, or a child that fills one would wait for
  // ever on a parent that waits on the other.
  std::thread errors([&] { ReadAll(errRead, result.err, maxText); });
  ReadAll(outRead, result.out, maxText);
  errors.join();
  ::CloseHandle(outRead);
  ::CloseHandle(errRead);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 0;
  ::GetExitCodeProcess(process.hProcess, &exitCode);
  ::CloseHandle(process.hProcess);
  // Codes from 0xC0000000 on are exceptions that ended it (an access
  // violation, a stack overflow), not its own exit.
  if (exitCode >= 0xC0000000u) {
    char text[48];
    std::snprintf(text, sizeof text, "exception 0x%08lX", static_cast<unsigned long>(exitCode));
    result.ending = text;
  } else {
    result.exited = true;
    result.exitCode = static_cast<int>(exitCode);
  }
  return result;
}

void LeaveFileTable() {}

}  // namespace Kelvane::Platform
