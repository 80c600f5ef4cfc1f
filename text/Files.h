#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Whole-file reading and piecewise writing, and file names. Texts are bytes:
// nothing is translated on the way in or out.
namespace Kelvane::TextRoutines {

// Lets pending window messages run; the window supplies it, others pass none.
using DoEvents = std::function<void()>;

// Files from this size on are read in chunks of this size, with the window
// given time between them.
constexpr std::int32_t kChunkSize = 500000;

// The whole content of a file, read in one piece. A missing file, a folder or
// a file too long for 32-bit positions is a file error (overflow for length).
std::string ReadWholeFile(const std::string& path);

// The whole content of a file; from kChunkSize bytes on it is read in chunks,
// letting pending messages run before and after each chunk and before each is
// joined. The result is always the file's bytes in order.
std::string ReadTextFile(const std::string& path, const DoEvents& doEvents = {});

// Writes the text and then CR LF: into a new or emptied file (append false) or
// at the end of the file (append true). Opens and closes the file within the
// call, so the file is complete on disk when it returns.
//
// A write cut short (a full disk, a file-size limit) leaves no part of
// itself: its bytes are taken back, so the file has the length it had
// before this write (empty, for a file that append false emptied), and a
// file that this write created is removed. Where the file cannot seek (a
// device), nothing is cut. The file error raised names the failure that
// stopped the write.
void WriteTextFile(const std::string& path, std::string_view text, bool append);

// WriteTextFile for a text whose CR LF is already its last two characters:
// written as it stands, the same bytes and the same open, write and close.
void WriteTextLine(const std::string& path, std::string_view line, bool append);

// The bytes as the whole of a new or emptied file, as WriteTextFile writes
// (and fails): pictures are written this way.
void WriteWholeFile(const std::string& path, std::string_view bytes);

// Adds the item at the end of the array, reusing a lone empty first element.
void AppendToStringArray(std::vector<std::string>& array, std::string item);

// The file name without its extension: the last "." of the name itself and
// what follows. A "." in a folder name does not count.
std::string StripExtension(std::string_view fileName);

}  // namespace Kelvane::TextRoutines
