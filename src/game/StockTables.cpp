#include "game/StockTables.h"

#include <algorithm>

namespace pitkit {

bool isStockLevelInfoFile(const std::string& name) {
  return std::find(StockLevelInfoFiles.begin(), StockLevelInfoFiles.end(), name) != StockLevelInfoFiles.end();
}

bool isStockCarFolder(const std::string& caption) {
  return std::find(StockCarFolders.begin(), StockCarFolders.end(), caption) !=
         StockCarFolders.end();
}

}  // namespace pitkit
