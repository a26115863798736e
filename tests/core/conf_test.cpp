#include "core/conf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/text.h"
#include "support/testutil.h"

using namespace std::string_literals;

namespace {

std::span<const uint8_t> bytesOf(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string textOf(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

class ConfTest : public ::testing::Test {
 protected:
  void SetUp() override { logReset(); }
  void TearDown() override {
    conf_free(&set);
    logReset();
  }

  // Parses text into set; log receives the lines the parser wrote.
  int parse(const std::string& text) {
    conf_free(&set);
    StderrCapture err;
    int result = confParseText(&set, bytesOf(text), "test.conf");
    log = err.finish();
    return result;
  }

  int parseBinary(const std::string& image) {
    conf_free(&set);
    StderrCapture err;
    int result = confParseBinary(&set, bytesOf(image), "twin.bcf");
    log = err.finish();
    return result;
  }

  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const ConfVar* v = set.first; v; v = v->next) out.push_back(v->name);
    return out;
  }

  ConfSet set{};
  std::string log;
  TempDir dir;
};

TEST_F(ConfTest, ReadsSectionsTypesAndNumbering) {
  const std::string text =
      "# comment\n"
      "   ; another comment\n"
      "top = 1\n"
      "\t[video]   # header comment\n"
      "width = 800\n"
      "rate=60.5\n"
      "title = \"Hello # not ; a comment\"   ; comment\n"
      "neg = -  5\n"
      "hex = 0x1F\n"
      "oct = 010\n"
      "notoct = 08\n"
      "neghex = -0x10\n"
      "dot = .25\n"
      "ball speed = 3\n"
      "empty = \"\"\n"
      "crlf = 7\r\n"
      "big = 0xFFFFFFFF\n"
      "[obj+]\n"
      "x+ = 1\n"
      "x+ = 2\n"
      "x+ = 3\n"
      "y# = 9\n"
      "[obj+];\n"
      "x+ = 5\n"
      "[tag#]\n"
      "z = \"q\"";  // no line end at the end of the file
  ASSERT_EQ(parse(text), 0) << log;
  EXPECT_EQ(log, "");

  EXPECT_EQ(conf_getint(&set, "top", 0), 1);
  EXPECT_EQ(conf_getint(&set, "video.width", 0), 800);
  EXPECT_EQ(conf_getdouble(&set, "video.rate", 0), 60.5);
  EXPECT_STREQ(conf_getstr(&set, "video.title", ""), "Hello # not ; a comment");
  EXPECT_EQ(conf_getint(&set, "video.neg", 0), -5);
  EXPECT_EQ(conf_getint(&set, "video.hex", 0), 31);
  EXPECT_EQ(conf_getint(&set, "video.oct", 0), 8);
  EXPECT_EQ(conf_gettype(&set, "video.notoct"), CONF_DOUBLE);
  EXPECT_EQ(conf_getdouble(&set, "video.notoct", 0), 8.0);
  EXPECT_EQ(conf_getint(&set, "video.neghex", 0), -16);
  EXPECT_EQ(conf_getdouble(&set, "video.dot", 0), 0.25);
  EXPECT_EQ(conf_getint(&set, "video.ballspeed", 0), 3);
  EXPECT_STREQ(conf_getstr(&set, "video.empty", "default"), "");
  EXPECT_EQ(conf_getint(&set, "video.crlf", 0), 7);
  EXPECT_EQ(conf_getint(&set, "video.big", 0), -1);  // the low 32 bits
  EXPECT_EQ(conf_getint(&set, "obj1.x1", 0), 1);
  EXPECT_EQ(conf_getint(&set, "obj1.x3", 0), 3);
  EXPECT_EQ(conf_getint(&set, "obj1.y3", 0), 9);
  EXPECT_EQ(conf_getint(&set, "obj2.x1", 0), 5);  // the variable count restarts per header
  EXPECT_STREQ(conf_getstr(&set, "tag2.z", ""), "q");

  std::vector<std::string> all = names();
  EXPECT_EQ(all.size(), 20u);
  EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));
  EXPECT_EQ(all.front(), "obj1.x1");
}

