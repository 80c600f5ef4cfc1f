#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "metafile/format/Document.h"
#include "metafile/format/TextFields.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace {

using Kelvane::ErrorKind;
using Kelvane::RunError;
using namespace Kelvane::Metafile;

std::vector<std::string> Kinds(const Document& doc, const std::vector<std::size_t>& list) {
  std::vector<std::string> kinds;
  for (std::size_t i : list) kinds.push_back(doc.objects[i].kind);
  return kinds;
}

std::string DataOf(const Document& doc, std::size_t i) {
  const Object& o = doc.objects[i];
  return std::string(doc.input.substr(o.dataBegin, o.dataEnd - o.dataBegin));
}

TEST(TextDocumentTest, FindsObjectsTheirDataAndTheirNesting) {
  const std::string text =
      "3DMetafile ( 1 6 Normal toc> )\n"
      "# a comment that names Mesh ( and a stray parenthesis )\n"
      "Container (\n"
      "  Triangle( 0 0 0 1 0 0 0 1 0 )   # no blank before the parenthesis\n"
      "  Container ( AttributeSet ( ) String ( \"a ) in a string\" ) )\n"
      ")\n"
      "BeginGroup ( DisplayGroup ( ) )\n"
      "Translate ( 1 2 3 )\n"
      "EndGroup ( )\n";
  const auto doc = ReadTextDocument(text);
  EXPECT_EQ(
      Kinds(*doc, doc->top),
      (std::vector<std::string>{"3DMetafile", "Container", "BeginGroup", "Translate", "EndGroup"}));
  const Object& container = doc->objects[doc->top[1]];
  EXPECT_EQ(Kinds(*doc, container.children), (std::vector<std::string>{"Triangle", "Container"}));
  EXPECT_EQ(DataOf(*doc, container.children[0]), " 0 0 0 1 0 0 0 1 0 ");
  const Object& inner = doc->objects[container.children[1]];
  EXPECT_EQ(Kinds(*doc, inner.children), (std::vector<std::string>{"AttributeSet", "String"}));
  EXPECT_EQ(DataOf(*doc, inner.children[1]), " \"a ) in a string\" ");
  EXPECT_EQ(Kinds(*doc, doc->objects[doc->top[2]].children),
            (std::vector<std::string>{"DisplayGroup"}));
  // Objects of one level are linked in order; the last has no successor.
  for (std::size_t k = 0; k + 1 < doc->top.size(); ++k)
    EXPECT_EQ(doc->objects[doc->top[k]].next, doc->top[k + 1]);
  EXPECT_EQ(doc->objects[doc->top.back()].next, kNone);
  EXPECT_EQ(doc->objects[container.children[0]].next, container.children[1]);
}

TEST(TextDocumentTest, ACustomKindsNameMayHoldBlanksAndCommas) {
  // Custom kinds are named "Company:Kind"; the whole name stands before "(".
  const std::string text =
      "3DMetafile ( 1 6 Normal toc> )\n"
      "Apple Computer, Inc.:NameElement ( )\n"
      "tag: Apple Computer, Inc.:NameElement ( )\n"
      "Container (\n"
      "  Mesh ( 3 0 0 0 1 0 0 0 1 0 1 0 3 0 1 2 )\n"
      "  Container ( Apple Computer, Inc.:NameElement ( ) CString ( \"leg\" ) )\n"
      "  Frob ( 1 2 Inner ( ) )\n"
      ")\n";
  const auto doc = ReadTextDocument(text);
  EXPECT_EQ(Kinds(*doc, doc->top),
            (std::vector<std::string>{"3DMetafile", "Apple Computer, Inc.:NameElement",
                                      "Apple Computer, Inc.:NameElement", "Container"}));
  EXPECT_EQ(doc->objects[doc->top[1]].start, text.find("Apple"));
  const Object& container = doc->objects[doc->top[3]];
  EXPECT_EQ(Kinds(*doc, doc->objects[container.children[1]].children),
            (std::vector<std::string>{"Apple Computer, Inc.:NameElement", "CString"}));
  // Data before a name on its line belongs to the object around it.
  EXPECT_EQ(Kinds(*doc, doc->objects[container.children[2]].children),
            (std::vector<std::string>{"Inner"}));
}

