#include "tools/GameTools.h"

#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "shell/Preset.h"

namespace pitkit {

std::string toolGameFolder(const std::vector<std::string>& operands, std::size_t index) {
  // Absolute: the searches name what they find by the folder they were given.
  if (index < operands.size()) return expandFileName(operands[index]);
  const std::string start = getCurrentDir();
  if (start.empty()) throw EInOutError(2);
  return expandFileName(presetGameFolder(start));
}

}  // namespace pitkit
