// The key-line scan (a name scan, then a texture scan going on in the same file, as for a car's
// parameter file) and the quoted-value cut, against the rules.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_support.h"
#include "game/InfoFile.h"

using namespace pitkit;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::vector<std::string> textureKeys = {"TPAGE", "tpage", "Tpage"};
  const char cutBy = in.ConsumeBool() ? '"' : '\'';
  const std::string bytes = in.ConsumeRemainingBytesAsString();
  const std::string path = fuzz::scratchFile("parameters.txt", bytes);

  const std::vector<std::string> lines = fuzz::modelLines(bytes, TextLineReader::kMaxLineLength);
  std::size_t next = 0;
  const std::string wantName = fuzz::modelScan(lines, next, kNameKeys);
  const std::string wantTexture = fuzz::modelScan(lines, next, textureKeys);

  TextLineReader reader(path);
  const std::string name = keyLineScan(reader, kNameKeys);
  const std::string texture = keyLineScan(reader, textureKeys);
  fuzz::check(name == wantName, "name line differs from the rule");
  fuzz::check(texture == wantTexture, "texture line differs from the rule");
  fuzz::check(keyLineScanFile(path, kNameKeys) == wantName, "scan of the whole file differs");

  for (const std::string& line : {name, texture, bytes}) {
    const std::string value = quotedValueCut(line, cutBy);
    fuzz::check(value == fuzz::modelCut(line, cutBy), "quoted-value cut differs from the rule");
  }
  return 0;
}
