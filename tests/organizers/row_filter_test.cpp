// Which rows a filter text keeps, and the count it shows.
#include <gtest/gtest.h>

#include "organizers/RowFilter.h"

namespace pitkit {
namespace {

TEST(RowFilter, KeepsRowsByCaptionOrNameIgnoringAsciiCase) {
  const struct {
    const char* caption;
    const char* name;
    const char* text;
    bool shows;
  } cases[] = {
      // An empty text keeps every row, also one without a name.
      {"mytrack", "My Track", "", true},
      {"", "", "", true},
      // Caption or display name, anywhere in it.
      {"mytrack", "Loud Hood", "trac", true},
      {"nhood1", "Loud Hood", "d ho", true},
      {"nhood1", "Loud Hood", "track", false},
      // A name not read yet: the caption alone decides.
      {"mytrack", "", "loud", false},
      // ASCII letters in either case on either side.
      {"MyTrack", "", "mYtRaCk", true},
      {"x", "LOUD HOOD", "loud hood", true},
      // Bytes beyond ASCII are compared as they are: "Ü" and "ü" differ, and a UTF-8 letter's
      // bytes are never folded into ASCII ones.
      {"Rennbahn Müll", "", "müll", true},
      {"Rennbahn MÜLL", "", "müll", false},
      {"Straße", "", "STRAß", true},
      {"\xc3\xa9t\xc3\xa9", "", "\xc3\x89T\xc3\x89", false},
      // The text is a substring, not a set of words or a pattern.
      {"my track", "", "my  track", false},
      {"a*b", "", "*", true},
      {"ab", "", "a*b", false},
      // Neither part is found by text spanning both.
      {"abc", "def", "cd", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(rowMatches(c.caption, c.name, c.text), c.shows)
        << c.caption << " | " << c.name << " | " << c.text;
}

TEST(RowFilter, CountsWithThousandsSeparated) {
  const struct {
    long long shown, total;
    const char* text;
  } cases[] = {
      {0, 0, "0 of 0"},
      {12, 2006, "12 of 2,006"},
      {999, 1000, "999 of 1,000"},
      {20000, 20000, "20,000 of 20,000"},
      {1234567, 100000000, "1,234,567 of 100,000,000"},
  };
  for (const auto& c : cases) EXPECT_EQ(filterCountText(c.shown, c.total), c.text);
}

}  // namespace
}  // namespace pitkit
