#include "check/GameCheck.h"
#include "tools/GameTools.h"

namespace pitkit {

int runCheckTool(const std::vector<std::string>& operands, std::FILE* out, std::FILE* err,
                 const PictureDecoders& decoders) {
  if (operands.size() > 1) {
    std::fputs("pitkit: --check takes one game folder at the most\n", err);
    return 2;
  }
  try {
    const std::vector<CheckProblem> problems = checkGame(toolGameFolder(operands, 0), decoders);
    for (const CheckProblem& problem : problems) std::fprintf(out, "%s\n", problemLine(problem).c_str());
    return problems.empty() ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(err, "pitkit: %s\n", e.what());
    return 2;
  }
}

}  // namespace pitkit
