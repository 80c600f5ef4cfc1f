#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "metafile/format/Fields.h"

// The object model of a 3DMF file: one tree of objects, whichever form the
// file has; the format folder's contract. The text front end
// (ReadTextDocument) and the binary front end (ReadBinaryDocument) build it;
// the scene walk (scene/Scene.h) turns it into triangles and textures. Only
// the structure is built here: an object's data is decoded later, through
// Fields, when the walk reaches it.
namespace Kelvane::Metafile {

enum class Form { Text, Binary };

// How deep objects may nest (containers, groups inside object data) and
// how many references may be followed inside one another.
constexpr int kMaxNesting = 256;

// No object: used for absent links between objects.
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

struct Object {
  // The kind's name as the text form writes it ("TriMesh", "Container",
  // "BeginGroup"). A binary object of a type the reader does not know is
  // named by its four characters in quotes ("'abcd'").
  std::string kind;
  // The binary type code ('tmsh' = 0x746D7368); 0 for text objects.
  std::uint32_t code = 0;
  // Where the object begins in the input (its name, or its type code).
  std::size_t start = 0;
  // Its data, as a byte range of the input: text, what stands between its
  // parentheses; binary, the bytes after its size field.
  std::size_t dataBegin = 0;
  std::size_t dataEnd = 0;
  // The objects inside its data, in order (a Container's object and its
  // attributes; a BeginGroup's group object and its state).
  std::vector<std::size_t> children;
  // The object after it at the same level, or kNone.
  std::size_t next = kNone;
};

class Document {
 public:
  virtual ~Document() = default;

  Form form = Form::Text;
  std::string_view input;
  // All objects; `top` lists those that stand at the file's top level.
  std::vector<Object> objects;
  std::vector<std::size_t> top;
  // The table of contents: reference number -> object, for Reference
  // objects. Filled by the front end from every table in the file.
  std::unordered_map<std::uint32_t, std::size_t> references;
  // What the front end mended and the user should hear of, with its place
  // (a Container left open at the end of a text file).
  std::vector<std::string> warnings;

  // A reader for one object's data.
  virtual std::unique_ptr<Fields> FieldsOf(const Object& object) const = 0;
  // A place in the input for messages ("input line 4, column 7" or
  // "byte 96 of the input"); `object`, when given, is named too in binary.
  virtual std::string PlaceOf(std::size_t offset, const Object* object = nullptr) const = 0;
};

// Whether the input is a binary 3DMF file: it begins with "3DMF" (or with
// "FMD3", the same header written in the other byte order).
bool IsBinaryMetafile(std::string_view input);

// Builds the tree of a text file ("3DMetafile ( ... )" and the objects after
// it). Structural faults (unbalanced parentheses, a label without an object,
// nesting deeper than kMaxNesting) raise a RunError with the place. A
// Container still open at the end of the file, with nothing after its last
// complete object, is closed there with a warning (a file that lost a ')'
// near its end); any other object still open is cut off, an error.
// Once an object stands at the top level, what begins no object there
// (words that no "(" follows, a ')' that closes nothing, a '(' after no
// name, a label before no object, a string never closed, a control byte
// such as the zeros a file is padded with) ends it: the rest of the text
// is not read, with a warning that names its line, column and length. An
// object once begun is read as before, to its ')' or to the faults above.
std::unique_ptr<Document> ReadTextDocument(std::string_view input);

// Builds the tree of a binary file (16-byte header, then objects as type,
// size and data). Truncated objects, sizes beyond their container, nesting
// deeper than kMaxNesting raise a RunError with the byte offset and object
// type. At the top level, bytes that cannot begin an object (fewer than an
// object's 8 bytes of type and size, a type of 0, a size beyond the end of
// the input) end it: the rest is not read, with a warning that names its
// byte and length (a file with data written after its last object).
std::unique_ptr<Document> ReadBinaryDocument(std::string_view input);

// The warning of an unread rest of `bytes` bytes at `place`: "the last N
// bytes of the input were not read: DETAIL (PLACE)".
std::string UnreadRestWarning(std::size_t bytes, std::string_view detail, std::string_view place);

// Either of the two, by the first bytes of the input.
std::unique_ptr<Document> ReadDocument(std::string_view input);

}  // namespace Kelvane::Metafile
