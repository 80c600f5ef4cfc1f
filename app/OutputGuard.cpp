#include "app/OutputGuard.h"

#include <string_view>

#include "keyword/Readers.h"
#include "metafile/Document.h"
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

// The head of a regular file, up to kModelCheckBytes; nothing when it is
// no regular file or cannot be read.
std::optional<std::string> HeadOf(const std::string& path) {
  if (!Platform::IsRegularFile(path)) return std::nullopt;
  Platform::File file;
  int error = 0;
  if (!file.Open(path, Platform::File::Mode::kRead, error)) return std::nullopt;
  std::string head(kModelCheckBytes, '\0');
  std::size_t filled = 0;
  while (filled < head.size()) {
    const std::int64_t n = file.Read(head.data() + filled, head.size() - filled, error);
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    filled += static_cast<std::size_t>(n);
  }
  head.resize(filled);
  return head;
}

// The text after blank lines and "#" comment lines.
std::string_view AfterComments(std::string_view text) {
  for (;;) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    text.remove_prefix(i);
    if (text.empty() || text.front() != '#') return text;
    const std::size_t end = text.find_first_of("\r\n");
    text.remove_prefix(end == std::string_view::npos ? text.size() : end);
  }
}

bool BeginsLikeT3d(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  text.remove_prefix(i);
  return text.size() > 5 && text.substr(0, 5) == "Begin" && IsBlank(text[5]);
}

}  // namespace

std::optional<std::string> ModelReason(const std::string& path) {
  const std::string name = Platform::TextOf(Platform::PathOf(path).filename());
  for (std::string_view extension : {".3dmf", ".3dm", ".q3d", ".qd3d"}) {
    if (EndsWithNoCase(name, extension))
      return "its name ends in " + name.substr(name.size() - extension.size());
  }
  const std::optional<std::string> head = HeadOf(path);
  if (!head) return std::nullopt;
  if (Metafile::IsBinaryMetafile(*head)) return "it begins with the binary 3DMF header";
  if (AfterComments(*head).substr(0, 10) == "3DMetafile") {
    return "it begins with the 3DMF text header";
  }
  if (BeginsLikeT3d(*head)) return std::nullopt;
  if (const auto keyword = FirstGeometryKeyword(*head)) {
    return "the keyword reader finds a " + std::string(*keyword) + " object in it";
  }
  return std::nullopt;
}

}  // namespace Kelvane
