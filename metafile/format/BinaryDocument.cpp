#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "metafile/format/Document.h"
#include "metafile/format/Fields.h"
#include "metafile/format/TypeCodes.h"
#include "text/RunError.h"

namespace Kelvane::Metafile {
namespace {

// type, size, version, flags and table-of-contents pointer.
constexpr std::size_t kHeaderBytes = 24;
constexpr std::uint32_t kHeaderDataBytes = 16;
// Normal is 0; Stream and Database are bits that may be combined.
constexpr std::uint32_t kKnownFlags = 0x3;

std::uint64_t Load(std::string_view in, std::size_t at, int bytes, bool little) {
  std::uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) {
    const auto byte = static_cast<unsigned char>(in[at + (little ? bytes - 1 - i : i)]);
    value = value << 8 | byte;
  }
  return value;
}

std::uint32_t Load32(std::string_view in, std::size_t at, bool little) {
  return static_cast<std::uint32_t>(Load(in, at, 4, little));
}

std::string Num(std::uint64_t value) { return std::to_string(value); }

std::string BytePlace(std::size_t offset) { return "byte " + Num(offset) + " of the input"; }

bool IsQuotedCode(std::string_view kind) { return !kind.empty() && kind.front() == '\''; }

// "TriMesh ('tmsh')", or just "'abcd'" for a kind the reader does not know.
std::string Describe(std::string_view kind, std::uint32_t code) {
  if (IsQuotedCode(kind)) return std::string(kind);
  return std::string(kind) + " (" + CodeText(code) + ")";
}

// "a TriMesh ('tmsh')", "an AttributeSet ('attr')", "an object 'abcd'".
std::string WithArticle(std::string_view kind, std::uint32_t code) {
  if (IsQuotedCode(kind)) return "an object " + std::string(kind);
  const char first = kind.empty() ? 'x' : kind.front();
  const bool vowel = first == 'A' || first == 'E' || first == 'I' || first == 'O' || first == 'U';
  return (vowel ? "an " : "a ") + Describe(kind, code);
}

std::string ObjectAt(std::string_view kind, std::uint32_t code, std::size_t start) {
  return "The " + Describe(kind, code) + " object at byte " + Num(start);
}

std::string PlaceIn(std::size_t offset, std::string_view kind, std::uint32_t code) {
  return BytePlace(offset) + ", in " + WithArticle(kind, code);
}

class BinaryFields final : public Fields {
 public:
  BinaryFields(std::string_view input, bool little, const Object& object)
      : in_(input),
        little_(little),
        kind_(object.kind),
        code_(object.code),
        start_(object.start),
        pos_(object.dataBegin),
        end_(object.dataEnd),
        last_(object.dataBegin) {}

  std::uint32_t Uns32() override {
    return static_cast<std::uint32_t>(Load(in_, Take(4, "an Uns32"), 4, little_));
  }
  std::int32_t Int32() override {
    return static_cast<std::int32_t>(Load(in_, Take(4, "an Int32"), 4, little_));
  }
  std::uint16_t Uns16() override {
    return static_cast<std::uint16_t>(Load(in_, Take(2, "an Uns16"), 2, little_));
  }
  std::uint8_t Uns8() override {
    return static_cast<std::uint8_t>(Load(in_, Take(1, "an Uns8"), 1, little_));
  }
  // File pointers in the header and the tables of contents.
  std::uint64_t Uns64() { return Load(in_, Take(8, "an Uns64"), 8, little_); }

  double Float32() override {
    const auto bits = static_cast<std::uint32_t>(Load(in_, Take(4, "a Float32"), 4, little_));
    const float value = std::bit_cast<float>(bits);
    if (!std::isfinite(value)) {
      Fail(ErrorKind::Overflow,
           Name() + " holds a Float32 that is not a finite number (NaN or infinity).");
    }
    return value;
  }

