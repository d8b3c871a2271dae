#pragma once
// A plain listing of one folder for the folder and file list widgets.
#include <string>
#include <vector>

namespace pitkit {

struct DirectoryEntry {
  std::string name;
  bool isDirectory = false;  // a folder, or a link to one
  bool isRegularFile = false;
  bool isSymlink = false;
  bool isHidden = false;     // name begins with '.'
};

// The entries of `folder` except "." and "..", in the order the system lists them. Raises
// EInOutError when the folder cannot be opened.
std::vector<DirectoryEntry> listDirectory(const std::string& folder);

}  // namespace pitkit
