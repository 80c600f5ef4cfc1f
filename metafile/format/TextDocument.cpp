// The text front end: finds the objects of a 3DMF text file, their data and
// their nesting, resolves labels and the table of contents. Object data is
// only located here; TextFields reads it when the walk needs it.

#include <bit>
#include <charconv>
#include <string>
#include <unordered_map>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "metafile/format/Document.h"
#include "metafile/format/TextFields.h"

namespace Kelvane::Metafile {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
bool IsBreak(char c) { return c == '\n' || c == '\r'; }

// The bytes that give a text its structure: an object's parentheses, a
// string, a comment, a label. Lines without any of them inside an object
// are only its data.
bool IsStructural(char c) { return c == '(' || c == ')' || c == '"' || c == '#' || c == ':'; }

// The first structural byte from `pos` on, or the text's length; sixteen
// bytes at a time where the processor compares them side by side. There
// the bytes from '"' to '*' all count as structural (those between rarely
// stand in data, and taking a line token by token is never wrong): moved
// by 0x80 - '"', they are the nine lowest signed bytes, one comparison.
std::size_t FindStructural(std::string_view text, std::size_t pos) {
  const char* const data = text.data();
  const std::size_t length = text.size();
#if defined(__SSE2__) || defined(_M_X64)
  const __m128i shift = _mm_set1_epi8(static_cast<char>(0x80 - '"'));
  const __m128i lowest = _mm_set1_epi8(static_cast<char>(-128 + 9));
  const __m128i colon = _mm_set1_epi8(':');
  const auto hitsAt = [&](std::size_t at) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
    return _mm_or_si128(_mm_cmplt_epi8(_mm_add_epi8(bytes, shift), lowest),
                        _mm_cmpeq_epi8(bytes, colon));
  };
  // Thirty-two bytes a round, one test for both halves.
  while (length - pos >= 32) {
    const __m128i first = hitsAt(pos);
    const __m128i second = hitsAt(pos + 16);
    if (_mm_movemask_epi8(_mm_or_si128(first, second)) != 0) {
      const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(first)) |
                            static_cast<unsigned>(_mm_movemask_epi8(second)) << 16;
      return pos + static_cast<std::size_t>(std::countr_zero(mask));
    }
    pos += 32;
  }
  while (length - pos >= 16) {
    const int mask = _mm_movemask_epi8(hitsAt(pos));
    if (mask != 0)
      return pos + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(mask)));
    pos += 16;
  }
#endif
  while (pos < length && !IsStructural(data[pos])) ++pos;
  return pos;
}

class TextDocument final : public Document {
 public:
  std::unique_ptr<Fields> FieldsOf(const Object& object) const override {
    return MakeTextFields(input, object.dataBegin, object.dataEnd);
  }
  std::string PlaceOf(std::size_t offset, const Object*) const override {
    return TextPlace(input, offset);
  }
};

// One pass over the text, token by token; objects are a word followed by
// "(", their data runs to the matching ")".
class Scanner {
 public:
  Scanner(TextDocument& document) : doc_(document), text_(document.input) {}

  void Run() {
    std::vector<std::size_t> top;
    try {
      ScanSequence(kNone, 0, top);
    } catch (const RestUnread& rest) {
      doc_.warnings.push_back(
          UnreadRestWarning(text_.size() - rest.at, "the rest begins with " + rest.what,
                            TextPlace(text_, rest.at)));
    }
    doc_.top = std::move(top);
    if (doc_.top.empty() || doc_.objects[doc_.top.front()].kind != "3DMetafile") {
      Fail(ErrorKind::InvalidArgument,
           "This is not a 3DMF text file: it does not begin with \"3DMetafile (\"", 0);
    }
    ReadTablesOfContents();
  }

 private:
  [[noreturn]] void Fail(ErrorKind kind, const std::string& message, std::size_t at) {
    throw RunError(kind, message, TextPlace(text_, at));
  }

  // The top level ends, after its last complete object, in text that
  // begins no object: the rest from `at` is not read. What stands there.
  struct RestUnread {
    std::size_t at;
    std::string what;
  };

