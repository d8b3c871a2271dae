#include <gtest/gtest.h>

#include "platform/Charset.h"
#include "platform/Errors.h"
#include "platform/FindData.h"
#include "platform/Mask.h"

namespace pitkit {
namespace {

TEST(Charset, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
  EXPECT_EQ(cp1252ToUtf8("\x80"), "\u20AC");
  EXPECT_EQ(cp1252ToUtf8("caf\xE9"), "caf\u00E9");
  EXPECT_EQ(utf8ToCp1252("\u4E2D"), "?");
  EXPECT_EQ(utf8ToCp1252("a\xC3"), "a?");
}

// Which set a piece of text is read in, what it shows, that it is written back as it was, and the
// first letter the set cannot hold.
TEST(Charset, ValidUtf8BeyondAsciiIsUtf8AndEverythingElseWindows1252) {
  const struct {
    std::string bytes, shown;
    TextCharset charset;
  } cases[] = {
      {"Toy World", "Toy World", TextCharset::Windows1252},  // ASCII reads the same either way
      {"Cr\xC3\xA8me \xD0\x96", "Crème Ж", TextCharset::Utf8},
      {"Cr\xE8me", "Crème", TextCharset::Windows1252},
      {"\x80 \xC3\xA8", "€ Ã¨", TextCharset::Windows1252},  // one byte not UTF-8: all of it 8-bit
      {"\xC0\xAF", "À¯", TextCharset::Windows1252},          // an overlong '/' is no separator
  };
  for (const auto& c : cases) {
    EXPECT_EQ(charsetOf(c.bytes), c.charset) << c.bytes;
    EXPECT_EQ(decodeText(c.bytes, c.charset), c.shown);
    EXPECT_EQ(encodeText(c.shown, c.charset), c.bytes);
  }
  const auto w1252 = TextCharset::Windows1252;
  EXPECT_EQ(firstCharacterOutside("Crème € œ Ÿ ? \u0081", w1252), "");  // U+0081: an unassigned byte
  EXPECT_EQ(firstCharacterOutside("é 中 Ж", w1252), "中");
  EXPECT_EQ(firstCharacterOutside("\u0080", w1252), "\u0080");  // the euro's byte is not U+0080
  EXPECT_EQ(firstCharacterOutside("Жук 中 \U0001F697", TextCharset::Utf8), "");
}

TEST(Charset, MalformedUtf8BecomesQuestionMarks) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"\xC0\xAF", "??"},             {"\xC1\x9C", "??"},          {std::string("\xC0\x80", 2), "??"},
      {"\xE0\x80\xAF", "???"},        {"\xF0\x80\x80\xAF", "????"}, {"\xED\xA0\x80", "???"},  // surrogate
      {"\xF4\x90\x80\x80", "????"},  {"\xE2\x82" "A", "?A"},       {"\x80" "b", "?b"},
      {"\xC2\x81\xE2\x82\xAC\xC3\xA9", "\x81\x80\xE9"},  // well-formed: U+0081, euro, e acute
  };
  for (const auto& c : cases) EXPECT_EQ(utf8ToCp1252(c.in), c.out) << ::testing::PrintToString(c.in);

  // No two- or three-byte sequence yields an ASCII character it did not hold itself (a '/', '\\'
  // or NUL out of nowhere), except the '?' of a malformed sequence.
  long forged = 0;
  for (int a = 0x80; a < 0x100; ++a)
    for (int b = 0; b < 0x100; ++b)
      for (int c = (a >= 0xE0 ? 0 : -1); c < (a >= 0xE0 ? 0x100 : 0); ++c) {
        std::string in{static_cast<char>(a), static_cast<char>(b)};
        if (c >= 0) in += static_cast<char>(c);
        for (char o : utf8ToCp1252(in))
          if (static_cast<unsigned char>(o) < 0x80 && o != '?' && in.find(o) == std::string::npos) ++forged;
      }
  EXPECT_EQ(forged, 0);
}

TEST(Mask, DosStyleMatchingIgnoresCase) {
  EXPECT_TRUE(matchesMask("track.inf", "*.inf"));
  EXPECT_TRUE(matchesMask("TRACK.INF", "*.inf"));
  EXPECT_FALSE(matchesMask("track.info", "*.inf"));
  EXPECT_FALSE(matchesMask("trackinf", "*.inf"));
  EXPECT_TRUE(matchesMask("anything", "*.*"));
  EXPECT_TRUE(matchesMask("a.b.c", "*.*"));
  EXPECT_TRUE(matchesMask("parameters", "parameters.*"));
  EXPECT_TRUE(matchesMask("parameters.txt", "parameters.*"));
  EXPECT_TRUE(matchesMask("nhood1.cam", "nhood?.*"));
  EXPECT_FALSE(matchesMask("nhood12.cam", "nhood?.cam"));
  EXPECT_TRUE(matchesMask("Über.inf", "*.INF"));
}

