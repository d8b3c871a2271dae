#include "archive/ItemPack.h"
#include "platform/FileSystem.h"
#include "platform/HostSystem.h"
#include "platform/Paths.h"
#include "tools/GameTools.h"

namespace pitkit {

int runPackTool(const std::vector<std::string>& operands, std::FILE* out, std::FILE* err) {
  const bool level = !operands.empty() && operands[0] == "level";
  const bool car = !operands.empty() && operands[0] == "car";
  if (operands.size() < 3 || operands.size() > 4 || (!level && !car)) {
    std::fputs("pitkit: --pack takes level or car, NAME and OUT.zip, and optionally GAME "
               "(pitkit --help lists the options)\n",
               err);
    return 2;
  }
  // A zip that meets the file-size limit fails with an error, instead of ending the program.
  ignoreFileSizeSignal();
  try {
    const std::string game = toolGameFolder(operands, 3);
    if (!directoryExists(game)) throw Exception("Cannot read " + game + ": there is no such folder");
    const GameItem item = findItemToPack(game, level ? ItemKind::Level : ItemKind::Car, operands[1]);
    const PackResult result = packItem(game, item, operands[2]);
    for (const std::string& leftOut : result.leftOut) std::fprintf(err, "pitkit: left out %s\n", leftOut.c_str());
    std::fprintf(out, "%s: %llu files, %llu bytes packed into %s\n", packedFolderName(item).c_str(),
                 static_cast<unsigned long long>(result.files), static_cast<unsigned long long>(result.bytes),
                 operands[2].c_str());
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(err, "pitkit: %s\n", e.what());
    return 2;
  }
}

}  // namespace pitkit