  std::uint32_t Enum(std::initializer_list<EnumName> names) override {
    const std::uint32_t value = Uns32();
    std::string allowed;
    for (const EnumName& name : names) {
      if (name.value == value) return value;
      if (!allowed.empty()) allowed += ", ";
      allowed += std::string(name.name) + " (" + Num(name.value) + ")";
    }
    Fail(ErrorKind::InvalidArgument,
         Name() + " holds the value " + Num(value) + " where one of " + allowed + " is expected.");
  }

  std::uint32_t Flags(std::initializer_list<EnumName>) override { return Uns32(); }

  bool Boolean() override {
    const std::uint32_t value = Uns32();
    if (value > 1) {
      Fail(ErrorKind::InvalidArgument,
           Name() + " holds the value " + Num(value) + " where a Boolean (0 or 1) is expected.");
    }
    return value == 1;
  }

  std::string String() override {
    last_ = pos_;
    const std::size_t nul = in_.substr(0, end_).find('\0', pos_);
    if (nul == std::string_view::npos) {
      Fail(ErrorKind::OutOfRange,
           Name() + " ends before its data: the String at byte " + Num(pos_) +
               " has no NUL byte before the object ends at byte " + Num(end_) + ".");
    }
    std::string text(in_.substr(pos_, nul - pos_));
    SkipPadded(nul + 1 - pos_);
    return text;
  }

  void RawData(std::size_t count, std::vector<std::uint8_t>& out) override {
    last_ = pos_;
    if (count > end_ - pos_) {
      Fail(ErrorKind::OutOfRange, Name() + " ends before its data: " + Num(count) +
                                      " bytes of raw data at byte " + Num(pos_) +
                                      " run past the object's end at byte " + Num(end_) + ".");
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(in_.data() + pos_);
    out.insert(out.end(), bytes, bytes + count);
    SkipPadded(count);
  }

  // Up to three zero bytes after the last field are the padding some
  // writers add to keep objects on 4-byte boundaries: the data has ended.
  bool AtEnd() override {
    if (end_ - pos_ >= 4) return false;
    for (std::size_t at = pos_; at < end_; ++at) {
      if (in_[at] != 0) return false;
    }
    return true;
  }

  void CheckCount(std::uint64_t count, std::uint32_t, std::uint32_t bytesPerItem,
                  std::string_view what) override {
    // An item takes at least a byte, so no count beyond the bytes left can fit.
    const std::uint64_t perItem = bytesPerItem == 0 ? 1 : bytesPerItem;
    const std::uint64_t left = end_ - pos_;
    if (count > left / perItem) {
      last_ = pos_;
      Fail(ErrorKind::OutOfRange, Name() + " counts " + Num(count) + " " + std::string(what) +
                                      " entries of " + Num(perItem) + " bytes each, but only " +
                                      Num(left) + " bytes are left in it.");
    }
  }

  std::uint32_t Index(std::uint64_t tableSize) override {
    const std::uint32_t bytes = IndexBytes(tableSize);
    return static_cast<std::uint32_t>(
        Load(in_, Take(bytes, "an index"), static_cast<int>(bytes), little_));
  }

  std::uint32_t IndexBytes(std::uint64_t tableSize) const override {
    if (tableSize < 0x100) return 1;
    if (tableSize < 0x10000) return 2;
    return 4;
  }

  std::string Place() override { return PlaceIn(pos_, kind_, code_); }

  [[noreturn]] void Fail(ErrorKind kind, const std::string& text) override {
    throw RunError(kind, text, PlaceIn(last_, kind_, code_));
  }

 private:
  std::string Name() const { return ObjectAt(kind_, code_, start_); }

  // Claims the next `bytes` bytes and returns where they start.
  std::size_t Take(std::size_t bytes, std::string_view what) {
    last_ = pos_;
    if (bytes > end_ - pos_) {
      Fail(ErrorKind::OutOfRange, Name() + " ends before its data: " + std::string(what) +
                                      " needs " + Num(bytes) + " bytes at byte " + Num(pos_) +
                                      ", but the object ends at byte " + Num(end_) + ".");
    }
    const std::size_t at = pos_;
    pos_ += bytes;
    return at;
  }

  // Skips a field of `bytes` bytes and its padding to a multiple of 4. The
  // padding of a last field may be missing; it is not data.
  void SkipPadded(std::size_t bytes) {
    const std::size_t padded = (bytes + 3) / 4 * 4;
    pos_ += padded <= end_ - pos_ ? padded : end_ - pos_;
  }

  std::string_view in_;
  bool little_;
  std::string kind_;
  std::uint32_t code_;
  std::size_t start_;
  std::size_t pos_;
  std::size_t end_;
  std::size_t last_;
};

class BinaryDocument final : public Document {
 public:
  bool little = false;