TEST(TextDocumentTest, TableOfContentsLeadsReferencesToLabelledObjects) {
  const std::string text =
      "3DMetafile ( 1 6 Normal tableofcontents0> )\n"
      "shader1: Container ( TextureShader ( ) )\n"
      "mesh2:\n  TriMesh ( 1 0 0 0 3 0 0 1 2 0 0 0 1 0 0 0 1 0 0 0 0 1 1 0 False )\n"
      "Reference ( 2 )\n"
      "tableofcontents0: TableOfContents (\n"
      "  -1 3 -1 1 16 3\n"
      "  1 shader1> TextureShader\n"
      "  2 mesh2> TriMesh\n"
      "  7 nowhere> TriMesh  # names no object: left out\n"
      ")\n";
  const auto doc = ReadTextDocument(text);
  ASSERT_EQ(doc->references.size(), 2u);
  EXPECT_EQ(doc->objects[doc->references.at(1)].kind, "Container");
  EXPECT_EQ(doc->objects[doc->references.at(2)].kind, "TriMesh");
  EXPECT_EQ(doc->references.count(7), 0u);
}

TEST(TextDocumentTest, StructuralFaultsNameTheirKindAndPlace) {
  const std::string deep = [] {
    std::string t = "3DMetafile ( 1 6 Normal )\n";
    for (int i = 0; i <= kMaxNesting; ++i) t += "Container ( ";
    for (int i = 0; i <= kMaxNesting; ++i) t += ") ";
    return t;
  }();
  const struct {
    std::string text;
    ErrorKind kind;
    std::string message;
    std::string place;
  } cases[] = {
      {"3DMetafile ( 1 6 Normal )\nMesh ( 3\n", ErrorKind::InvalidArgument,
       "The Mesh object that begins here is never closed by ')'", "input line 2, column 1"},
      {"3DMetafile ( 1 6 Normal )\nMesh ( 3 ( ) )\n", ErrorKind::InvalidArgument,
       "This '(' follows no object name", "input line 2, column 10"},
      {"TriMesh ( )\n", ErrorKind::InvalidArgument,
       "This is not a 3DMF text file: it does not begin with \"3DMetafile (\"",
       "input line 1, column 1"},
      {"", ErrorKind::InvalidArgument,
       "This is not a 3DMF text file: it does not begin with \"3DMetafile (\"",
       "input line 1, column 1"},
      // Before the first object, what begins none is an error as ever.
      {")\n3DMetafile ( 1 6 Normal )\n", ErrorKind::InvalidArgument, "This ')' closes no object",
       "input line 1, column 1"},
      {"label3:\n", ErrorKind::InvalidArgument, "The label \"label3\" stands before no object",
       "input line 1, column 1"},
      {"word\r\n3DMetafile ( 1 6 Normal )\r\n", ErrorKind::InvalidArgument,
       "Expected an object here, found \"word\"", "input line 1, column 1"},
      {"1 2 3DMetafile ( 1 6 Normal )\n", ErrorKind::InvalidArgument,
       "Expected an object here, found \"1 2\"", "input line 1, column 1"},
      {"3DMetafile ( 1 6 Normal )\nString ( \"open )\n", ErrorKind::InvalidArgument,
       "A string is never closed", "input line 2, column 10"},
      {deep, ErrorKind::OutOfRange, "Objects nest more than 256 deep", "input line 2, column 3083"},
      // Cut off inside an object's data, or after a word that was to name
      // one: no Container left open is closed then.
      {"3DMetafile ( 1 6 Normal )\nContainer (\n TriMesh ( 1 0 0 0 3 0\n 0 1 2\n",
       ErrorKind::InvalidArgument, "The TriMesh object that begins here is never closed by ')'",
       "input line 3, column 2"},
      {"3DMetafile ( 1 6 Normal )\nContainer (\n Triangle ( 0 0 0 1 0 0 0 1 0 )\n AttributeSet\n",
       ErrorKind::InvalidArgument, "The Container object that begins here is never closed by ')'",
       "input line 2, column 1"},
      {"3DMetafile ( 1 6 Normal )\nContainer ( Triangle ( 0 0 0 1 0 0 0 1 0 ) set1:\n",
       ErrorKind::InvalidArgument, "The Container object that begins here is never closed by ')'",
       "input line 2, column 1"},
      {"3DMetafile ( 1 6 Normal )\nBeginGroup ( DisplayGroup ( )\nTriangle ( 0 0 0 1 0 0 0 1 0 )\n",
       ErrorKind::InvalidArgument, "The BeginGroup object that begins here is never closed by ')'",
       "input line 2, column 1"},
  };
  for (const auto& c : cases) {
    try {
      ReadTextDocument(c.text);
      ADD_FAILURE() << "no error for: " << c.text.substr(0, 60);
    } catch (const RunError& e) {
      EXPECT_EQ(e.Kind(), c.kind) << c.message;
      EXPECT_EQ(std::string(e.what()), c.message);
      EXPECT_EQ(e.Place(), c.place) << c.message;
    }
  }
}

