#include "text/Files.h"

#include <algorithm>

#include "platform/Platform.h"
#include "text/QuickLines.h"
#include "text/RunError.h"

namespace Kelvane::TextRoutines {

using Kelvane::ErrorKind;
using Kelvane::RunError;
using Kelvane::ThrowFileError;

namespace {

using Platform::File;

// Opens a file for reading and returns it with its length. Refuses folders
// and files whose length does not fit the 32-bit positions of the text.
File OpenForReading(const std::string& path, std::int32_t& length) {
  File file;
  int error = 0;
  if (!file.Open(path, File::Mode::kRead, error)) ThrowFileError("Cannot open", path, error);
  std::int64_t size = 0;
  bool folder = false;
  if (!file.Length(size, folder, error)) ThrowFileError("Cannot read", path, error);
  if (folder) ThrowFileError("Cannot read", path, Platform::kErrorIsFolder);
  // Positions are 1-based 32-bit numbers and must reach length + 1.
  if (size >= kMaxPosition) {
    throw RunError(ErrorKind::Overflow, "The file \"" + path + "\" is " + std::to_string(size) +
                                            " bytes long; files of 2 GiB or more cannot be read");
  }
  length = static_cast<std::int32_t>(size);
  return file;
}

// Reads up to count bytes at the end of text; returns how many were read
// (0 at the end of the file).
std::size_t ReadChunk(File& file, const std::string& path, std::string& text, std::size_t count) {
  const std::size_t start = text.size();
  text.resize(start + count);
  std::size_t got = 0;
  while (got < count) {
    int error = 0;
    const std::int64_t n = file.Read(text.data() + start + got, count - got, error);
    if (n < 0) {
      text.resize(start);
      ThrowFileError("Cannot read", path, error);
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  text.resize(start + got);
  return got;
}

// Reads whatever the file holds beyond the length it had when it was opened,
// through a small buffer, so the text is not regrown when nothing follows.
void ReadRest(File& file, const std::string& path, std::string& text) {
  char buffer[65536];
  for (;;) {
    int error = 0;
    const std::int64_t n = file.Read(buffer, sizeof buffer, error);
    if (n < 0) ThrowFileError("Cannot read", path, error);
    if (n == 0) return;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() >= static_cast<std::size_t>(kMaxPosition)) {
      throw RunError(ErrorKind::Overflow,
                     "The file \"" + path + "\" grew to 2 GiB or more while it was read");
    }
  }
}

void Yield(const DoEvents& doEvents) {
  if (doEvents) doEvents();
}

// Reads an opened file in one piece, to its end, whatever its length was a
// moment ago.
std::string ReadAll(File& file, const std::string& path, std::int32_t length) {
  std::string text;
  text.reserve(static_cast<std::size_t>(length));
  ReadChunk(file, path, text, static_cast<std::size_t>(length));
  ReadRest(file, path, text);
  return text;
}

}  // namespace

std::string ReadWholeFile(const std::string& path) {
  std::int32_t length = 0;
  File file = OpenForReading(path, length);
  return ReadAll(file, path, length);
}

std::string ReadTextFile(const std::string& path, const DoEvents& doEvents) {
  std::int32_t length = 0;
  File file = OpenForReading(path, length);
  if (length < kChunkSize) return ReadAll(file, path, length);
  // The chunks land in place in the one result, sized once from the file's
  // length, so a large input is never held twice; the window still gets its
  // time at every step of the chunked way.
  std::string text;
  text.reserve(static_cast<std::size_t>(length));
  std::size_t chunks = 0;
  while (text.size() < static_cast<std::size_t>(length)) {
    Yield(doEvents);
    const std::size_t want =
        std::min<std::size_t>(kChunkSize, static_cast<std::size_t>(length) - text.size());
    const std::size_t got = ReadChunk(file, path, text, want);
    Yield(doEvents);
    if (got == 0) break;  // the file shrank while it was read
    ++chunks;
  }
  ReadRest(file, path, text);
  Yield(doEvents);
  for (std::size_t i = 0; i < chunks; ++i) Yield(doEvents);
  return text;
}

namespace {

// Takes back what a failed write put out, then reports the failure: the
// file, while still open, is cut by the `written` bytes (where it can seek),
// and it is removed when this write made it. What the cut or the removal
// meets is not reported: the error that stopped the write is the one the
// user can act on.
[[noreturn]] void FailWrite(File& file, const std::string& path, std::int64_t written, int error) {
  if (file.IsOpen()) {
    file.TakeBack(written);
    int ignored = 0;
    file.Close(ignored);
  }
  if (file.Created()) Platform::RemoveFile(path);
  ThrowFileError("Cannot write", path, error);
}

// Opens the file, writes the parts in order and closes it again.
void WriteParts(const std::string& path, Platform::Piece* parts, int count, bool append) {
  File file;
  int error = 0;
  if (!file.Open(path, append ? File::Mode::kAppend : File::Mode::kWrite, error))
    ThrowFileError("Cannot write", path, error);
  int first = 0;
  std::int64_t written = 0;
  while (first < count) {
    const std::int64_t n = file.Write(parts + first, count - first, error);
    if (n < 0) FailWrite(file, path, written, error);
    written += n;
    auto done = static_cast<std::size_t>(n);
    while (first < count && done >= parts[first].size) {
      done -= parts[first].size;
      ++first;
    }
    if (first < count) {
      parts[first].data += done;
      parts[first].size -= done;
    }
  }
  if (!file.Close(error)) FailWrite(file, path, written, error);
}

}  // namespace

void WriteTextFile(const std::string& path, std::string_view text, bool append) {
  static const char kLineEnd[] = "\r\n";
  Platform::Piece parts[2] = {{text.data(), text.size()}, {kLineEnd, 2}};
  WriteParts(path, parts, 2, append);
}

void WriteTextLine(const std::string& path, std::string_view line, bool append) {
  if (append) {
    // Every record of a run comes this way: the quick way first.
    int error = 0;
    const Platform::QuickAppend quick = Platform::AppendQuickly(path, line, error);
    if (quick == Platform::QuickAppend::kDone) return;
    if (quick == Platform::QuickAppend::kCloseFailed) ThrowFileError("Cannot write", path, error);
  }
  Platform::Piece part = {line.data(), line.size()};
  WriteParts(path, &part, 1, append);
}

void WriteWholeFile(const std::string& path, std::string_view bytes) {
  Platform::Piece part = {bytes.data(), bytes.size()};
  WriteParts(path, &part, 1, false);
}

void AppendToStringArray(std::vector<std::string>& array, std::string item) {
  if (array.empty()) {
    array.push_back(std::move(item));
  } else if (array.size() == 1 && array[0].empty()) {
    array[0] = std::move(item);
  } else {
    array.push_back(std::move(item));
  }
}

std::string StripExtension(std::string_view fileName) {
  if (fileName.size() > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())) {
    throw RunError(ErrorKind::Overflow, "A file name of " + std::to_string(fileName.size()) +
                                            " characters is longer than 32767");
  }
  for (std::size_t n = fileName.size(); n >= 1; --n) {
    const char c = fileName[n - 1];
    if (c == '\\' || c == '/') break;
    if (c == '.') return std::string(fileName.substr(0, n - 1));
  }
  return std::string(fileName);
}

}  // namespace Kelvane::TextRoutines
