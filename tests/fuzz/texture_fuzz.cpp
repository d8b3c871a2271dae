// A car's parameters.txt: the name and texture-page values against the key-line and cut rules,
// and the texture page of an uninstalled car against the garage rewrite rule.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_support.h"
#include "game/CarFile.h"
#include "game/InfoFile.h"
#include "platform/Charset.h"
#include "platform/TextFile.h"

using namespace pitkit;

// Rewrite rule: drop the first "cars\", then everything before the next '\' (all of it when none
// is left), and put "garage\" and the caption (separators as '\') in front.
static std::string modelGaragePage(const std::string& page, const std::string& caption) {
  std::string rest;
  std::size_t at = 0;
  bool dropped = false;
  while (at < page.size()) {
    if (!dropped && page.compare(at, 5, "cars\\") == 0) {
      at += 5;
      dropped = true;
    } else {
      rest += page[at++];
    }
  }
  std::size_t keep = 0;
  while (keep < rest.size() && rest[keep] != '\\') ++keep;
  std::string gameCaption;
  for (char c : caption) gameCaption += c == '/' ? '\\' : c;
  return "garage\\" + gameCaption + rest.substr(keep);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string caption = in.ConsumeRandomLengthString(64);
  const std::string bytes = in.ConsumeRemainingBytesAsString();
  const std::string path = fuzz::scratchFile("parameters.txt", bytes);

  const std::vector<std::string> lines = fuzz::modelLines(bytes, TextLineReader::kMaxLineLength);
  std::size_t next = 0;
  const std::string nameLine = fuzz::modelScan(lines, next, kNameKeys);
  const std::string textureLine = fuzz::modelScan(lines, next, kTexturePageKeys);

  const CarParameters car = readCarParameters(path);
  // A name line of valid UTF-8 is read as UTF-8, any other as Windows-1252.
  const std::string nameCut = fuzz::modelCut(nameLine, '"');
  fuzz::check(car.name == (fuzz::wellFormedUtf8(nameLine) ? nameCut : cp1252ToUtf8(nameCut)),
              "car name differs from the rule");
  fuzz::check(car.texturePage == fuzz::modelCut(textureLine, '"'), "texture page differs from the rule");
  fuzz::check(uninstalledTexturePage(car.texturePage, caption) == modelGaragePage(car.texturePage, caption),
              "garage texture page differs from the rule");
  return 0;
}
