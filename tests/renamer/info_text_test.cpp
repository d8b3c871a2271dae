#include <gtest/gtest.h>
#include <functional>
#include "platform/Posix.h"

#include "platform/Errors.h"
#include "renamer/InfoText.h"
#include "support/ErrorOf.h"
#include "support/LinuxOnly.h"
#include "support/OddEntries.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

std::string errorOf(const std::function<void()>& f) { return test::errorOf(f, "(no error)"); }

TEST(InfoText, LoadMakesEveryLineBreakCrLfAndKeepsEveryByte) {
  test::TempDir dir;
  const auto file = dir / "t.inf";
  test::writeFile(file, "a\nb\rc\r\nd\n");
  EXPECT_EQ(loadInfoText(file), "a\r\nb\r\nc\r\nd\r\n");
  test::writeFile(file, "no break at end");
  EXPECT_EQ(loadInfoText(file), "no break at end");

  // 8-bit bytes are read as Windows-1252 and come back unchanged on save, 1A and NUL included.
  std::string all;
  for (int b = 0; b < 256; ++b)
    if (b != '\r' && b != '\n') all += static_cast<char>(b);
  test::writeFile(file, all);
  const std::string text = loadInfoText(file);
  EXPECT_NE(text.find("\xC3\xA9"), std::string::npos);  // é
  saveInfoText(file, text);
  EXPECT_EQ(test::readFile(file), all);
}

TEST(InfoText, SavingUnchangedTextChangesOnlyLineBreaks) {
  test::TempDir dir;
  const auto file = dir / "t.inf";
  test::writeFile(file, "Torvane .INF file structure\nNAME 'caf\xE9'\n");
  saveInfoText(file, loadInfoText(file));
  EXPECT_EQ(test::readFile(file), "Torvane .INF file structure\r\nNAME 'caf\xE9'\r\n");

  test::writeFile(file, "one\ntwo");
  saveInfoText(file, loadInfoText(file));
  EXPECT_EQ(test::readFile(file), "one\r\ntwo");

  // A file written in UTF-8 is read and saved in UTF-8, every byte as it was.
  test::writeFile(file, "NAME 'Cr\xC3\xA8me \xD0\x96\xD1\x83\xD0\xBA'\r\n");
  TextCharset charset{};
  const std::string text = loadInfoText(file, &charset);
  saveInfoText(file, text, charset);
  EXPECT_EQ(charset, TextCharset::Utf8);
  EXPECT_EQ(test::readFile(file), "NAME 'Cr\xC3\xA8me \xD0\x96\xD1\x83\xD0\xBA'\r\n");
}

TEST(InfoText, LoadFailures) {
  test::TempDir dir;
  EXPECT_EQ(errorOf([&] { loadInfoText(dir / "missing.inf"); }),
            "Cannot open file " + (dir / "missing.inf"));
  EXPECT_EQ(errorOf([&] { loadInfoText(dir.path()); }), "Cannot open file " + dir.path());

  // A socket where a file is expected cannot be opened.
  const std::string sock = dir / "s.inf";
  {
    const test::BoundSocket socket(sock);
    if (test::kOnLinux) ASSERT_TRUE(socket.made());
    if (socket.made()) EXPECT_EQ(errorOf([&] { loadInfoText(sock); }), "Cannot open file " + sock);
  }

  // A pipe does not hang the load.
  const std::string fifo = dir / "p.inf";
  const bool made = test::makeFifo(fifo);
  if (test::kOnLinux) ASSERT_TRUE(made);
  if (made) EXPECT_EQ(errorOf([&] { loadInfoText(fifo); }), "Cannot open file " + fifo);

  const std::string huge = dir / "huge.inf";
  test::writeFile(huge, "x");
  ASSERT_TRUE(test::setFileSize(huge, kEditorTextCapacity + 1));
  EXPECT_EQ(errorOf([&] { loadInfoText(huge); }), "Text exceeds memo capacity");
  ASSERT_TRUE(test::setFileSize(huge, kEditorTextCapacity));
  EXPECT_EQ(loadInfoText(huge).size(), kEditorTextCapacity);
}

TEST(InfoText, FailedSaveKeepsOldFileWhole) {
  test::TempDir dir;
  const auto file = dir / "t.inf";
  test::writeFile(file, "old\r\ntext\r\n");
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  EXPECT_EQ(errorOf([&] { saveInfoText(file, "new"); }), "Cannot create file " + file);
  EXPECT_EQ(test::readFile(file), "old\r\ntext\r\n");

  const auto nowhere = dir / "no folder/t.inf";
  EXPECT_EQ(errorOf([&] { saveInfoText(nowhere, "new"); }), "Cannot create file " + nowhere);
}

}  // namespace
}  // namespace pitkit
