#include "tools/GameTools.h"

namespace pitkit {

int runCheckTool(const std::vector<std::string>&, std::FILE*, std::FILE* err) {
  std::fputs("pitkit: --check is not built yet\n", err);
  return 2;
}

}  // namespace pitkit
