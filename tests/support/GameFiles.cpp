#include "support/GameFiles.h"

#include "support/TempDir.h"

namespace pitkit::test {

void writeLevelInfo(const std::string& path, const std::string& name, const std::string& before) {
  writeFile(path, before + "; " + kInfMarker + "\r\nNAME '" + name + "'\r\nSKY 'blue'\r\n");
}

void writeCarParameters(const std::string& folder, const std::string& name, const char* texturePage) {
  std::string text = "{\r\nName \t\"" + name + "\"\r\n; Model Filenames\r\nMODEL \t0 \t\"body.prm\"\r\n";
  if (texturePage != nullptr) text += std::string("TPAGE \t\"") + texturePage + "\"\r\n";
  writeFile(folder + "/parameters.txt", text + "}\r\n");
}

}  // namespace pitkit::test
