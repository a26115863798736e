#include "core/text.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cstring>
#include <optional>
#include <string>

namespace {

std::optional<long> toLong(const char* text) {
  const long* v = strToLong(text);
  return v ? std::optional<long>(*v) : std::nullopt;
}

std::optional<double> toDouble(const char* text) {
  const double* v = strToDouble(text);
  return v ? std::optional<double>(*v) : std::nullopt;
}

TEST(TextFormatTest, SharedBufferAndBoundedForms) {
  char* a = strFormat("%d-%s", 7, "x");
  EXPECT_STREQ(a, "7-x");
  char* b = strFormat("%s", "next");
  EXPECT_EQ(a, b);  // one buffer for all callers
  EXPECT_STREQ(a, "next");
  EXPECT_EQ(std::strlen(strFormat("%s", std::string(5000, 'z').c_str())), 4095u);

  char buf[6];
  EXPECT_EQ(strFormatN(buf, sizeof buf, "%d", 1234567), 5);
  EXPECT_STREQ(buf, "12345");
  EXPECT_EQ(strFormatN(buf, sizeof buf, "%s", "ab"), 2);
  EXPECT_STREQ(buf, "ab");
  EXPECT_EQ(strFormatN(buf, 1, "%s", "ab"), 0);
  EXPECT_STREQ(buf, "");
}

TEST(TextFormatTest, NumberedNamesTakeOnlyIntegerConversionsFromAPattern) {
  const struct {
    const char* pattern;
    int n;
    const char* expected;
  } cases[] = {
      {"data/tip%d.gsp", 7, "data/tip7.gsp"},
      {"year%02d-%d", 3, "year03-3"},
      {"%x%X%o%u%i", 255, "ffFF377255255"},
      {"100%%-%d", -4, "100%--4"},
      // Anything but an integer conversion is copied, never read as an argument.
      {"%s-%d-%n-%", 1, "%s-1-%n-%"},
      {"%.3f", 2, "%.3f"},
      {nullptr, 5, ""},
  };
  for (const auto& c : cases) {
    char out[64];
    strFormatNumbered(out, sizeof out, c.pattern, c.n);
    EXPECT_STREQ(out, c.expected) << (c.pattern ? c.pattern : "(null)");
  }
  char small[5];
  strFormatNumbered(small, sizeof small, "abc%d", 1234);
  EXPECT_STREQ(small, "abc1");
}

TEST(TextCopyTest, CopyAndAppendStayBelowTheSize) {
  char buf[6] = "";
  EXPECT_STREQ(strCopyN(buf, "abcdefgh", sizeof buf), "abcde");
  EXPECT_STREQ(strCopyN(buf, "ab", sizeof buf), "ab");
  EXPECT_STREQ(strCatN(buf, "cd", sizeof buf), "abcd");
  EXPECT_STREQ(strCatN(buf, "efgh", sizeof buf), "abcde");
  EXPECT_STREQ(strCatN(buf, "z", sizeof buf), "abcde");  // full: nothing happens

  // A destination that already holds size-1 or more is left alone.
  char full[8] = "abcdefg";
  EXPECT_STREQ(strCatN(full, "x", 4), "abcdefg");

  char guard[4] = {'x', 'x', 'x', 'x'};
  strCopyN(guard, "q", 0);
  EXPECT_EQ(guard[0], 'x');
}

TEST(TextTrimTest, FlagsPickTheEnds) {
  struct Case {
    const char* text;
    int flags;
    const char* expected;
  } cases[] = {
      {" \t ab c \t", STR_TRIM_LEADING, "ab c \t"},
      {" \t ab c \t", STR_TRIM_TRAILING, " \t ab c"},
      {" \t ab c \t", STR_TRIM_BOTH, "ab c"},
      {" \t  ", STR_TRIM_BOTH, ""},
      {"abc", STR_TRIM_BOTH, "abc"},
  };
  for (const Case& c : cases) {
    char buf[32];
    std::strcpy(buf, c.text);
    EXPECT_EQ(strTrim(buf, " \t", c.flags), buf);
    EXPECT_STREQ(buf, c.expected) << '"' << c.text << "\" flags " << c.flags;
  }
}

TEST(TextSplitTest, TokensThenNullOrEmpty) {
  char text[] = "  one,,two three ";
  char *a, *b, *c, *d;
  EXPECT_EQ(strSplit(text, " ,", &a, &b, &c, &d, nullptr), 4);
  EXPECT_STREQ(a, "one");
  EXPECT_STREQ(b, "two");
  EXPECT_STREQ(c, "three");
  EXPECT_EQ(d, nullptr);

  char text2[] = "x y z";
  EXPECT_EQ(strSplitE(text2, " ", &a, &b, nullptr), 2);
  EXPECT_STREQ(a, "x");
  EXPECT_STREQ(b, "y");  // the rest stays unsplit behind b

  char text3[] = "only";
  EXPECT_EQ(strSplitE(text3, " ", &a, &b, &c, nullptr), 3);
  EXPECT_STREQ(a, "only");
  ASSERT_NE(b, nullptr);
  ASSERT_NE(c, nullptr);
  EXPECT_STREQ(b, "");
  EXPECT_STREQ(c, "");
}

TEST(TextIndexTest, ExactCaseInsensitiveAndPrefix) {
  EXPECT_EQ(strIndex("demo", "comm", "demo", "dict", nullptr), 1);
  EXPECT_EQ(strIndex("Demo", "comm", "demo", nullptr), -1);
  EXPECT_EQ(strIndexI("Demo", "comm", "DEMO", nullptr), 1);
  EXPECT_EQ(strIndexI("dem", "demo", nullptr), -1);
  EXPECT_EQ(strIndexP("LOG_PATH ..", "LOG", "LOG_PATH", nullptr), 0);  // first hit wins
  EXPECT_EQ(strIndexP("LOG_PATH ..", "LOG_PATHS", "LOG_PATH", nullptr), 1);
  EXPECT_EQ(strIndexP("LO", "LOG", nullptr), -1);
  EXPECT_EQ(strIndex("x", nullptr), -1);
}

TEST(TextNextArgTest, RoundRobinWithOneNullBetweenRounds) {
  strNextArg(nullptr);  // starts the shared counter over
  EXPECT_STREQ(strNextArg("a", "b", nullptr), "a");
  EXPECT_STREQ(strNextArg("a", "b", nullptr), "b");
  EXPECT_EQ(strNextArg("a", "b", nullptr), nullptr);
  EXPECT_STREQ(strNextArg("a", "b", nullptr), "a");
  // A shorter list than the counter expects ends the round as well.
  EXPECT_STREQ(strNextArg("a", "b", "c", nullptr), "b");
  EXPECT_EQ(strNextArg("p", nullptr), nullptr);
  EXPECT_STREQ(strNextArg("p", nullptr), "p");
}

TEST(TextNumberTest, IntegerParser) {
  struct Case {
    const char* text;
    std::optional<long> expected;
  } cases[] = {
      {"0x10", 16},
      {"0XfF", 255},
      {"010", 8},
      {"- 5", -5},
      {"-\t 5", -5},
      {" \t42\t ", 42},
      {"0", 0},
      {"-0", 0},
      {"-0x10", -16},
      {"-010", -8},
      {"9223372036854775807", LONG_MAX},
      {"-9223372036854775808", LONG_MIN},
      {"9223372036854775808", std::nullopt},  // beyond long: no number
      {"0x8000000000000000", std::nullopt},
      {"12a", std::nullopt},
      {"0xg", std::nullopt},
      {"0x", std::nullopt},
      {"08", std::nullopt},  // not octal
      {"0x-5", std::nullopt},
      {"--5", std::nullopt},
      {"+5", std::nullopt},
      {"1 2", std::nullopt},
      {"-", std::nullopt},
      {"", std::nullopt},
      {"1.0", std::nullopt},
      // Only the first 31 characters are read.
      {"1234567890123456789012345678901234", std::nullopt},
      {"0000000000000000000000000000000012", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(toLong(c.text), c.expected) << '"' << c.text << '"';
  EXPECT_EQ(strToLong(nullptr), nullptr);
}

TEST(TextNumberTest, FractionParser) {
  struct Case {
    const char* text;
    std::optional<double> expected;
  } cases[] = {
      {"1.5", 1.5},  {"08", 8.0},    {"-  2.25", -2.25},  {".5", 0.5},           {"5.", 5.0},
      {"-.5", -0.5}, {"1e5", {}},    {"1.2.3", {}},       {".", {}},             {"-", {}},
      {"1-2", {}},   {"0x1", {}},    {" 3 ", 3.0},        {"", {}},              {"1.5f", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(toDouble(c.text), c.expected) << '"' << c.text << '"';
}

TEST(TextNumberTest, HexDoubleKeepsEveryBit) {
  EXPECT_EQ(strHexDouble("00000000,3FF00000"), 1.0);
  for (double d : {0.1, -123.456e-300, 1e308, -0.0}) {
    uint64_t bits = std::bit_cast<uint64_t>(d);
    char text[32];
    std::snprintf(text, sizeof text, "%08X,%08X", static_cast<unsigned>(bits & 0xFFFFFFFFu),
                  static_cast<unsigned>(bits >> 32));
    EXPECT_EQ(std::bit_cast<uint64_t>(strHexDouble(text)), bits) << text;
  }
}

TEST(TextHashTest, KnownValues) {
  EXPECT_EQ(pfSectionId("gsphdr"), 0x6CA1323F);
  EXPECT_EQ(pfSectionId("fonthdr"), 0x120DFFDD);
  EXPECT_EQ(strHash("abc"), 0x5FB6C2C5);
  EXPECT_EQ(strHash(""), 0x7FFFFFFF);
  EXPECT_EQ(strHash(nullptr), 0x7FFFFFFF);
  // Order matters (first, last, second, ...), and high bytes count as unsigned.
  EXPECT_NE(strHash("abc"), strHash("acb"));
  EXPECT_NE(strHash("\xC0"), strHash("@"));
  // Negative states come out negated: never below zero except 0x80000000 itself.
  for (int i = 0; i < 2000; ++i) {
    std::string text = "name" + std::to_string(i * 7919);
    int32_t h = strHash(text.c_str());
    EXPECT_TRUE(h >= 0 || h == INT32_MIN) << text;
  }
}

TEST(TextWildMatchTest, Patterns) {
  struct Case {
    const char* text;
    const char* pattern;
    bool expected;
  } cases[] = {
      {"ball.x1", "ball.*", true},
      {"ball.x1", "ball.?1", true},
      {"ball.x12", "ball.?1", false},
      {"Ball.x", "ball.*", false},  // case-sensitive
      {"", "*", true},
      {"", "?", false},
      {"abc", "a*c", true},
      {"abc", "a*b", false},
      {"aXbXc", "*X*X*", true},
      {"abcabd", "*abd", true},
      {"gate3", "gate[0-9]", true},
      {"gatex", "gate[0-9]", false},
      {"gatex", "gate[!0-9]", true},
      {"gate3", "gate[!0-9]", false},
      {"b", "[abc]", true},
      {"]", "[]a]", true},
      {"-", "[a-]", true},
      {"*", "\\*", true},
      {"a", "\\*", false},
      {"a]", "[\\]]]", false},
      {"]", "[\\]]", true},
      {"[abc", "[abc", true},  // no closing bracket: a plain '['
      {"a", "[abc", false},
      {"a\\", "a\\", true},  // a final backslash stands for itself
      {".hidden", "*", false},
      {".hidden", "?hidden", false},
      {".hidden", ".*", true},
      {".hidden", "[.]hidden", true},
      {"x.y", "*", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(wildMatch(c.text, c.pattern), c.expected) << '"' << c.text << "\" vs \"" << c.pattern << '"';
  EXPECT_FALSE(wildMatch(nullptr, "*"));
  EXPECT_FALSE(wildMatch("x", nullptr));
}

TEST(TextWildMatchTest, LongPatternsStayFast) {
  // Exponential in a naive recursive matcher; linear-times-linear here.
  std::string text(5000, 'a');
  std::string pattern;
  for (int i = 0; i < 200; ++i) pattern += "*a";
  EXPECT_FALSE(wildMatch(text.c_str(), (pattern + "b").c_str()));
  EXPECT_TRUE(wildMatch(text.c_str(), (pattern + "*").c_str()));
}

TEST(TextCodePageTest, Cp1251ToUtf8) {
  EXPECT_EQ(cp1251ToUtf8("\xCF\xF0\xE8\xE2\xE5\xF2, world"), "Привет, world");
  EXPECT_EQ(cp1251ToUtf8("\xA8\xB8\xB9\xAB\xBB\xC0\xDF\xE0\xFF"), "Ёё№«»АЯая");
  EXPECT_EQ(cp1251ToUtf8("\x88\x96\x97\x85\xA0"), "€–—…\u00A0");
  EXPECT_EQ(cp1251ToUtf8("\x98"), "\uFFFD");
  EXPECT_EQ(cp1251ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(TextCodePageTest, Utf8ToCp1251) {
  EXPECT_EQ(utf8ToCp1251("Привет, Ёж №1 «ок»"), "\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xE6 \xB9" "1 \xAB\xEE\xEA\xBB");
  EXPECT_EQ(utf8ToCp1251("日本\uFFFD"), "???");  // no code in the page
  struct Case {
    std::string utf8;
    std::string expected;
  } invalid[] = {
      {"\xD0", "?"},                  // cut short
      {"\xD0" "A", "?A"},             // continuation missing
      {"\x80", "?"},                  // stray continuation
      {"\xC0\xAF", "??"},             // overlong
      {"\xE0\x80\xAF", "???"},        // overlong, three bytes
      {"\xED\xA0\x80", "???"},        // surrogate
      {"\xF4\x90\x80\x80", "????"},   // beyond U+10FFFF
      {"\xE2\x82", "?"},              // cut three-byte sequence
      {"\xF0\x9F\x98\x80", "?"},      // valid, but no code in the page
  };
  for (const Case& c : invalid) EXPECT_EQ(utf8ToCp1251(c.utf8), c.expected);
}

TEST(TextCodePageTest, StrictConversionDropsWhatThePageLacks) {
  struct Case {
    std::string utf8;
    std::string expected;
  } cases[] = {
      {"Ёж €5?", "\xA8\xE6 \x88" "5?"},  // a real question mark stays
      {"a☃b日c", "abc"},                   // no code in the page
      {"\xF0\x9F\x98\x80x", "x"},          // outside the BMP
      {"\xD0" "A\x80", "A"},                // broken UTF-8
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(utf8ToCp1251Strict(c.utf8), c.expected) << c.utf8;
}

TEST(TextCodePageTest, EveryDefinedCodeSurvivesARoundTrip) {
  std::string all;
  for (int c = 1; c < 256; ++c)
    if (c != 0x98) all.push_back(static_cast<char>(c));
  std::string utf8 = cp1251ToUtf8(all);
  EXPECT_EQ(utf8ToCp1251(utf8), all);
  EXPECT_EQ(utf8ToCp1251(cp1251ToUtf8("\x98")), "?");
}

}  // namespace