  std::unique_ptr<Fields> FieldsOf(const Object& object) const override {
    return std::make_unique<BinaryFields>(input, little, object);
  }

  std::string PlaceOf(std::size_t offset, const Object* object) const override {
    if (object == nullptr) return BytePlace(offset);
    return PlaceIn(offset, object->kind, object->code);
  }
};

class Reader {
 public:
  explicit Reader(std::string_view input) : in_(input), doc_(std::make_unique<BinaryDocument>()) {
    doc_->form = Form::Binary;
    doc_->input = input;
  }

  std::unique_ptr<Document> Run() {
    const std::uint64_t tocOffset = ReadHeader();
    doc_->top = ReadObjects(kHeaderBytes, in_.size(), 0, kNone);
    ReadTables(tocOffset);
    return std::move(doc_);
  }

 private:
  [[noreturn]] void Raise(ErrorKind kind, const std::string& text, std::size_t offset,
                          std::size_t object) const {
    throw RunError(kind, text,
                   doc_->PlaceOf(offset, object == kNone ? nullptr : &doc_->objects[object]));
  }

  std::uint32_t At32(std::size_t at) const { return Load32(in_, at, doc_->little); }

  // Returns the table-of-contents pointer.
  std::uint64_t ReadHeader() {
    if (in_.size() >= 4 && in_.substr(0, 4) == "FMD3") {
      doc_->little = true;
    } else if (in_.size() < 4 || in_.substr(0, 4) != "3DMF") {
      Raise(ErrorKind::InvalidArgument,
            "The input does not begin with a binary 3DMF header (\"3DMF\", or \"FMD3\" in "
            "little-endian files).",
            0, kNone);
    }
    if (in_.size() < kHeaderBytes) {
      Raise(ErrorKind::OutOfRange,
            "The input ends inside its metafile header: the header takes " + Num(kHeaderBytes) +
                " bytes, the input has " + Num(in_.size()) + ".",
            in_.size(), kNone);
    }
    const std::uint32_t size = At32(4);
    if (size != kHeaderDataBytes) {
      Raise(ErrorKind::InvalidArgument,
            "The metafile header gives its size as " + Num(size) + " bytes; it must be " +
                Num(kHeaderDataBytes) + ".",
            4, kNone);
    }
    const std::uint32_t flags = At32(12);
    if ((flags & ~kKnownFlags) != 0) {
      Raise(ErrorKind::InvalidArgument,
            "The metafile header has the flags " + Num(flags) +
                ", which are not a combination of Normal (0), Stream (1) and Database (2).",
            12, kNone);
    }
    return Load(in_, 16, 8, doc_->little);
  }

  // "the input", or "the data of the Container ('cntr') object at byte 24".
  std::string Where(std::size_t parent) const {
    if (parent == kNone) return "the input";
    const Object& p = doc_->objects[parent];
    return "the data of the " + Describe(p.kind, p.code) + " object at byte " + Num(p.start);
  }

  std::string KindOf(std::uint32_t code) const {
    if (const auto custom = customTypes_.find(code); custom != customTypes_.end()) {
      return custom->second;
    }
    const std::string_view known = KindOfCode(code);
    return known.empty() ? CodeText(code) : std::string(known);
  }