TEST_F(ConfTest, LineErrors) {
  struct Case {
    std::string line;
    std::string message;
  } cases[] = {
      {"[1abc]", "section name cannot start from a digit"},
      {"[" + std::string(64, 's') + "]", "section name must not exceed 63 characters"},
      {"[]", "nothing between '[' and ']'"},
      {"[abc] x", "extra characters after section name"},
      {"[a.b]", "invalid character '.' in section name"},
      {"[a b]", "']' expected after section name"},
      {"[ ab]", "']' expected after section name"},
      {"[abc", "']' expected after section name"},
      {"1x = 5", "variable name cannot start from a digit"},
      {"  7 = 5", "variable name cannot start from a digit"},
      {std::string(64, 'v') + " = 1", "variable name must not exceed 63 characters"},
      {"a.b = 1", "invalid character '.' in variable name"},
      {"a\rb = 1", "invalid character '\r' in variable name"},  // only a trailing CR goes
      {"abc", "'=' expected after variable name"},
      {"abc 5", "'=' expected after variable name"},
      {"= 5", "empty variable name"},
      {"x = \"abc", "closing double quote expected"},
      {"x = -", "numeric value expected after '-'"},
      {"x = -  ", "numeric value expected after '-'"},
      {"x = -\t5", "invalid value format"},
      {"x = - x", "invalid value format"},
      {"x = 12a", "invalid numeric format '12a'"},
      {"x = 1.2.3", "invalid numeric format '1.2.3'"},
      {"x = 1e5", "invalid numeric format '1e5'"},
      {"x = 0x", "invalid numeric format '0x'"},
      {"x = -  0xZ", "invalid numeric format '-0xZ'"},
      {"x = 5#c", "invalid numeric format '5#c'"},
      {"x = .", "invalid numeric format '.'"},
      {"x =  \t", "empty value"},
      {"x = abc", "invalid value format"},
      {"x = +5", "invalid value format"},
      {"x = 1 2", "extra characters after value"},
      {"x = \"a\" b", "extra characters after value"},
      {"x = \"a\"\"b\"", "extra characters after value"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parse("ok = 1\n" + c.line + "\n"), -1) << c.line;
    EXPECT_EQ(log, "PARSE_STRING(), line 2: " + c.message + "\n") << c.line;
    EXPECT_EQ(conf_getint(&set, "ok", 0), 1) << c.line;  // what parsed stays
  }
}

TEST_F(ConfTest, EveryErrorOfAFileIsReported) {
  EXPECT_EQ(parse("[s]\na = 1\nb = \nc = 3\n[]\nd = x\ne = 5\n"), -1);
  EXPECT_EQ(log,
            "PARSE_STRING(), line 3: empty value\n"
            "PARSE_STRING(), line 5: nothing between '[' and ']'\n"
            "PARSE_STRING(), line 6: invalid value format\n");
  EXPECT_EQ(names(), (std::vector<std::string>{"s.a", "s.c", "s.e"}));
}

TEST_F(ConfTest, LastDefinitionWinsWithoutRegardToCase) {
  ASSERT_EQ(parse("[S]\nKey = 1\nother = 2\nkey = \"two\"\n"), 0);
  EXPECT_EQ(names(), (std::vector<std::string>{"S.Key", "S.other"}));
  EXPECT_STREQ(conf_getstr(&set, "s.KEY", ""), "two");
  EXPECT_EQ(conf_find(&set, "s.key"), set.first);
}

TEST_F(ConfTest, GettersWantTheExactType) {
  ASSERT_EQ(parse("i = 1\nd = 1.5\ns = \"1\"\n"), 0);
  EXPECT_EQ(conf_getdouble(&set, "i", -2.0), -2.0);
  EXPECT_EQ(conf_getint(&set, "d", -2), -2);
  EXPECT_EQ(conf_getint(&set, "s", -2), -2);
  EXPECT_STREQ(conf_getstr(&set, "i", "dflt"), "dflt");
  EXPECT_EQ(conf_gettype(&set, "s"), CONF_STRING);
  EXPECT_EQ(conf_gettype(&set, "missing"), -1);
  EXPECT_EQ(conf_getint(&set, "missing", 42), 42);
  EXPECT_EQ(conf_find(&set, "i."), nullptr);
}

TEST_F(ConfTest, FormattedGettersCutTheKeyAt127) {
  std::string section(63, 's'), var(63, 'v');
  ASSERT_EQ(parse("[" + section + "]\n" + var + " = 11\nx3 = 3\nd2 = 2.5\nt4 = \"four\"\n"), 0);
  EXPECT_EQ(conf_getintf(&set, (section + ".x%d").c_str(), 0, 3), 3);
  EXPECT_EQ(conf_getdoublef(&set, (section + ".d%d").c_str(), 0, 2), 2.5);
  EXPECT_STREQ(conf_getstrf(&set, (section + ".t%d").c_str(), "", 4), "four");
  // 127 characters of key survive; the number after them is cut off.
  EXPECT_EQ(conf_getintf(&set, (section + "." + var + "%d").c_str(), 0, 99), 11);
}

