// Fuzz target: the whole-format reader's binary front end and the scene walk
// over arbitrary bytes. ReadBinaryDocument builds the tree, WalkScene hands
// what it finds to a sink that checks it: triangle corners inside their
// point table, finite points, images as large as they say. Only RunError,
// with its place, may come out; any other exception, a crash, a sanitizer
// report, or a run that libFuzzer's -timeout or -rss_limit_mb stops is a
// finding. The seeds begin with a valid header, so most inputs get past it.
// Each input is read again with junk after it (zeros, its own last bytes
// again, or bytes that look random): what it held before must stay as it
// was, and zeros must be its unread rest, with the warning that says so.

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
#include "metafile/scene/Scene.h"
#include "text/RunError.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace {

using namespace Kelvane::Metafile;

std::uint32_t Load32(std::string_view input, std::size_t at, bool little) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    value = value << 8 | static_cast<unsigned char>(input[at + (little ? 3 - i : i)]);
  }
  return value;
}

// The tree must only point inside itself and the input, every link must lead
// forward (the walk follows `next` and `children` without a guard), and each
// object must stand where its type and size say.
void CheckTree(const Document& document, std::string_view input) {
  CheckLinks(document);  // first: the checks below follow the links
  const std::size_t count = document.objects.size();
  const bool little = input.substr(0, 4) == "FMD3";
  for (std::size_t i = 0; i < count; ++i) {
    const Object& object = document.objects[i];
    Check(object.start >= 24, "an object stands inside the file header");
    Check(object.dataBegin == object.start + 8, "an object's data does not follow its size");
    Check(object.dataBegin <= object.dataEnd && object.dataEnd <= input.size(),
          "an object's data lies outside the input");
    Check(Load32(input, object.start, little) == object.code,
          "an object's code is not the bytes it starts with");
    Check(Load32(input, object.start + 4, little) == object.dataEnd - object.dataBegin,
          "an object's data range is not its size");
    Check(!object.kind.empty(), "an object without a kind");
    if (object.next != kNone) {
      Check(document.objects[object.next].start == object.dataEnd,
            "an object's next does not begin where it ends");
    }
    for (const std::size_t child : object.children) {
      Check(document.objects[child].start >= object.dataBegin &&
                document.objects[child].dataEnd <= object.dataEnd,
            "a child lies outside its parent's data");
    }
  }
}

// An error names a byte of the input (or the end of it) as its place.
void CheckError(const Kelvane::RunError& e, std::string_view input) {
  Check(std::string_view(e.what()).size() > 0, "an error without a text");
  const std::string& place = e.Place();
  Check(place.rfind("byte ", 0) == 0, "an error without its byte offset in the input");
  const std::uint64_t offset = std::strtoull(place.c_str() + 5, nullptr, 10);
  Check(offset <= input.size(), "an error's place lies beyond the input");
}

void Walk(const Document& document, std::string_view input) {
  WalkBothWays(document, [&](const Kelvane::RunError& e) { CheckError(e, input); });
}

// Reads the input, checks the tree and, with `walk`, walks it; null when
// it is refused (its error checked).
std::unique_ptr<Document> ReadChecked(std::string_view input, bool walk) {
  std::unique_ptr<Document> document;
  try {
    document = ReadBinaryDocument(input);
  } catch (const Kelvane::RunError& e) {
    CheckError(e, input);
    return nullptr;
  }
  Check(document->form == Form::Binary, "the binary front end made a text document");
  Check(input.size() >= 24, "a document was made from less than a whole header");
  CheckTree(*document, input);
  if (walk) Walk(*document, input);
  return document;
}

// The input with junk after it. A file read whole keeps its objects, and
// zeros after it are its unread rest, with one warning that names where
// they begin; other junk may read as more objects, which are walked.
void CheckWithJunk(std::string_view input, const Document* alone) {
  const std::string junk = JunkFor(input);
  const std::string longer = std::string(input) + junk;
  const bool whole = alone != nullptr && alone->warnings.empty();
  const auto with = ReadChecked(longer, false);
  if (with == nullptr) {
    Check(!whole || KindOfJunk(input) != JunkKind::kZeros, "zeros after a file made it fail");
    return;
  }
  if (!whole) return;
  Check(ObjectsKept(*alone, *with), "junk after a file changed its objects");
  if (KindOfJunk(input) == JunkKind::kZeros) {
    CheckZerosAfter(*alone, *with, junk.size(), "(byte " + std::to_string(input.size()) + " of the input)");
  }
  if (with->objects.size() > alone->objects.size()) Walk(*with, longer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  Check(IsBinaryMetafile(input) == (input.substr(0, 4) == "3DMF" || input.substr(0, 4) == "FMD3"),
        "IsBinaryMetafile disagrees with the first four bytes");
  const auto document = ReadChecked(input, true);
  CheckWithJunk(input, document.get());
  return 0;
}