// What follows the last complete object at the top level and begins no
// object: zeros a file was padded with, a texture's data written again,
// words, stray parentheses. The objects before it are read as ever.
TEST(TextDocumentTest, TextAfterTheLastObjectIsLeftUnreadWithAWarning) {
  const std::string head =
      "3DMetafile ( 1 6 Normal toc> )\n"
      "Container (\n"
      "  Triangle ( 0 0 0 1 0 0 0 1 0 )\n"
      "  AttributeSet ( )\n"
      ")\n"
      "Mesh ( 3 0 0 0 1 0 0 0 1 0 1 3 0 1 2 ) # the last object\n";
  const std::string randomBytes = [] {
    std::mt19937 random(30);
    std::string bytes = "\xA7";  // no blank, so the rest begins right here
    for (int i = 0; i < 200; ++i) bytes += static_cast<char>(random());
    return bytes;
  }();
  const struct {
    const char* name;
    std::string junk;
    std::string detail;  // the warning's words after "the rest begins with "
    std::size_t skipped;  // blanks before the rest
  } cases[] = {
      {"zeros", std::string(64, '\0'), "the byte 0x00, which a text file does not hold", 0},
      {"zeros after a blank line", "\n  " + std::string(9, '\0'),
       "the byte 0x00, which a text file does not hold", 3},
      {"a texture's pixels written again",
       "0x7C1F83E07C1F83E07C1F83E07C1F83E0\n0x83E07C1F83E07C1F83E07C1F83E07C1F\n",
       "\"0x7C1F83E07C1F83E07C1F83E07C1F83E0\", which is no object", 0},
      {"random bytes", randomBytes, "", 0},
      {"a ')' that closes nothing", ")\n", "a ')' that closes no object", 0},
      {"a '(' after no name", "( 1 2 )\n", "a '(' that follows no object name", 0},
      {"a label before no object", "label3:\n", "the label \"label3\", which stands before no object",
       0},
      {"words before an object", "word Mesh ( )\r\n", "\"word Mesh\", which is no object", 0},
      {"numbers on their own line", "  1 2\nMesh ( )\n", "\"1 2\", which is no object", 2},
      {"a word at the very end", "Frob", "\"Frob\", which is no object", 0},
      {"a string never closed", "\"open\n", "a string that is never closed", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = head + c.junk;
    const auto doc = ReadTextDocument(text);
    EXPECT_EQ(Kinds(*doc, doc->top), (std::vector<std::string>{"3DMetafile", "Container", "Mesh"}));
    EXPECT_EQ(Kinds(*doc, doc->objects[doc->top[1]].children),
              (std::vector<std::string>{"Triangle", "AttributeSet"}));
    EXPECT_EQ(DataOf(*doc, doc->top[2]), " 3 0 0 0 1 0 0 0 1 0 1 3 0 1 2 ");
    const std::size_t at = head.size() + c.skipped;
    ASSERT_EQ(doc->warnings.size(), 1u);
    const std::string expected = "the last " + std::to_string(text.size() - at) +
                                 " bytes of the input were not read: the rest begins with " +
                                 c.detail;
    EXPECT_EQ(doc->warnings[0].substr(0, expected.size()), expected);
    EXPECT_NE(doc->warnings[0].find("(" + TextPlace(text, at) + ")"), std::string::npos)
        << doc->warnings[0];
  }
  // One case whole, wording and place.
  EXPECT_EQ(ReadTextDocument("3DMetafile ( 1 6 Normal )\n)")->warnings,
            (std::vector<std::string>{"the last byte of the input was not read: the rest begins "
                                      "with a ')' that closes no object (input line 2, column 1)"}));
  // Blanks and comments after the last object are no rest; a control byte
  // between a name and its "(" is a blank, as inside objects.
  EXPECT_TRUE(ReadTextDocument(head + "\t\v\f \r\n# \x01 in a comment\n")->warnings.empty());
  const auto blank = ReadTextDocument(head + "Triangle\x01( 0 0 0 1 0 0 0 1 0 )\n");
  EXPECT_TRUE(blank->warnings.empty());
  EXPECT_EQ(blank->top.size(), 4u);
}

// A file that lost a ')' near its end: the Containers still open when it
// ends hold only complete objects, so they end with it, each with a warning
// naming where it began.
TEST(TextDocumentTest, ContainersLeftOpenAtTheEndAreClosedWithAWarning) {
  const std::string text =
      "3DMetafile ( 1 6 Normal )\n"
      "BeginGroup ( DisplayGroup ( ) )\n"
      "Container (\n"
      "  Container (\n"
      "    Triangle ( 0 0 0 1 0 0 0 1 0 )\n"
      "    AttributeSet ( )\n"
      "EndGroup ( )   # the group's own end, now inside\n";
  const auto doc = ReadTextDocument(text);
  EXPECT_EQ(doc->warnings,
            (std::vector<std::string>{
                "the Container object is never closed by ')'; it ends with the file (input line "
                "4, column 3)",
                "the Container object is never closed by ')'; it ends with the file (input line "
                "3, column 1)"}));
  const Object& outer = doc->objects[doc->top[2]];
  EXPECT_EQ(outer.dataEnd, text.size());
  EXPECT_EQ(Kinds(*doc, outer.children), (std::vector<std::string>{"Container"}));
  const Object& inner = doc->objects[outer.children[0]];
  EXPECT_EQ(Kinds(*doc, inner.children),
            (std::vector<std::string>{"Triangle", "AttributeSet", "EndGroup"}));
  EXPECT_TRUE(ReadTextDocument("3DMetafile ( 1 6 Normal )\nContainer ( )\n")->warnings.empty());
}

TEST(TextFieldsTest, ReadsEachKindOfField) {
  const std::string text =
      "4 -3 65535 255 1.5e2 -0.25 # a comment\n"
      "rgb16_565 X True false \"say \\\"hi\\\"\" NoBoundingBox | NoBoundingSphere 6 | 1 None "
      "0x0A0b 0xFF00 0x11 4.0 0x10";
  auto fields = TextFieldsOf(text);
  EXPECT_EQ(fields->Uns32(), 4u);
  EXPECT_EQ(fields->Int32(), -3);
  EXPECT_EQ(fields->Uns16(), 65535);
  EXPECT_EQ(fields->Uns8(), 255);
  EXPECT_EQ(fields->Float32(), 150.0);
  EXPECT_EQ(fields->Float32(), -0.25);
  EXPECT_EQ(fields->Enum({{"RGB16", 2}, {"RGB16_565", 4}}), 4u);
  EXPECT_EQ(fields->Enum({{"X", 0}, {"Y", 1}}), 0u);
  EXPECT_TRUE(fields->Boolean());
  EXPECT_FALSE(fields->Boolean());
  EXPECT_EQ(fields->String(), "say \"hi\"");
  EXPECT_EQ(fields->Flags({{"NoBoundingBox", 1}, {"NoBoundingSphere", 2}}), 3u);
  EXPECT_EQ(fields->Flags({{"A", 8}}), 7u);
  EXPECT_EQ(fields->Flags({{"A", 8}}), 0u);
  std::vector<std::uint8_t> bytes;
  fields->RawData(3, bytes);  // the second token's last byte is padding
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x0A, 0x0B, 0xFF}));
  EXPECT_EQ(fields->Uns8(), 0x11);
  EXPECT_EQ(fields->Uns32(), 4u);  // a whole number written with a fraction
  EXPECT_EQ(fields->Uns32(), 16u);
  EXPECT_TRUE(fields->AtEnd());
}

