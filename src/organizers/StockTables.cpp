#include "organizers/StockTables.h"

#include <algorithm>

namespace pitkit {

bool isStockLevelInfoFile(const std::string& name) {
  return std::find(StockLevelInfoFiles.begin(), StockLevelInfoFiles.end(), name) != StockLevelInfoFiles.end();
}

}  // namespace pitkit
