#pragma once
// The user's data folder ($XDG_DATA_HOME) made a test's own: the home trash and the history of
// actions land there.
#include <cstdlib>
#include <string>
#include <utility>

namespace pitkit::test {

// Sets or removes an environment variable of this process.
inline void setVariable(const char* name, const std::string& value) {
#ifdef _WIN32
  ::_putenv_s(name, value.c_str());
#else
  ::setenv(name, value.c_str(), 1);
#endif
}
inline void unsetVariable(const char* name) {
#ifdef _WIN32
  ::_putenv_s(name, "");
#else
  ::unsetenv(name);
#endif
}

// XDG_DATA_HOME pointed at `folder` while it lives, so that what the program puts in the home
// trash, and its history of actions, land in the test's own folder.
class TrashHome {
 public:
  explicit TrashHome(std::string folder) : folder_(std::move(folder)) {
    if (const char* old = std::getenv("XDG_DATA_HOME")) old_ = old, hadOld_ = true;
    setVariable("XDG_DATA_HOME", folder_);
  }
  ~TrashHome() {
    if (hadOld_)
      setVariable("XDG_DATA_HOME", old_);
    else
      unsetVariable("XDG_DATA_HOME");
  }
  TrashHome(const TrashHome&) = delete;
  TrashHome& operator=(const TrashHome&) = delete;
  // The trash folder: files/ and info/ are below it.
  std::string trash() const { return folder_ + "/Trash"; }
  // The history of actions the program keeps there.
  std::string history() const { return folder_ + "/torvane-pitkit/history.sqlite"; }

 private:
  std::string folder_, old_;
  bool hadOld_ = false;
};

}  // namespace pitkit::test
