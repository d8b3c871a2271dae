// A car's parameters.txt read in two scans, and the garage rewrite of its texture-page path.
#include <gtest/gtest.h>

#include "game/CarFile.h"
#include "platform/Errors.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

using test::TempDir;
using test::writeFile;

TEST(UninstalledTexturePage, PointsIntoTheGarage) {
  const struct {
    const char* value;
    const char* caption;
    const char* expected;
  } cases[] = {
      {"cars\\mycar\\car.bmp", "mycar", "garage\\mycar\\car.bmp"},
      // Only the first "cars\" goes, compared with case; the folder name after it is replaced.
      {"cars\\mycar\\cars\\car.bmp", "mycar", "garage\\mycar\\cars\\car.bmp"},
      {"Cars\\mycar\\car.bmp", "mycar", "garage\\mycar\\mycar\\car.bmp"},
      {"racecars\\mycar\\car.bmp", "mycar", "garage\\mycar\\car.bmp"},
      // No "cars\": nothing removed by the first step, the rewrite goes on.
      {"textures\\mycar\\car.bmp", "mycar", "garage\\mycar\\mycar\\car.bmp"},
      // No "\" left after it: everything goes.
      {"cars\\car.bmp", "mycar", "garage\\mycar"},
      {"car.bmp", "mycar", "garage\\mycar"},
      {"", "mycar", "garage\\mycar"},
      // A caption below a pack folder is written with '\' in the game path.
      {"cars\\pack\\mycar\\car.bmp", "pack/mycar", "garage\\pack\\mycar\\mycar\\car.bmp"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(uninstalledTexturePage(c.value, c.caption), c.expected) << c.value;
}

TEST(ReadCarParameters, NameThenTexturePageInOneReading) {
  TempDir tmp;
  const struct {
    std::string bytes;
    std::string name;
    std::string texturePage;
  } cases[] = {
      {"Name \"My Car\"\r\n; Model Filenames\r\nMODEL \"cars\\my\\body.prm\"\r\nTPAGE "
       "\"cars\\my\\car.bmp\"\r\n",
       "My Car", "cars\\my\\car.bmp"},
      // The marker line holds the key "name" (in "Filenames"): before the name line, it is the
      // name.
      {"; Model Filenames\r\nName \"My Car\"\r\nTPAGE \"cars\\my\\car.bmp\"\r\n",
       "; Model Filenames", "cars\\my\\car.bmp"},
      // A TPAGE line before the name line is never seen: the second scan runs on to the last line.
      {"TPAGE \"cars\\early.bmp\"\r\nName \"Car\"\r\nCOLL \"last.hul\"\r\n", "Car", "last.hul"},
      // No texture line after the name: the cut of the last line.
      {"Name \"Car\"\r\nEnvRGB 1 2 3\r\n", "Car", "EnvRGB 1 2 3"},
      // The name scan reaches the end: no texture page at all.
      {"; nothing here\r\nTPAGE \"cars\\x.bmp\"\r\n", "cars\\x.bmp", ""},
      // Single quotes are no delimiter here; "tpage" and "Tpage" are keys too.
      {"name 'Single'\r\ntpage \"a.bmp\"\r\n", "name 'Single'", "a.bmp"},
      {"NAME \"\xC9"
       "clair\"\r\nTpage \"b.bmp\"\r\n",
       "\xC3\x89"
       "clair",
       "b.bmp"},
      // A name line written in UTF-8 shows as written.
      {"Name \"Cr\xC3\xA8me Br\xC3\xBBl\xC3\xA9" "e\"\r\nTPAGE \"c.bmp\"\r\n", "Crème Brûlée", "c.bmp"},
      {"", "", ""},
      // Binary bytes without line breaks: one long line, cut, no name.
      {std::string(3'000'000, '\x01'), std::string(1 << 20, '\x01'), ""},
  };
  for (const auto& c : cases) {
    writeFile(tmp / "parameters.txt", c.bytes);
    const CarParameters read = readCarParameters(tmp / "parameters.txt");
    EXPECT_EQ(read.name, c.name) << c.bytes.substr(0, 40);
    EXPECT_EQ(read.texturePage, c.texturePage) << c.bytes.substr(0, 40);
  }
  EXPECT_THROW(readCarParameters(tmp / "missing.txt"), EInOutError);
  EXPECT_THROW(readCarParameters(tmp.path()), EInOutError);
}

}  // namespace
}  // namespace pitkit
