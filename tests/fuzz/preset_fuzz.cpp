// The preset file: any bytes read back as the rule's first two lines, and the key removal; any
// pair of folder names without CR or 1A survives a write and a read unchanged, and one with them
// is refused, leaving the old file as it was.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_support.h"
#include "platform/Errors.h"
#include "platform/TextFile.h"
#include "shell/Preset.h"

using namespace pitkit;

// The first occurrence of the key cut out of the line.
static std::string modelRemoveKey(const std::string& line, const std::string& key) {
  for (std::size_t at = 0; at + key.size() <= line.size(); ++at)
    if (line.compare(at, key.size(), key) == 0) return line.substr(0, at) + line.substr(at + key.size());
  return line;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const bool roundTrip = in.ConsumeBool();
  std::exception_ptr failure;
  if (!roundTrip) {
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    const std::string path = fuzz::scratchFile("Pitkit.ini", bytes);
    const PresetLines lines = readPresetLines(path, failure);
    fuzz::check(failure == nullptr, "reading a regular file failed");
    std::vector<std::string> want = fuzz::modelLines(bytes, TextLineReader::kMaxLineLength);
    want.resize(2);
    fuzz::check(lines.first == want[0] && lines.second == want[1], "preset lines differ from the rule");
    fuzz::check(removeKey(lines.first, kPresetFolderKey) == modelRemoveKey(lines.first, kPresetFolderKey) &&
                    removeKey(lines.second, kPresetGameKey) == modelRemoveKey(lines.second, kPresetGameKey),
                "key removal differs from the rule");
    return 0;
  }
  const std::string folder = in.ConsumeRandomLengthString(512);
  const std::string game = in.ConsumeRemainingBytesAsString();
  const std::string path = fuzz::scratchFolder() + "/Pitkit.ini";
  // A CR or 1A cannot be held by the file: saving refuses such a folder and keeps the old file.
  if ((folder + game).find_first_of("\r\x1a") != std::string::npos) {
    writePreset(path, "/old", "/old game");
    const std::string old = readWholeFile(path);
    bool refused = false;
    try {
      writePreset(path, folder, game);
    } catch (const Exception&) {
      refused = true;
    }
    fuzz::check(refused && readWholeFile(path) == old, "a folder the file cannot hold was saved");
    return 0;
  }
  writePreset(path, folder, game);
  const PresetLines lines = readPresetLines(path, failure);
  fuzz::check(failure == nullptr, "reading the written preset failed");
  fuzz::check(removeKey(lines.first, kPresetFolderKey) == folder, "the preset folder did not come back");
  fuzz::check(removeKey(lines.second, kPresetGameKey) == game, "the game directory did not come back");
  return 0;
}