TEST(TextFieldsTest, KeepsTheFullValueOfADecimalNumber) {
  // The keyword reader reads "0.1" as the double nearest to it; so must this.
  auto fields = TextFieldsOf("0.1 1e-400 +7");
  EXPECT_EQ(fields->Float32(), 0.1);
  EXPECT_EQ(fields->Float32(), 0.0);
  EXPECT_EQ(fields->Float32(), 7.0);
}

TEST(TextFieldsTest, BadFieldsNameTheirKindAndPlace) {
  const struct {
    const char* text;
    void (*read)(Fields&);
    ErrorKind kind;
    const char* message;
    const char* place;
  } cases[] = {
      {"12 x", [](Fields& f) { f.Uns32(), f.Uns32(); }, ErrorKind::InvalidArgument,
       "Expected a whole number, found \"x\"", "input line 1, column 4"},
      {"-1", [](Fields& f) { f.Uns32(); }, ErrorKind::Overflow,
       "The number \"-1\" is outside 0 to 4294967295", "input line 1, column 1"},
      {"\n 4294967296", [](Fields& f) { f.Uns32(); }, ErrorKind::Overflow,
       "The number \"4294967296\" is outside 0 to 4294967295", "input line 2, column 2"},
      {"256", [](Fields& f) { f.Uns8(); }, ErrorKind::Overflow,
       "The 8-bit number \"256\" is outside 0 to 255", "input line 1, column 1"},
      {"1e999", [](Fields& f) { f.Float32(); }, ErrorKind::Overflow,
       "The number \"1e999\" is too large", "input line 1, column 1"},
      {"nan", [](Fields& f) { f.Float32(); }, ErrorKind::Overflow,
       "The number \"nan\" is not finite", "input line 1, column 1"},
      {"1.2.3", [](Fields& f) { f.Float32(); }, ErrorKind::InvalidArgument,
       "Expected a number, found \"1.2.3\"", "input line 1, column 1"},
      {"1 2", [](Fields& f) { f.Float32(), f.Float32(), f.Float32(); }, ErrorKind::OutOfRange,
       "The object's data ends where a number was expected", "input line 1, column 4"},
      {"RGB99",
       [](Fields& f) {
         f.Enum({{"RGB32", 0}, {"RGB24", 5}});
       },
       ErrorKind::InvalidArgument, "Unknown value \"RGB99\"; expected one of RGB32, RGB24",
       "input line 1, column 1"},
      {"Maybe", [](Fields& f) { f.Boolean(); }, ErrorKind::InvalidArgument,
       "Expected True or False, found \"Maybe\"", "input line 1, column 1"},
      {"0x123",
       [](Fields& f) {
         std::vector<std::uint8_t> out;
         f.RawData(2, out);
       },
       ErrorKind::InvalidArgument, "The hexadecimal data \"0x123\" has an odd number of digits",
       "input line 1, column 1"},
      {"0x12 34",
       [](Fields& f) {
         std::vector<std::uint8_t> out;
         f.RawData(2, out);
       },
       ErrorKind::InvalidArgument, "Expected data in hexadecimal (\"0x...\"), found \"34\"",
       "input line 1, column 6"},
      {"1 2 3", [](Fields& f) { f.CheckCount(2, 3, 12, "point"); }, ErrorKind::OutOfRange,
       "The count of 2 points claims more than the rest of the object holds",
       "input line 1, column 1"},
  };
  for (const auto& c : cases) {
    auto fields = TextFieldsOf(c.text);
    try {
      c.read(*fields);
      ADD_FAILURE() << "no error for: " << c.text;
    } catch (const RunError& e) {
      EXPECT_EQ(e.Kind(), c.kind) << c.text;
      EXPECT_EQ(std::string(e.what()), c.message) << c.text;
      EXPECT_EQ(e.Place(), c.place) << c.text;
    }
  }
}

TEST(TextFieldsTest, CheckCountLetsThroughWhatTheDataCanHold) {
  auto fields = TextFieldsOf("1 2 3 4 5 6");
  fields->CheckCount(2, 3, 12, "point");  // exactly six values
  fields->CheckCount(0, 3, 12, "point");
  EXPECT_THROW(fields->CheckCount(0x100000000ull, 0xFFFFFFFFu, 1, "point"), RunError);
}

}  // namespace