  // Reads the objects from `begin` to `end`, one level of the tree, and
  // returns them in order, linked by `next`.
  std::vector<std::size_t> ReadObjects(std::size_t begin, std::size_t end, int level,
                                       std::size_t parent) {
    std::vector<std::size_t> level_ids;
    std::size_t pos = begin;
    while (pos < end) {
      const std::size_t left = end - pos;
      if (parent == kNone && RestUnread(pos)) break;
      if (left < 8) {
        Raise(ErrorKind::OutOfRange,
              "An object at byte " + Num(pos) + " is cut short: its type and size take 8 bytes, " +
                  Where(parent) + " has only " + Num(left) + " left.",
              pos, parent);
      }
      Object object;
      object.code = At32(pos);
      object.kind = KindOf(object.code);
      object.start = pos;
      object.dataBegin = pos + 8;
      const std::uint32_t size = At32(pos + 4);
      const std::size_t id = doc_->objects.size();
      doc_->objects.push_back(std::move(object));
      if (size > left - 8) {
        const Object& o = doc_->objects[id];
        Raise(ErrorKind::OutOfRange,
              ObjectAt(o.kind, o.code, pos) + " claims " + Num(size) + " bytes of data, but " +
                  Where(parent) + " has only " + Num(left - 8) + " left after its size.",
              pos + 4, id);
      }
      doc_->objects[id].dataEnd = pos + 8 + size;
      if (!level_ids.empty()) doc_->objects[level_ids.back()].next = id;
      level_ids.push_back(id);

      const std::uint32_t code = doc_->objects[id].code;
      if (code == kCodeContainer || code == kCodeBeginGroup) {
        if (level + 1 > kMaxNesting) {
          const Object& o = doc_->objects[id];
          Raise(ErrorKind::OutOfRange,
                ObjectAt(o.kind, o.code, pos) + " nests objects deeper than " + Num(kMaxNesting) +
                    " levels.",
                pos, id);
        }
        std::vector<std::size_t> children = ReadObjects(pos + 8, pos + 8 + size, level + 1, id);
        doc_->objects[id].children = std::move(children);
      } else if (code == kCodeType) {
        DeclareType(doc_->objects[id]);
      }
      pos += 8 + std::size_t{size};
    }
    return level_ids;
  }

  // Whether the top level ends at `pos` in bytes that begin no object: too
  // few for a type and size, a type of 0 (the zeros a file is padded with),
  // or a size beyond the end of the input (data written after the last
  // object, read as a type and size). The rest is then not read, with a
  // warning; inside a container such bytes remain an error.
  bool RestUnread(std::size_t pos) {
    const std::size_t left = in_.size() - pos;
    std::string detail;
    if (left < 8) {
      detail = "too few for an object's type and size, which take 8 bytes";
    } else if (const std::uint32_t code = At32(pos); code == 0) {
      detail = "the rest begins with a type of 0, which no object has";
    } else if (const std::uint32_t size = At32(pos + 4); size > left - 8) {
      detail = "the rest begins with " + WithArticle(KindOf(code), code) + " that claims " +
               Num(size) + " bytes of data, where only " + Num(left - 8) + " follow its size";
    } else {
      return false;
    }
    doc_->warnings.push_back(UnreadRestWarning(left, detail, BytePlace(pos)));
    return true;
  }

  // A Type object names a negative code for the objects that follow it.
  void DeclareType(const Object& type) {
    BinaryFields fields(in_, doc_->little, type);
    const std::int32_t code = fields.Int32();
    std::string name = fields.String();
    if (code < 0 && !name.empty()) {
      customTypes_[static_cast<std::uint32_t>(code)] = std::move(name);
    }
  }

