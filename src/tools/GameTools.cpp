#include "tools/GameTools.h"

#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "shell/Preset.h"

namespace pitkit {

std::string toolGameFolder(const std::vector<std::string>& operands, std::size_t index) {
  if (index < operands.size()) return operands[index];
  const std::string start = getCurrentDir();
  if (start.empty()) throw EInOutError(2);
  return presetGameFolder(start);
}

}  // namespace pitkit
