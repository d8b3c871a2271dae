#include "shell/Preset.h"

#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/NameCase.h"
#include "platform/TextFile.h"

namespace pitkit {

std::string presetText(const std::string& presetFolder, const std::string& gameDirectory) {
  return kPresetFolderKey + presetFolder + "\r\n" + kPresetGameKey + gameDirectory + "\r\n";
}

void writePreset(const std::string& path, const std::string& presetFolder, const std::string& gameDirectory) {
  // The text-line rule ends a line at CR and the whole text at 1A.
  for (const std::string* folder : {&presetFolder, &gameDirectory})
    if (folder->find_first_of("\r\x1a") != std::string::npos)
      throw Exception("The preset file cannot hold a folder whose name contains a line break or the byte 1A: " +
                      *folder);
  writeFileAtomically(path, presetText(presetFolder, gameDirectory));
}

std::string createPresetIfMissing(const std::string& startFolder) {
  const std::string path = findIgnoringCase(startFolder, kPresetFileName);
  if (!fileExists(path) && !directoryExists(path)) writePreset(path, startFolder, startFolder);
  return path;
}

PresetLines readPresetLines(const std::string& path, std::exception_ptr& readFailure) {
  PresetLines lines;
  readFailure = nullptr;
  // Two lines of a key and a path each: what lies beyond is never read, so a huge file cannot
  // hold the start.
  constexpr std::uint64_t kPresetTextLimit = 64 * 1024;
  TextLineReader reader(path, TextLineReader::kBufferSize, kPresetTextLimit);
  try {
    lines.first = reader.readLine();
    lines.second = reader.readLine();
  } catch (...) {
    readFailure = std::current_exception();
  }
  return lines;
}

std::string removeKey(const std::string& line, const std::string& key) {
  const std::size_t at = line.find(key);
  if (key.empty() || at == std::string::npos) return line;
  return line.substr(0, at) + line.substr(at + key.size());
}

std::string presetGameFolder(const std::string& startFolder) {
  const std::string path = findIgnoringCase(startFolder, kPresetFileName, EntryKind::File);
  if (!fileExists(path)) return startFolder;
  std::exception_ptr readFailure;
  const PresetLines lines = readPresetLines(path, readFailure);
  if (readFailure) std::rethrow_exception(readFailure);
  const std::string game = removeKey(lines.second, kPresetGameKey);
  return game.empty() ? startFolder : game;
}

}  // namespace pitkit