// The reference: '*' any run, '?' one character, ASCII case ignored, written as plain recursion;
// a mask ending in ".*" also matches a name without a dot.
bool referenceGlob(std::string_view n, std::string_view m) {
  if (m.empty()) return n.empty();
  if (m[0] == '*') return referenceGlob(n, m.substr(1)) || (!n.empty() && referenceGlob(n.substr(1), m));
  if (n.empty()) return false;
  const auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
  return (m[0] == '?' || up(m[0]) == up(n[0])) && referenceGlob(n.substr(1), m.substr(1));
}
bool referenceMask(std::string_view n, std::string_view m) {
  if (referenceGlob(n, m)) return true;
  return m.size() >= 2 && m.substr(m.size() - 2) == ".*" && n.find('.') == std::string_view::npos &&
         referenceGlob(n, m.substr(0, m.size() - 2));
}

TEST(Mask, AStarInsideTheNameIsAnOrdinaryCharacter) {
  const struct {
    const char* name;
    const char* mask;
  } cases[] = {{"*x.y", "*.*"}, {"para.*parrs", "*.*"}, {"*a.txt", "*.txt"}, {"a*b.inf", "a*.inf"},
               {"**a", "*a"},   {"?*.INF", "*.inf"},  {"*", "?"},           {"a*b*c", "a*c"}};
  for (const auto& c : cases) {
    EXPECT_TRUE(matchesMask(c.name, c.mask)) << c.name << " / " << c.mask;
    EXPECT_TRUE(NameMask(c.mask).matches(c.name)) << c.name << " / " << c.mask;
  }
}

// Every name and every mask of up to five characters from {a, B, ., *, ?}: both matchers give the
// reference's answer for each of the 15 million pairs.
TEST(Mask, BothMatchersAgreeWithTheReferenceOnEveryShortPair) {
  const std::string alphabet = "aB.*?";
  std::vector<std::string> words{""};
  for (std::size_t from = 0, len = 1; len <= 5; ++len) {
    const std::size_t to = words.size();
    for (std::size_t i = from; i < to; ++i)
      for (char c : alphabet) words.push_back(words[i] + c);
    from = to;
  }
  ASSERT_EQ(words.size(), 3906u);
  long wrong = 0, matched = 0;
  for (const std::string& mask : words) {
    const NameMask prepared(mask);
    for (const std::string& name : words) {
      const bool want = referenceMask(name, mask);
      matched += want;
      const bool plain = matchesMask(name, mask), fast = prepared.matches(name);
      if (plain != want || fast != want) {
        if (++wrong <= 10)
          ADD_FAILURE() << "name '" << name << "' mask '" << mask << "': reference " << want << ", matchesMask "
                        << plain << ", NameMask " << fast;
      }
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(matched, 100000);  // the table is not trivially all "no"
}

TEST(Errors, InOutTextsAndTheFullStopRule) {
  EXPECT_EQ(EInOutError(2).message(), "File not found");
  EXPECT_EQ(EInOutError(5).message(), "File access denied");
  EXPECT_EQ(EInOutError(101).message(), "Disk full");
  EXPECT_EQ(EInOutError(32).message(), "I/O error 32");
  EXPECT_EQ(EInOutError::codeFromErrno(ENOENT), 2);
  EXPECT_EQ(EInOutError::codeFromErrno(EACCES), 5);
  EXPECT_EQ(EInOutError::codeFromErrno(ENOSPC), 101);
  EXPECT_EQ(EInOutError::codeFromErrno(EMFILE), 4);
  // An errno without a code keeps its own number, even where it equals a code (EIO is 5).
  try {
    EInOutError::raiseFromErrno(EIO);
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, EIO);
    EXPECT_EQ(e.message(), "I/O error 5");
  }

  EXPECT_EQ(withFullStop("Selected Directory is not a TORVANE Main directory"),
            "Selected Directory is not a TORVANE Main directory.");
  EXPECT_EQ(withFullStop("Level: x already exists!"), "Level: x already exists!");
  EXPECT_EQ(withFullStop("Done."), "Done.");
  EXPECT_EQ(withFullStop("I/O error 32"), "I/O error 32.");
  EXPECT_EQ(withFullStop("path/"), "path/.");
  EXPECT_EQ(withFullStop("(x)"), "(x)");
  EXPECT_EQ(withFullStop(""), "");
}

}  // namespace
}  // namespace pitkit
