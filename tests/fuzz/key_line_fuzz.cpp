// The key-line scan (a name scan, then a texture scan going on in the same file, as for a car's
// parameter file) and the quoted-value cut, against the rules.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_support.h"
#include "organizers/InfoFile.h"

using namespace pitkit;

static bool holdsKey(const std::string& line, const std::vector<std::string>& keys) {
  for (const std::string& key : keys)
    for (std::size_t at = 0; at + key.size() <= line.size(); ++at)
      if (line.compare(at, key.size(), key) == 0) return true;
  return false;
}

// Scans `lines` from `next` on: the first line holding a key, else the last line read, else "".
static std::string modelScan(const std::vector<std::string>& lines, std::size_t& next,
                             const std::vector<std::string>& keys) {
  std::string line;
  while (next < lines.size() && !holdsKey(line, keys)) line = lines[next++];
  return line;
}

// The text after the first delimiter up to the next one.
static std::string modelCut(const std::string& line, char q) {
  std::size_t i = 0;
  while (i < line.size() && line[i] != q) ++i;
  if (i == line.size()) i = 0; else ++i;
  std::string value;
  while (i < line.size() && line[i] != q) value += line[i++];
  return value;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::vector<std::string> textureKeys = {"TPAGE", "tpage", "Tpage"};
  const char cutBy = in.ConsumeBool() ? '"' : '\'';
  const std::string bytes = in.ConsumeRemainingBytesAsString();
  const std::string path = fuzz::scratchFile("parameters.txt", bytes);

  const std::vector<std::string> lines = fuzz::modelLines(bytes, TextLineReader::kMaxLineLength);
  std::size_t next = 0;
  const std::string wantName = modelScan(lines, next, kNameKeys);
  const std::string wantTexture = modelScan(lines, next, textureKeys);

  TextLineReader reader(path);
  const std::string name = keyLineScan(reader, kNameKeys);
  const std::string texture = keyLineScan(reader, textureKeys);
  fuzz::check(name == wantName, "name line differs from the rule");
  fuzz::check(texture == wantTexture, "texture line differs from the rule");
  fuzz::check(keyLineScanFile(path, kNameKeys) == wantName, "scan of the whole file differs");

  for (const std::string& line : {name, texture, bytes}) {
    const std::string value = quotedValueCut(line, cutBy);
    fuzz::check(value == modelCut(line, cutBy), "quoted-value cut differs from the rule");
  }
  return 0;
}
