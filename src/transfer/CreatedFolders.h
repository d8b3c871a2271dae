#pragma once
// The parent folders a transfer creates for its destination.
#include <string>
#include <vector>

namespace pitkit {

// Creates the missing parents of a transfer's destination and remembers them, so that a transfer
// that fails can remove them again and leave the tree as it found it.
class CreatedFolders {
 public:
  // Creates the folder `path` and its missing parents; raises EOSError ("Cannot create <path>")
  // when one cannot be made or a file stands in the way; the folders this call made are then
  // removed again.
  void create(const std::string& path);
  // Removes the folders created, innermost first, as far as they are still empty.
  void removeAll() const;

 private:
  std::vector<std::string> created_;  // outermost first
};

}  // namespace pitkit
