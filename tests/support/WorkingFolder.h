#pragma once
// The working folder kept for a test: the program takes the folder it starts in as its game
// folder, so the tests change it, and set it back afterwards.
#include <string>

#include "platform/FileSystem.h"

namespace pitkit::test {

// The working folder as it was when this was made, set again by restore() and at the end of its
// life; made with a folder, that folder is the working folder meanwhile.
class WorkingFolder {
 public:
  WorkingFolder() : saved_(getCurrentDir()) {}
  explicit WorkingFolder(const std::string& folder) : WorkingFolder() { setCurrentDir(folder); }
  ~WorkingFolder() { restore(); }
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;

  void restore() const { setCurrentDir(saved_); }

 private:
  std::string saved_;
};

}  // namespace pitkit::test