  // The next token from pos_: its start in tokenStart_, "" at the end.
  std::string_view Next() {
    const TextToken token = ScanTextToken(text_, pos_, text_.size());
    newLine_ = token.afterLineBreak;
    tokenStart_ = token.begin;
    if (token.unclosedString) {
      Fail(ErrorKind::InvalidArgument, "A string is never closed", tokenStart_);
    }
    pos_ = token.end;
    return text_.substr(token.begin, token.end - token.begin);
  }

  // An object's name: letters, digits and "_", not a number ("3DMetafile"
  // is a name, "1e5" and "0x1F" are not).
  static bool IsWord(std::string_view token) {
    if (token.empty()) return false;
    for (char c : token) {
      if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'))
        return false;
    }
    if (token.size() > 1 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) return false;
    double value = 0;
    const auto result = std::from_chars(token.data(), token.data() + token.size(), value);
    return !(result.ec == std::errc() && result.ptr == token.data() + token.size());
  }

  // A custom kind's name: "Apple Computer, Inc.:NameElement" (a colon with
  // a letter after it in its last word).
  static bool IsCustomName(std::string_view lastWord) {
    const std::size_t colon = lastWord.rfind(':');
    if (colon == std::string_view::npos || colon + 1 >= lastWord.size()) return false;
    const char c = lastWord[colon + 1];
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  }

  // One sequence of objects being scanned: the objects inside `parent`
  // (kNone: the top level), `depth` levels down.
  struct Level {
    Level(std::size_t parent, int depth, std::vector<std::size_t>& members)
        : parent(parent), depth(depth), members(members) {}

    std::size_t parent;
    int depth;
    std::vector<std::size_t>& members;
    // The tokens on one line before the current one that are not labels
    // or parentheses: the last is an object's name when "(" follows, and so
    // is the whole run when it ends in a custom name.
    std::size_t runStart = 0;
    std::size_t runTokens = 0;
    std::string_view previous;  // the run's last token
    std::size_t previousStart = 0;
    std::string_view label;  // a "name:" that stands before the next object
    std::size_t lastMember = kNone;
    // Data seen since the last object inside closed (or since "("): what a
    // file cut off inside an object ends with.
    bool looseData = false;

    bool TopLevel() const { return parent == kNone; }
  };

  // Objects one after another until the closing ")" of `parent` (or the end
  // of the text at the top level). Tokens that are not objects are the
  // parent's own data and are passed over.
  void ScanSequence(std::size_t parent, int depth, std::vector<std::size_t>& members) {
    Level level(parent, depth, members);
    for (;;) {
      if (!level.TopLevel()) PassDataLines();
      if (AfterAnObject(level)) CheckGapAtTop(level);
      const std::string_view token = Next();
      const std::size_t start = tokenStart_;
      if (newLine_ && token != "(") {
        NoDataAtTop(level);
        level.runTokens = 0;
      }
      if (token.empty()) return EndOfText(level);
      if (token == ")") {
        if (level.TopLevel()) {
          LeaveRestAtTop(level, start, "a ')' that closes no object");
          Fail(ErrorKind::InvalidArgument, "This ')' closes no object", start);
        }
        doc_.objects[parent].dataEnd = start;
        return;
      }
      if (token == "(") {
        OpenObject(level, start);
        continue;
      }
      if (token.size() > 1 && token.back() == ':') {
        NoDataAtTop(level);
        level.runTokens = 0;
        level.label = token.substr(0, token.size() - 1);
        labelStart_ = start;
        continue;
      }
      if (level.runTokens == 0) level.runStart = start;
      ++level.runTokens;
      level.looseData = true;
      level.previous = token;
      level.previousStart = start;
    }
  }

  // Whether the level is the top level and an object stands there already:
  // from then on, text that begins no object is the unread rest.
  static bool AfterAnObject(const Level& level) {
    return level.TopLevel() && !level.members.empty();
  }

  // After the top level's first object: leaves the rest of the text unread
  // from what stands at `at` (or from a label or words still waiting for
  // their object before it), described by `what`. Before it, returns, and
  // the caller raises the fault as an error.
  void LeaveRestAtTop(const Level& level, std::size_t at, std::string what) {
    if (!AfterAnObject(level)) return;
    if (!level.label.empty() && labelStart_ <= at) {
      throw RestUnread{labelStart_,
                       "the label " + Quote(level.label) + ", which stands before no object"};
    }
    if (level.runTokens > 0 && level.runStart <= at) {
      throw RestUnread{level.runStart, RunText(level) + ", which is no object"};
    }
    throw RestUnread{at, std::move(what)};
  }

