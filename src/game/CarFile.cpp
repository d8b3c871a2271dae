#include "game/CarFile.h"

#include <algorithm>

#include "game/InfoFile.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

namespace pitkit {

CarParameters readCarParameters(const std::string& path) {
  TextLineReader reader(path, TextLineReader::kBufferSize, kKeyLineScanLimit);
  const std::string nameLine = keyLineScan(reader, kNameKeys);
  const std::string textureLine = keyLineScan(reader, kTexturePageKeys);
  return {nameLineValue(nameLine, '"'), quotedValueCut(textureLine, '"')};
}

std::string uninstalledTexturePage(const std::string& texturePage, const std::string& caption) {
  std::string rest = texturePage;
  if (const std::size_t cars = rest.find("cars\\"); cars != std::string::npos) rest.erase(cars, 5);
  const std::size_t slash = rest.find('\\');
  rest.erase(0, slash == std::string::npos ? rest.size() : slash);
  std::string gameCaption = caption;
  std::replace(gameCaption.begin(), gameCaption.end(), PathDelim, '\\');
  return "garage\\" + gameCaption + rest;
}

}  // namespace pitkit
