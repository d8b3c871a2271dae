#include "tools/GameTools.h"

namespace pitkit {

int runExportListTool(const std::vector<std::string>&, std::FILE*, std::FILE* err) {
  std::fputs("pitkit: --export-list is not built yet\n", err);
  return 2;
}

int runCompareListTool(const std::vector<std::string>&, std::FILE*, std::FILE* err) {
  std::fputs("pitkit: --compare-list is not built yet\n", err);
  return 2;
}

}  // namespace pitkit