  // The words waiting at the top level for the "(" of their object.
  std::string RunText(const Level& level) const {
    return Quote(
        text_.substr(level.runStart, level.previousStart + level.previous.size() - level.runStart));
  }

  // Where the next object may begin at the top level, only blanks and
  // comments stand before it: a control byte other than a line break, tab,
  // vertical tab or form feed (the zeros a file is padded with) begins the
  // unread rest (between a name and its "(" it is still a blank, as it is
  // inside objects), and so does a string that is never closed.
  void CheckGapAtTop(const Level& level) {
    const TextToken token = ScanTextToken(text_, pos_, text_.size());
    if (token.unclosedString) LeaveRestAtTop(level, token.begin, "a string that is never closed");
    if (level.runTokens > 0 || !level.label.empty()) return;
    for (std::size_t at = pos_; at < token.begin; ++at) {
      const auto c = static_cast<unsigned char>(text_[at]);
      if (c == '#') {
        while (at < token.begin && !IsBreak(text_[at])) ++at;
      } else if (c < ' ' && c != '\n' && c != '\r' && c != '\t' && c != '\v' && c != '\f') {
        static const char kHex[] = "0123456789ABCDEF";
        LeaveRestAtTop(level, at,
                       std::string("the byte 0x") + kHex[c >> 4] + kHex[c & 15] +
                           ", which a text file does not hold");
      }
    }
  }

  // At the top level only labels and objects stand.
  void NoDataAtTop(const Level& level) {
    if (level.TopLevel() && level.runTokens > 0) {
      LeaveRestAtTop(level, level.runStart, RunText(level) + ", which is no object");
      Fail(ErrorKind::InvalidArgument,
           "Expected an object here, found " +
               Quote(text_.substr(level.runStart,
                                  level.previousStart + level.previous.size() - level.runStart)),
           level.runStart);
    }
  }

  // The text ends: an object still open is cut off, an error, but for a
  // Container left open with nothing after its last complete object, which
  // ends with the file.
  void EndOfText(const Level& level) {
    if (!level.TopLevel()) {
      Object& open = doc_.objects[level.parent];
      if (open.kind == "Container" && !level.looseData && level.label.empty()) {
        open.dataEnd = text_.size();
        doc_.warnings.push_back(
            "the Container object is never closed by ')'; it ends with the file (" +
            TextPlace(text_, open.start) + ")");
        return;
      }
      Fail(ErrorKind::InvalidArgument,
           "The " + open.kind + " object that begins here is never closed by ')'", open.start);
    }
    if (!level.label.empty()) {
      LeaveRestAtTop(level, labelStart_, "");
      Fail(ErrorKind::InvalidArgument,
           "The label " + Quote(level.label) + " stands before no object", labelStart_);
    }
    // Words the text ends with, without a line break after them.
    if (level.runTokens > 0) LeaveRestAtTop(level, level.runStart, "");
  }

  // A "(" at `start`: the object named before it, its data and the objects
  // inside it, to its ")".
  void OpenObject(Level& level, std::size_t start) {
    std::size_t nameStart = level.previousStart;
    if (level.runTokens > 1 && IsCustomName(level.previous)) {
      nameStart = level.runStart;
    } else if (level.runTokens == 0 || !IsWord(level.previous)) {
      LeaveRestAtTop(level, start, "a '(' that follows no object name");
      Fail(ErrorKind::InvalidArgument, "This '(' follows no object name", start);
    } else if (level.runTokens > 1 && level.TopLevel()) {
      LeaveRestAtTop(level, level.runStart, "");
      // Data before the name on its line; inside an object, the object's
      // own.
      std::string_view before = text_.substr(level.runStart, level.previousStart - level.runStart);
      while (!before.empty() && IsBlank(before.back())) before.remove_suffix(1);
      Fail(ErrorKind::InvalidArgument, "Expected an object here, found " + Quote(before),
           level.runStart);
    }
    level.runTokens = 0;
    if (level.depth >= kMaxNesting) {
      Fail(ErrorKind::OutOfRange, "Objects nest more than " + std::to_string(kMaxNesting) + " deep",
           start);
    }
    const std::size_t index = doc_.objects.size();
    doc_.objects.push_back({});
    Object& object = doc_.objects.back();
    object.kind = std::string(
        text_.substr(nameStart, level.previousStart + level.previous.size() - nameStart));
    object.start = nameStart;
    object.dataBegin = pos_;
    if (!level.label.empty()) {
      labels_.emplace(level.label, index);
      level.label = {};
    }
    if (level.lastMember != kNone) doc_.objects[level.lastMember].next = index;
    level.lastMember = index;
    level.members.push_back(index);
    std::vector<std::size_t> children;
    ScanSequence(index, level.depth + 1, children);
    doc_.objects[index].children = std::move(children);
    level.looseData = false;
  }

