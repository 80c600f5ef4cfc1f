// Fuzz target: the whole-format reader's text front end and the scene walk
// over arbitrary bytes. ReadTextDocument builds the tree, WalkScene hands
// what it finds to a sink that checks it: triangle corners inside their
// point table, finite points, images as large as they say. Only RunError,
// with its place, may come out; any other exception, a crash, a sanitizer
// report, or a run that libFuzzer's -timeout or -rss_limit_mb stops is a
// finding. Each input is read again with junk after it (zeros, its own last
// bytes again, or bytes that look random): what it held before must stay
// as it was, and zeros must be its unread rest, with the warning that says
// so.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "fuzz/MetafileChecks.h"
#include "metafile/format/Document.h"
#include "metafile/format/TextFields.h"
#include "metafile/scene/Scene.h"
#include "text/RunError.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace {

using namespace Kelvane::Metafile;

// The tree must only point inside itself and the input, and every link must
// lead forward: the walk follows `next` and `children` without a guard.
// An object's data ends at its ')', but for a Container left open where the
// file ends, which the front end closes there with a warning: its data ends
// with the file, and so may that of a Container open inside it.
void CheckTree(const Document& document, std::string_view input) {
  CheckLinks(document);  // first: the checks below follow the links
  const std::size_t count = document.objects.size();
  const auto endsWithFile = [&](const Object& object) {
    return object.kind == "Container" && object.dataEnd == input.size();
  };
  std::size_t closedAtEnd = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const Object& object = document.objects[i];
    Check(object.start < object.dataBegin, "an object's data begins before its name");
    Check(object.dataBegin <= object.dataEnd && object.dataEnd <= input.size(),
          "an object's data lies outside the input");
    Check(input[object.dataBegin - 1] == '(', "an object's data does not follow its '('");
    if (endsWithFile(object)) {
      ++closedAtEnd;
    } else {
      Check(object.dataEnd < input.size() && input[object.dataEnd] == ')',
            "an object's data does not end at its ')'");
    }
    for (const std::size_t child : object.children) {
      const Object& inside = document.objects[child];
      Check(inside.start >= object.dataBegin &&
                (inside.dataEnd < object.dataEnd || (endsWithFile(inside) && endsWithFile(object))),
            "a child lies outside its parent's data");
    }
  }
  // Each one closed there is told (other mends may warn too).
  Check(closedAtEnd <= document.warnings.size(),
        "a Container was closed at the end of the file without a warning");
}

// An error names a line and column of the input (or just after its end).
void CheckError(const Kelvane::RunError& e, std::string_view input) {
  Check(std::string_view(e.what()).size() > 0, "an error without a text");
  unsigned long long line = 0;
  unsigned long long column = 0;
  Check(std::sscanf(e.Place().c_str(), "input line %llu, column %llu", &line, &column) == 2,
        "an error without its line and column in the input");
  std::size_t lines = 1;
  for (std::size_t i = 0; i < input.size(); ++i) {
    if (input[i] == '\n' || (input[i] == '\r' && (i + 1 == input.size() || input[i + 1] != '\n')))
      ++lines;
  }
  Check(line >= 1 && line <= lines && column >= 1 && column <= input.size() + 1,
        "an error's place lies outside the input");
}

void Walk(const Document& document, std::string_view input) {
  WalkBothWays(document, [&](const Kelvane::RunError& e) { CheckError(e, input); });
}

// Reads the input, checks the tree and, with `walk`, walks it; null when
// it is refused (its error checked).
std::unique_ptr<Document> ReadChecked(std::string_view input, bool walk) {
  std::unique_ptr<Document> document;
  try {
    document = ReadTextDocument(input);
  } catch (const Kelvane::RunError& e) {
    CheckError(e, input);
    return nullptr;
  }
  Check(document->form == Form::Text, "the text front end made a binary document");
  CheckTree(*document, input);
  if (walk) Walk(*document, input);
  return document;
}

// The input with a line break and junk after it (the break ends a comment
// the input may end in). A file read whole, without a warning, keeps its
// objects, and zeros after it are its unread rest, with one warning that
// names where they begin; other junk may read as more objects, which are
// walked.
void CheckWithJunk(std::string_view input, const Document* alone) {
  const std::string junk = JunkFor(input);
  const std::string longer = std::string(input) + "\n" + junk;
  const bool whole = alone != nullptr && alone->warnings.empty();
  const auto with = ReadChecked(longer, false);
  if (with == nullptr) {
    Check(!whole || KindOfJunk(input) != JunkKind::kZeros, "zeros after a file made it fail");
    return;
  }
  if (!whole) return;
  Check(ObjectsKept(*alone, *with), "junk after a file changed its objects");
  if (KindOfJunk(input) == JunkKind::kZeros) {
    CheckZerosAfter(*alone, *with, junk.size(), "(" + TextPlace(longer, input.size() + 1) + ")");
  }
  if (with->objects.size() > alone->objects.size()) Walk(*with, longer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto document = ReadChecked(input, true);
  CheckWithJunk(input, document.get());
  return 0;
}
