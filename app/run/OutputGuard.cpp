#include "app/run/OutputGuard.h"

#include <cstdint>
#include <string_view>

#include "keyword/Readers.h"
#include "metafile/format/Document.h"
#include "platform/Platform.h"

namespace Kelvane {

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view end) {
  if (text.size() < end.size()) return false;
  text.remove_prefix(text.size() - end.size());
  for (std::size_t i = 0; i < end.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != end[i]) return false;
  }
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Reads on from the file until `head` holds `size` bytes or the file ends;
// false when it cannot be read.
bool ReadUpTo(Platform::File& file, std::string& head, std::size_t size) {
  std::size_t filled = head.size();
  head.resize(size);
  int error = 0;
  while (filled < size) {
    const std::int64_t n = file.Read(head.data() + filled, size - filled, error);
    if (n < 0) return false;
    if (n == 0) break;
    filled += static_cast<std::size_t>(n);
  }
  head.resize(filled);
  return true;
}

bool BeginsLikeT3d(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  text.remove_prefix(i);
  return text.size() > 5 && text.substr(0, 5) == "Begin" && IsBlank(text[5]);
}

}  // namespace

std::string_view ModelExtensionOf(std::string_view name) {
  for (std::string_view extension : kModelExtensions) {
    if (EndsWithNoCase(name, extension)) return name.substr(name.size() - extension.size());
  }
  return {};
}

std::optional<std::string> ModelReason(const std::string& path) {
  const std::string name = Platform::TextOf(Platform::PathOf(path).filename());
  if (const std::string_view extension = ModelExtensionOf(name); !extension.empty()) {
    return "its name ends in " + std::string(extension);
  }
  // A file that cannot be read is not one the program would read.
  if (!Platform::IsRegularFile(path)) return std::nullopt;
  Platform::File file;
  int error = 0;
  if (!file.Open(path, Platform::File::Mode::kRead, error)) return std::nullopt;
  // An earlier T3D document, the usual case, is told by its first bytes.
  std::string head;
  if (!ReadUpTo(file, head, 4096)) return std::nullopt;
  if (Metafile::IsBinaryMetafile(head)) return "it begins with the binary 3DMF header";
  if (BeginsLikeT3d(head)) return std::nullopt;
  if (!ReadUpTo(file, head, kModelCheckBytes)) return std::nullopt;
  if (Metafile::AfterCommentLines(head).substr(0, 10) == "3DMetafile") {
    return "it begins with the 3DMF text header";
  }
  if (BeginsLikeT3d(head)) return std::nullopt;  // after more than the first blanks
  if (const auto keyword = FirstGeometryKeyword(head)) {
    return "the keyword reader finds a " + std::string(*keyword) + " object in it";
  }
  return std::nullopt;
}

}  // namespace Kelvane
