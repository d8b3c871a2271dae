#include <gtest/gtest.h>

#include "platform/Charset.h"
#include "platform/Errors.h"
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
