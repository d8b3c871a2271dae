#include "tools/GameTools.h"

namespace pitkit {

int runPackTool(const std::vector<std::string>&, std::FILE*, std::FILE* err) {
  std::fputs("pitkit: --pack is not built yet\n", err);
  return 2;
}

}  // namespace pitkit