  // Reads the chain of tables of contents that starts at the header's
  // pointer, then any other table in the file, into doc_->references.
  void ReadTables(std::uint64_t tocOffset) {
    for (std::size_t i = 0; i < doc_->objects.size(); ++i) {
      byStart_.emplace(doc_->objects[i].start, i);
    }
    ReadChain(tocOffset, 16, kNone);
    for (const std::size_t id : doc_->top) {
      if (doc_->objects[id].code == kCodeTableOfContents) {
        ReadChain(doc_->objects[id].start, doc_->objects[id].start, kNone);
      }
    }
  }

  // `pointer` is where the offset was read, for messages; `owner` the table
  // that holds it (kNone for the header).
  void ReadChain(std::uint64_t offset, std::size_t pointer, std::size_t owner) {
    std::unordered_set<std::uint64_t> chain;
    while (offset != 0) {
      if (offset >= in_.size()) {
        Raise(ErrorKind::OutOfRange,
              "The table of contents pointer at byte " + Num(pointer) + " gives byte " +
                  Num(offset) + ", beyond the end of the input (" + Num(in_.size()) + " bytes).",
              pointer, owner);
      }
      const auto found = byStart_.find(static_cast<std::size_t>(offset));
      if (found == byStart_.end() || doc_->objects[found->second].code != kCodeTableOfContents) {
        Raise(ErrorKind::InvalidArgument,
              "The table of contents pointer at byte " + Num(pointer) + " gives byte " +
                  Num(offset) + ", where no TableOfContents ('toc ') object begins.",
              pointer, owner);
      }
      if (chain.count(offset) != 0) {
        Raise(ErrorKind::InvalidArgument,
              "The tables of contents form a loop: the pointer at byte " + Num(pointer) +
                  " leads back to the table at byte " + Num(offset) + ".",
              pointer, owner);
      }
      if (!done_.insert(offset).second) return;  // read already, from the header's chain
      chain.insert(offset);
      owner = found->second;
      pointer = doc_->objects[owner].dataBegin;
      offset = ReadTable(doc_->objects[owner]);
    }
  }

  // Returns the pointer to the next table.
  std::uint64_t ReadTable(const Object& table) {
    BinaryFields fields(in_, doc_->little, table);
    const std::uint64_t nextTable = fields.Uns64();
    fields.Uns32();  // refSeed
    fields.Int32();  // typeSeed
    const std::uint32_t entryType = fields.Uns32();
    const std::uint32_t entrySize = fields.Uns32();
    if (entryType > 1) {
      fields.Fail(ErrorKind::InvalidArgument, ObjectAt(table.kind, table.code, table.start) +
                                                  " has entries of type " + Num(entryType) +
                                                  "; only types 0 and 1 are known.");
    }
    const std::uint32_t expectedSize = entryType == 0 ? 12 : 16;
    if (entrySize != expectedSize) {
      fields.Fail(ErrorKind::InvalidArgument, ObjectAt(table.kind, table.code, table.start) +
                                                  " gives its entries of type " + Num(entryType) +
                                                  " a size of " + Num(entrySize) +
                                                  " bytes; they take " + Num(expectedSize) + ".");
    }
    const std::uint32_t count = fields.Uns32();
    fields.CheckCount(count, entryType == 0 ? 2 : 3, entrySize, "table of contents");
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint32_t refID = fields.Uns32();
      const std::uint64_t location = fields.Uns64();
      if (entryType == 1) fields.Int32();  // objType
      // An entry that names no object is left out; a Reference to it is then
      // reported as missing where it is used.
      if (location >= in_.size()) continue;
      const auto target = byStart_.find(static_cast<std::size_t>(location));
      if (target != byStart_.end()) doc_->references.emplace(refID, target->second);
    }
    return nextTable;
  }

  std::string_view in_;
  std::unique_ptr<BinaryDocument> doc_;
  std::unordered_map<std::uint32_t, std::string> customTypes_;
  std::unordered_map<std::size_t, std::size_t> byStart_;
  std::unordered_set<std::uint64_t> done_;
};

}  // namespace

std::unique_ptr<Document> ReadBinaryDocument(std::string_view input) { return Reader(input).Run(); }

}  // namespace Kelvane::Metafile
