#pragma once

// The text front end's document scan as it was before it passed over the
// data lines of an object and looked its bytes up in a table: every token
// taken one by one. The fuzz target builds both documents and compares
// them, object by object, and their errors.

#include <charconv>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "metafile/format/Document.h"
#include "metafile/format/TextFields.h"
#include "text/RunError.h"

namespace Kelvane::Reference {

namespace TextScan {

inline bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Characters that end a token whatever stands before them.
inline bool IsDelimiter(char c) {
  return IsBlank(c) || c == '#' || c == '(' || c == ')' || c == '"' || c == '|';
}

inline Metafile::TextToken ScanTextToken(std::string_view text, std::size_t pos, std::size_t end) {
  Metafile::TextToken token;
  while (pos < end) {
    const char c = text[pos];
    if (IsBlank(c)) {
      if (c == '\n' || c == '\r') token.afterLineBreak = true;
      ++pos;
    } else if (c == '#') {
      while (pos < end && text[pos] != '\n' && text[pos] != '\r') ++pos;
    } else {
      break;
    }
  }
  token.begin = pos;
  if (pos < end) {
    const char c = text[pos];
    if (c == '(' || c == ')' || c == '|') {
      ++pos;
    } else if (c == '"') {
      ++pos;
      while (pos < end && text[pos] != '"') pos += text[pos] == '\\' ? 2 : 1;
      if (pos >= end) {
        token.unclosedString = true;
        pos = end;
      } else {
        ++pos;
      }
    } else {
      while (pos < end && !IsDelimiter(text[pos])) ++pos;
    }
  }
  token.end = pos;
  return token;
}

class TextDocument final : public Metafile::Document {
 public:
  std::unique_ptr<Metafile::Fields> FieldsOf(const Metafile::Object& object) const override {
    return Metafile::MakeTextFields(input, object.dataBegin, object.dataEnd);
  }
  std::string PlaceOf(std::size_t offset, const Metafile::Object*) const override {
    return Metafile::TextPlace(input, offset);
  }
};

// One pass over the text, token by token; objects are a word followed by
// "(", their data runs to the matching ")".
class Scanner {
 public:
  // A byte order mark before the first token is passed over.
  Scanner(TextDocument& document)
      : doc_(document),
        text_(document.input),
        pos_(text_.substr(0, Metafile::kByteOrderMark.size()) == Metafile::kByteOrderMark
                 ? Metafile::kByteOrderMark.size()
                 : 0) {}

  void Run() {
    std::vector<std::size_t> top;
    ScanSequence(Metafile::kNone, 0, top);
    doc_.top = std::move(top);
    if (doc_.top.empty() || doc_.objects[doc_.top.front()].kind != "3DMetafile") {
      Fail(ErrorKind::InvalidArgument,
           "This is not a 3DMF text file: it does not begin with \"3DMetafile (\"", 0);
    }
    ReadTablesOfContents();
  }

 private:
  [[noreturn]] void Fail(ErrorKind kind, const std::string& message, std::size_t at) {
    throw RunError(kind, message, Metafile::TextPlace(text_, at));
  }

