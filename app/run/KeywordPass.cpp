#include "app/run/KeywordPass.h"

#include <algorithm>

#include "keyword/Readers.h"
#include "text/RunError.h"
#include "text/Scanning.h"

namespace Kelvane {

namespace {

constexpr std::string_view kKeywords[] = {kPolyhedronKeyword, kMeshKeyword, kTriMeshKeyword,
                                          kTextureKeyword};

}  // namespace

InputPlace PlaceOf(std::string_view text, std::int32_t position) {
  InputPlace place{1, 1};
  std::size_t lineStart = 0;
  const std::size_t end =
      std::min(text.size(), static_cast<std::size_t>(std::max(position, 1) - 1));
  for (std::size_t i = 0; i < end; ++i) {
    const char c = text[i];
    if (c == '\n' || (c == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
      ++place.line;
      lineStart = i + 1;
    }
  }
  place.column = static_cast<std::int32_t>(std::max(position, 1) - 1 -
                                           static_cast<std::int64_t>(lineStart) + 1);
  return place;
}

KeywordPass::KeywordPass(std::string_view text, double scale, bool editorFrame, bool pictures,
                         DocumentFrame& frame, RunSink& sink, TextureSaver& saver, Image& picture)
    : frame_(frame),
      pictures_(pictures),
      args_{.inputText = text,
            .scale = scale,
            .writer = frame.Writer(),
            .sink = sink,
            .saver = saver,
            .picture = picture,
            .editorFrame = editorFrame} {}

std::string KeywordPass::Where(std::int32_t position) const {
  const InputPlace place = Kelvane::PlaceOf(args_.inputText, position);
  return "input line " + std::to_string(place.line) + ", column " + std::to_string(place.column);
}

std::string KeywordPass::PlaceOf(const RunError& error) const {
  if (!error.Place().empty()) return error.Place();
  if (args_.spot < 1) return {};
  return Where(args_.spot);
}

std::vector<std::string> KeywordPass::Warnings() const {
  const ReadingNotes& notes = args_.notes;
  std::vector<std::string> warnings;
  if (notes.notNumbers > 0) {
    std::string_view token = notes.firstNotNumberToken;
    while (!token.empty() && TextRoutines::Scan::IsDelimiter(token.back())) token.remove_suffix(1);
    const bool one = notes.notNumbers == 1;
    warnings.push_back("the keyword reader took 0 for " +
                       (one ? std::string("a token") : std::to_string(notes.notNumbers) + " tokens") +
                       " that do" + (one ? "es" : "") + " not start with a number, " +
                       (one ? "" : "the first ") + Quote(token) + " at " +
                       Where(notes.firstNotNumber));
  }
  if (notes.pastEnd > 0) {
    const std::int64_t n = notes.pastEnd;
    warnings.push_back("the keyword reader read past the end of the input " +
                       (n == 1 ? std::string("once") : std::to_string(n) + " times") +
                       " and took 0 for what was missing, first at " + Where(notes.firstPastEnd) +
                       ": the file may be cut off");
  }
  return warnings;
}


std::int32_t KeywordPass::Search(Kind kind, std::int32_t from) const {
  if (from < 1 || static_cast<std::size_t>(from - 1) > args_.inputText.size()) return 0;
  const std::size_t at = args_.inputText.find(kKeywords[kind], static_cast<std::size_t>(from - 1));
  return at == std::string_view::npos ? 0 : static_cast<std::int32_t>(at + 1);
}

void KeywordPass::ApplyFarMarker() {
  if (hits_[kTriMesh] >= 1 && hits_[kMesh] == hits_[kTriMesh] + 3) hits_[kMesh] = kFarMarker;
}

void KeywordPass::ReadObject(Kind kind) {
  args_.scanPosition = hits_[kind];
  args_.spot = args_.scanPosition;
  switch (kind) {
    case kPolyhedron:
      ReadPolyhedron(args_);
      break;
    case kMesh:
      ReadMesh(args_);
      break;
    case kTriMesh:
      ReadTriMesh(args_);
      break;
    case kTexture:
    case kKinds:
      ReadPixmapTexture(args_);
      break;
  }
}

void KeywordPass::Run() {
  hits_[kTexture] = pictures_ ? Search(kTexture, 1) : -1;
  hits_[kPolyhedron] = Search(kPolyhedron, 1);
  hits_[kTriMesh] = Search(kTriMesh, 1);
  hits_[kMesh] = Search(kMesh, 1);
  ApplyFarMarker();

  frame_.WriteHead();

  for (;;) {
    // The next object is the kind whose keyword stands first ahead; the
    // loop ends when none is left.
    Kind next = kKinds;
    for (Kind kind : {kPolyhedron, kMesh, kTriMesh, kTexture}) {
      if (hits_[kind] >= 1 && (next == kKinds || hits_[kind] < hits_[next])) next = kind;
    }
    if (next == kKinds) break;

    frame_.BeginObject();
    ReadObject(next);
    frame_.ShowProcessed();

    const std::int32_t from = args_.scanPosition;
    if (pictures_ && hits_[kTexture] >= 1) hits_[kTexture] = Search(kTexture, from);
    for (Kind kind : {kPolyhedron, kTriMesh, kMesh}) {
      if (hits_[kind] >= 1) hits_[kind] = Search(kind, from);
    }
    ApplyFarMarker();

    frame_.EndObject();
  }

  frame_.WriteTail();
}

}  // namespace Kelvane
