#include "game/InfoFile.h"

#include "platform/Charset.h"

namespace pitkit {

namespace {

bool containsAnyKey(const std::string& line, const std::vector<std::string>& keys) {
  for (const std::string& key : keys) {
    if (line.find(key) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

std::string keyLineScan(TextLineReader& reader, const std::vector<std::string>& keys) {
  std::string line;
  while (!reader.eof() && !containsAnyKey(line, keys)) line = reader.readLine();
  return line;
}

std::string keyLineScanFile(const std::string& path, const std::vector<std::string>& keys) {
  TextLineReader reader(path, TextLineReader::kBufferSize, kKeyLineScanLimit);
  return keyLineScan(reader, keys);
}

std::string quotedValueCut(const std::string& line, char delimiter) {
  const std::size_t first = line.find(delimiter);
  const std::string rest = first == std::string::npos ? line : line.substr(first + 1);
  const std::size_t second = rest.find(delimiter);
  return second == std::string::npos ? rest : rest.substr(0, second);
}

std::string nameLineValue(const std::string& line, char delimiter) {
  return decodeText(quotedValueCut(line, delimiter), charsetOf(line));
}

std::string readLevelDisplayName(const std::string& infoFilePath) {
  return nameLineValue(keyLineScanFile(infoFilePath, kNameKeys), '\'');
}

}  // namespace pitkit
