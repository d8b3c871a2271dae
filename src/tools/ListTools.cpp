// pitkit --export-list and --compare-list: the installed list of a game, and how a game differs
// from such a list.
#include <exception>

#include "inventory/InstalledList.h"
#include "inventory/ListComparison.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "tools/GameTools.h"

namespace pitkit {

namespace {

// The game folder of operand `index`; an error when it is no folder.
std::string gameFolderOf(const std::vector<std::string>& operands, std::size_t index) {
  const std::string game = toolGameFolder(operands, index);
  if (!directoryExists(game)) throw Exception("There is no game folder " + game);
  return game;
}

}  // namespace

int runExportListTool(const std::vector<std::string>& operands, std::FILE* out, std::FILE* err) {
  if (operands.size() > 1) {
    std::fputs("pitkit: --export-list takes one game folder at the most\n", err);
    return 2;
  }
  try {
    const std::string game = gameFolderOf(operands, 0);
    const std::string text = formatInstalledList(listInstalledItems(game));
    std::fwrite(text.data(), 1, text.size(), out);
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(err, "pitkit: %s\n", error.what());
    return 2;
  }
}

int runCompareListTool(const std::vector<std::string>& operands, std::FILE* out, std::FILE* err) {
  if (operands.empty() || operands.size() > 2) {
    std::fputs("pitkit: --compare-list takes a list file and one game folder at the most\n", err);
    return 2;
  }
  try {
    const std::vector<ListedItem> list = readInstalledList(operands[0]);
    const std::string game = gameFolderOf(operands, 1);
    const std::vector<ItemDifference> differences = compareWithGame(list, game);
    for (const ItemDifference& difference : differences) std::fprintf(out, "%s\n", differenceLine(difference).c_str());
    return differences.empty() ? 0 : 1;
  } catch (const std::exception& error) {
    std::fprintf(err, "pitkit: %s\n", error.what());
    return 2;
  }
}

}  // namespace pitkit