TEST_F(ConfTest, LongLinesAreSplitLikeFgets) {
  // 2047 characters fill the buffer; the rest of the line is a line of its own.
  std::string comment = "#" + std::string(2046, 'c');
  ASSERT_EQ(parse(comment + "y = 2\n"), 0) << log;
  EXPECT_EQ(conf_getint(&set, "y", 0), 2);

  EXPECT_EQ(parse(comment + "bad\nz = \n"), -1);
  EXPECT_EQ(log,
            "PARSE_STRING(), line 2: '=' expected after variable name\n"
            "PARSE_STRING(), line 3: empty value\n");

  // Exactly 2047 characters and a line feed: the line feed alone is line 2.
  EXPECT_EQ(parse(comment + "\nz = \n"), -1);
  EXPECT_EQ(log, "PARSE_STRING(), line 3: empty value\n");

  // The longest string a line can hold.
  std::string longest(2042, 'q');
  ASSERT_EQ(parse("s=\"" + longest + "\"\n"), 0);
  EXPECT_EQ(conf_getstr(&set, "s", ""), longest);
}

TEST_F(ConfTest, NulEndsTheLine) {
  ASSERT_EQ(parse("x = 1\0garbage = \"\ny = 2\n"s), 0) << log;
  EXPECT_EQ(names(), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(parse("\0bad line\na b c\n"s), -1);
  EXPECT_EQ(log, "PARSE_STRING(), line 2: '=' expected after variable name\n");
}

TEST_F(ConfTest, NumbersAreReadToTheir31stCharacter) {
  std::string digits = "1234567890123456789012345678901";
  ASSERT_EQ(parse("x = " + digits + "999\ny = " + std::string(31, '0') + "1\n"), 0);
  EXPECT_EQ(conf_gettype(&set, "x"), CONF_DOUBLE);  // too big for an integer
  EXPECT_EQ(conf_getdouble(&set, "x", 0), *strToDouble(digits.c_str()));
  EXPECT_EQ(conf_getint(&set, "y", 5), 0);  // the final 1 is the 32nd character
}

TEST_F(ConfTest, SectionSearchReportsEachSectionOnce) {
  ASSERT_EQ(parse("top = 1\n[b]\nx = 1\ny = 2\n[a]\nx = 1\n[ball1]\nq = 1\n[ball2]\nq = 1\nr = 2\n"), 0);
  std::vector<std::string> found;
  for (const char* s = conf_firstsection(&set, "*"); s; s = conf_nextsection(&set)) found.push_back(s);
  EXPECT_EQ(found, (std::vector<std::string>{"a", "b", "ball1", "ball2"}));
  EXPECT_EQ(conf_nextsection(&set), nullptr);

  found.clear();
  for (const char* s = conf_firstsection(&set, "ball?"); s; s = conf_nextsection(&set)) found.push_back(s);
  EXPECT_EQ(found, (std::vector<std::string>{"ball1", "ball2"}));
  EXPECT_EQ(conf_firstsection(&set, "top"), nullptr);  // no section part: never reported
}

TEST_F(ConfTest, VariableSearchWalksMatchesInOrder) {
  ASSERT_EQ(parse("[ball]\nx2 = 1\nx1 = 1\ny = 1\n[wall]\nx1 = 1\n"), 0);
  std::vector<std::string> found;
  for (const char* n = conf_findfirst(&set, "*.x?"); n; n = conf_findnext(&set)) found.push_back(n);
  EXPECT_EQ(found, (std::vector<std::string>{"ball.x1", "ball.x2", "wall.x1"}));
  EXPECT_EQ(conf_findnext(&set), nullptr);
  // The section cursor is separate from the variable cursor.
  EXPECT_STREQ(conf_findfirst(&set, "ball.*"), "ball.x1");
  EXPECT_STREQ(conf_firstsection(&set, "*"), "ball");
  EXPECT_STREQ(conf_findnext(&set), "ball.x2");
}

// d, i and s from "d = 0.5", "i = -2", "s = \"hi\"", laid out by hand.
std::string expectedImage() {
  const unsigned char bytes[] = {
      3,    0,    0,    0,                                                   // N
      1,    0,    0,    0,    52, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xE0, 0x3F,   // d: double 0.5
      0,    0,    0,    0,    54, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0,  // i: -2
      2,    0,    0,    0,    56, 0, 0, 0, 58, 0, 0, 0, 0, 0, 0, 0,        // s: text at 58
      'd',  0,    'i',  0,    's', 0, 'h', 'i', 0,                           // text area
  };
  return {reinterpret_cast<const char*>(bytes), sizeof bytes};
}

TEST_F(ConfTest, BinaryLayout) {
  ASSERT_EQ(parse("s = \"hi\"\ni = -2\nd = 0.5\n"), 0);
  std::vector<uint8_t> image;
  ASSERT_TRUE(confBuildBinary(&set, &image));
  EXPECT_EQ(textOf(image), expectedImage());

  ASSERT_EQ(CONF_BINWRITE(&set, dir.file("t.bcf").c_str()), 0);
  EXPECT_EQ(readFile(dir.file("t.bcf")), expectedImage());
}

TEST_F(ConfTest, BinaryRoundTrip) {
  const std::string text =
      "[video]\nrate = 60.1\nmode = -3\nname = \"\xC8\xE3\xF0\xE0 # 1\"\nempty = \"\"\n"
      "[ball+]\nx+ = 0.1\nx+ = -0x7FFFFFFF\n[ball+]\nx+ = 1e0.5\ntop2 = 08\n";
  ASSERT_EQ(parse(text), -1);  // one bad line; the rest is written and read back
  ASSERT_EQ(CONF_BINWRITE(&set, dir.file("r.bcf").c_str()), 0);
  ConfSet back{};
  ASSERT_EQ(CONF_BINREAD(&back, dir.file("r.bcf").c_str()), 0);
  const ConfVar* a = set.first;
  const ConfVar* b = back.first;
  int count = 0;
  for (; a && b; a = a->next, b = b->next, ++count) {
    EXPECT_STREQ(a->name, b->name);
    ASSERT_EQ(a->type, b->type) << a->name;
    if (a->type == CONF_INT) {
      EXPECT_EQ(a->value.i, b->value.i) << a->name;
    } else if (a->type == CONF_DOUBLE) {
      EXPECT_EQ(std::bit_cast<uint64_t>(a->value.d), std::bit_cast<uint64_t>(b->value.d)) << a->name;
    } else {
      EXPECT_STREQ(a->value.s, b->value.s) << a->name;
    }
  }
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(count, 7);
  conf_free(&back);
}

TEST_F(ConfTest, BinaryReaderKeepsFileOrder) {
  const unsigned char bytes[] = {
      2, 0, 0, 0,                                          //
      0, 0, 0, 0, 36, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0,     // "b" = 7
      0, 0, 0, 0, 38, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0,     // "a" = 8
      'b', 0, 'a', 0,
  };
  ASSERT_EQ(parseBinary({reinterpret_cast<const char*>(bytes), sizeof bytes}), 0) << log;
  EXPECT_EQ(names(), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(conf_getint(&set, "a", 0), 8);

  ASSERT_EQ(parseBinary(std::string("\0\0\0\0", 4)), 0);  // no variables at all
  EXPECT_EQ(set.first, nullptr);
}

TEST_F(ConfTest, DamagedBinaryFilesFail) {
  const std::string good = expectedImage();
  auto with = [&](size_t at, std::initializer_list<unsigned char> patch) {
    std::string image = good;
    for (unsigned char b : patch) image[at++] = static_cast<char>(b);
    return image;
  };
  struct Case {
    std::string image;
    std::string what;
  } cases[] = {
      {good.substr(0, 3), "no variable count"},
      {good.substr(0, 51), "3 variables don't fit in 51 bytes"},
      {with(0, {4}), "4 variables don't fit in 61 bytes"},
      {with(0, {0xFF, 0xFF, 0xFF, 0xFF}), "4294967295 variables don't fit in 61 bytes"},
      {with(3, {0x10}), "268435459 variables don't fit in 61 bytes"},
      {with(20, {3}), "variable 1 has unknown type 3"},
      {with(36, {0xFF, 0xFF, 0xFF, 0xFF}), "variable 2 has unknown type 4294967295"},
      {with(8, {51}), "name of variable 0 lies outside the text area"},  // in the entries
      {with(24, {61}), "name of variable 1 lies outside the text area"},  // at the end
      {with(40, {0, 0, 0, 1}), "name of variable 2 lies outside the text area"},
      {with(44, {10}), "string value of variable 2 lies outside the text area"},
      {with(44, {0xE8, 0x03}), "string value of variable 2 lies outside the text area"},
      {good.substr(0, 60), "string value of variable 2 has no terminating NUL"},
      {with(40, {58}).substr(0, 60), "name of variable 2 has no terminating NUL"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parseBinary(c.image), -1) << c.what;
    EXPECT_EQ(set.first, nullptr) << c.what;
    EXPECT_EQ(log, "CONF_BINREAD(): damaged file 'twin.bcf': " + c.what + "\n");
  }
}

TEST_F(ConfTest, FileReadersReportWhatTheyCannotOpen) {
  std::string missing = dir.file("missing.conf");
  StderrCapture err;
  EXPECT_EQ(CONF_READ(&set, missing.c_str()), -1);
  EXPECT_EQ(CONF_BINREAD(&set, missing.c_str()), -1);
  EXPECT_EQ(CONF_BINWRITE(&set, dir.file("no/such/dir.bcf").c_str()), -1);
  EXPECT_EQ(err.finish(), "CONF_READ(): couldn't open the input file '" + missing +
                              "'\nCONF_BINREAD(): can't open file '" + missing +
                              "'\nCONF_BINWRITE(): can't open to write file \"" +
                              dir.file("no/such/dir.bcf") + "\"\n");
  EXPECT_EQ(set.first, nullptr);
}

TEST_F(ConfTest, AnyReadPrefersTheTextEvenWithErrors) {
  std::string conf = dir.file("g.conf"), bcf = dir.file("g.bcf");
  writeFile(bcf, expectedImage());
  writeFile(conf, "a = 1\nb = \n");
  StderrCapture err;
  EXPECT_EQ(conf_anyread(&set, "setupGlobal()", conf.c_str(), bcf.c_str(), 1), -1);
  EXPECT_EQ(err.finish(), "PARSE_STRING(), line 2: empty value\nsetupGlobal(): error reading configuration from '" +
                              conf + "'\n");
  EXPECT_EQ(names(), std::vector<std::string>{"a"});
  EXPECT_EQ(readFile(bcf), expectedImage());  // a failed text read writes no twin
}

TEST_F(ConfTest, AnyReadWritesTheTwinOnlyOnRequest) {
  std::string conf = dir.file("g.conf"), bcf = dir.file("g.bcf");
  writeFile(conf, "s = \"hi\"\ni = -2\nd = 0.5\n");
  ASSERT_EQ(conf_anyread(&set, "f()", conf.c_str(), bcf.c_str(), 0), 0);
  EXPECT_FALSE(pathExists(bcf));
  conf_free(&set);
  writeFile(bcf, "stale");
  ASSERT_EQ(conf_anyread(&set, "f()", conf.c_str(), bcf.c_str(), 1), 0);
  EXPECT_EQ(readFile(bcf), expectedImage());
}

TEST_F(ConfTest, AnyReadFallsBackToTheTwin) {
  std::string conf = dir.file("g.conf"), bcf = dir.file("g.bcf");
  writeFile(bcf, expectedImage());
  ASSERT_EQ(conf_anyread(&set, "f()", conf.c_str(), bcf.c_str(), 1), 0);
  EXPECT_STREQ(conf_getstr(&set, "s", ""), "hi");
  EXPECT_FALSE(pathExists(conf));
  conf_free(&set);

  writeFile(bcf, expectedImage().substr(0, 20));
  StderrCapture err;
  EXPECT_EQ(conf_anyread(&set, "f()", conf.c_str(), bcf.c_str(), 0), -1);
  EXPECT_EQ(err.finish(), "CONF_BINREAD(): damaged file '" + bcf + "': 3 variables don't fit in 20 bytes\n" +
                              "f(): error reading configuration from '" + bcf + "'\n");
  EXPECT_EQ(set.first, nullptr);
}

TEST_F(ConfTest, AnyReadWithNeitherFile) {
  std::string conf = dir.file("n.conf"), bcf = dir.file("n.bcf");
  StderrCapture err;
  EXPECT_EQ(conf_anyread(&set, "f()", conf.c_str(), bcf.c_str(), 1), -1);
  EXPECT_EQ(conf_anyread(&set, "", conf.c_str(), bcf.c_str(), 1), -1);  // silent
  EXPECT_EQ(err.finish(), "f(): configuration file '" + conf + "' or '" + bcf + "' not found\n");
  EXPECT_FALSE(pathExists(bcf));
}

}  // namespace