  // Inside an object, at the end of a line: passes over the lines that
  // follow, as long as they hold nothing structural, but the last of them
  // that holds a token. Taken token by token, such lines would only leave
  // the tokens of the last one on record as the run before a "(" (each
  // line starts the run again), and that line is still taken so; the scan
  // goes on from the line break before it, so its first token starts the
  // run as it would have.
  void PassDataLines() {
    if (pos_ >= text_.size() || !IsBreak(text_[pos_])) return;
    if (structural_ < pos_) structural_ = FindStructural(text_, pos_);
    // The break that starts the structural byte's line.
    std::size_t lineBreak = structural_;
    while (lineBreak > pos_ && !IsBreak(text_[lineBreak - 1])) --lineBreak;
    if (lineBreak == pos_) return;
    --lineBreak;
    // The last byte before it that is no blank, and the break before its line.
    std::size_t last = lineBreak;
    while (last > pos_ && IsBlank(text_[last])) --last;
    if (last == pos_) return;
    while (!IsBreak(text_[last])) --last;
    pos_ = last;
  }

  // TableOfContents ( nextTOC> refSeed typeSeed entryType entrySize n
  //                   refID label> [type] ... )
  void ReadTablesOfContents() {
    for (const Object& object : doc_.objects) {
      if (object.kind != "TableOfContents") continue;
      TextFields fields(text_, object.dataBegin, object.dataEnd);
      fields.Token();  // the next table, if any: every table is read anyway
      fields.Uns32();  // reference seed
      fields.Int32();  // type seed
      const std::uint32_t entryType = fields.Uns32();
      fields.Uns32();  // entry size
      const std::uint32_t entries = fields.Uns32();
      fields.CheckCount(entries, entryType == 1 ? 3 : 2, 0, "table entrie");
      for (std::uint32_t i = 0; i < entries; ++i) {
        const std::uint32_t id = fields.Uns32();
        const std::string_view target = fields.Token();
        if (target.size() < 2 || target.back() != '>') {
          fields.Fail(ErrorKind::InvalidArgument,
                      "Expected a label reference (\"name>\"), found " + Quote(target));
        }
        if (entryType == 1) fields.Token();  // the object's type
        const auto found = labels_.find(target.substr(0, target.size() - 1));
        // An entry whose label names no object is left out: a Reference to
        // it is then reported as missing, where it is used.
        if (found != labels_.end()) doc_.references.emplace(id, found->second);
      }
    }
  }

  TextDocument& doc_;
  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t tokenStart_ = 0;
  std::size_t labelStart_ = 0;
  bool newLine_ = false;  // whether Next() passed a line break
  // The first structural byte at or after where it was last looked for.
  std::size_t structural_ = 0;
  std::unordered_map<std::string_view, std::size_t> labels_;
};

}  // namespace

std::string UnreadRestWarning(std::size_t bytes, std::string_view detail, std::string_view place) {
  const std::string rest = bytes == 1 ? "the last byte of the input was not read: "
                                      : "the last " + std::to_string(bytes) +
                                            " bytes of the input were not read: ";
  return rest + std::string(detail) + " (" + std::string(place) + ")";
}

std::unique_ptr<Document> ReadTextDocument(std::string_view input) {
  auto document = std::make_unique<TextDocument>();
  document->form = Form::Text;
  document->input = input;
  Scanner(*document).Run();
  return document;
}

bool IsBinaryMetafile(std::string_view input) {
  return input.substr(0, 4) == "3DMF" || input.substr(0, 4) == "FMD3";
}

std::unique_ptr<Document> ReadDocument(std::string_view input) {
  return IsBinaryMetafile(input) ? ReadBinaryDocument(input) : ReadTextDocument(input);
}

}  // namespace Kelvane::Metafile
