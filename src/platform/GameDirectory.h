#pragma once
// The chosen game folder, shared by every page: one text, and the announcement of its change.
#include <functional>
#include <string>
#include <vector>

namespace pitkit {

// Holds the game folder and tells the pages when another one is chosen.
class GameDirectory {
 public:
  using Listener = std::function<void(const std::string& folder)>;

  const std::string& path() const { return path_; }
  // The text itself, for the window's documented working-state field of the same name.
  std::string& text() { return path_; }
  // The game folder + separator + `name`, and the same with a trailing separator. `name` is the
  // game's own entry in whatever letter case it has (findIgnoringCase).
  std::string sub(const char* name) const;
  std::string subWithDelim(const char* name) const;
  // A game folder is usable exactly when it has a levels folder.
  bool usable() const;

  // `listener` runs on every change, after those that listened before it.
  void listen(Listener listener) { listeners_.push_back(std::move(listener)); }

  // Takes `folder` and tells every listener in order. A listener's failure does not keep the
  // others from following the new folder; the first failure is raised again when all have run.
  void change(const std::string& folder);

 private:
  std::string path_;
  std::vector<Listener> listeners_;
};

}  // namespace pitkit