  // The next token from pos_: its start in tokenStart_, "" at the end.
  std::string_view Next() {
    const Metafile::TextToken token = ScanTextToken(text_, pos_, text_.size());
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

  // Objects one after another until the closing ")" of `parent` (or the end
  // of the text at the top level). Tokens that are not objects are the
  // parent's own data and are passed over.
  // A custom kind's name: "Apple Computer, Inc.:NameElement" (a colon with
  // a letter after it in its last word).
  static bool IsCustomName(std::string_view lastWord) {
    const std::size_t colon = lastWord.rfind(':');
    if (colon == std::string_view::npos || colon + 1 >= lastWord.size()) return false;
    const char c = lastWord[colon + 1];
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  }

  void ScanSequence(std::size_t parent, int depth, std::vector<std::size_t>& members) {
    // The tokens on one line before the current one that are not labels
    // or parentheses: the last is an object's name when "(" follows, and so
    // is the whole run when it ends in a custom name.
    std::size_t runStart = 0;
    std::size_t runTokens = 0;
    std::string_view previous;  // the run's last token
    std::size_t previousStart = 0;
    std::string_view label;  // a "name:" that stands before the next object
    std::size_t lastMember = Metafile::kNone;
    const bool topLevel = parent == Metafile::kNone;
    // At the top level only labels and objects stand.
    auto noDataAtTop = [&] {
      if (topLevel && runTokens > 0) {
        Fail(ErrorKind::InvalidArgument,
             "Expected an object here, found " +
                 Quote(text_.substr(runStart, previousStart + previous.size() - runStart)),
             runStart);
      }
    };
    for (;;) {
      const std::string_view token = Next();
      const std::size_t start = tokenStart_;
      if (newLine_ && token != "(") {
        noDataAtTop();
        runTokens = 0;
      }
      if (token.empty()) {
        if (!topLevel) {
          const Metafile::Object& open = doc_.objects[parent];
          Fail(ErrorKind::InvalidArgument,
               "The " + open.kind + " object that begins here is never closed by ')'", open.start);
        }
        if (!label.empty()) {
          Fail(ErrorKind::InvalidArgument, "The label " + Quote(label) + " stands before no object",
               labelStart_);
        }
        return;
      }
      if (token == ")") {
        if (topLevel) Fail(ErrorKind::InvalidArgument, "This ')' closes no object", start);
        doc_.objects[parent].dataEnd = start;
        return;
      }
      if (token == "(") {
        std::size_t nameStart = previousStart;
        if (runTokens > 1 && IsCustomName(previous)) {
          nameStart = runStart;
        } else if (runTokens == 0 || !IsWord(previous)) {
          Fail(ErrorKind::InvalidArgument, "This '(' follows no object name", start);
        } else if (runTokens > 1 && topLevel) {
          // Data before the name on its line; inside an object, the
          // object's own.
          std::string_view before = text_.substr(runStart, previousStart - runStart);
          while (!before.empty() && IsBlank(before.back())) before.remove_suffix(1);
          Fail(ErrorKind::InvalidArgument, "Expected an object here, found " + Quote(before),
               runStart);
        }
        runTokens = 0;
        if (depth >= Metafile::kMaxNesting) {
          Fail(ErrorKind::OutOfRange,
               "Objects nest more than " + std::to_string(Metafile::kMaxNesting) + " deep", start);
        }
        const std::size_t index = doc_.objects.size();
        doc_.objects.push_back({});
        Metafile::Object& object = doc_.objects.back();
        object.kind =
            std::string(text_.substr(nameStart, previousStart + previous.size() - nameStart));
        object.start = nameStart;
        object.dataBegin = pos_;
        if (!label.empty()) {
          labels_.emplace(label, index);
          label = {};
        }
        if (lastMember != Metafile::kNone) doc_.objects[lastMember].next = index;
        lastMember = index;
        members.push_back(index);
        std::vector<std::size_t> children;
        ScanSequence(index, depth + 1, children);
        doc_.objects[index].children = std::move(children);
        continue;
      }
      if (token.size() > 1 && token.back() == ':') {
        noDataAtTop();
        runTokens = 0;
        label = token.substr(0, token.size() - 1);
        labelStart_ = start;
        continue;
      }
      if (runTokens == 0) runStart = start;
      ++runTokens;
      previous = token;
      previousStart = start;
    }
  }

  // TableOfContents ( nextTOC> refSeed typeSeed entryType entrySize n
  //                   refID label> [type] ... )
  void ReadTablesOfContents() {
    for (const Metafile::Object& object : doc_.objects) {
      if (object.kind != "TableOfContents") continue;
      Metafile::TextFields fields(text_, object.dataBegin, object.dataEnd);
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
  std::unordered_map<std::string_view, std::size_t> labels_;
};

}  // namespace TextScan

inline std::unique_ptr<Metafile::Document> ReadTextDocument(std::string_view input) {
  auto document = std::make_unique<TextScan::TextDocument>();
  document->form = Metafile::Form::Text;
  document->input = input;
  TextScan::Scanner(*document).Run();
  return document;
}

}  // namespace Kelvane::Reference
