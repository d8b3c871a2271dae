#pragma once
// "Find Game Folders...": the game folders found in the compatibility prefixes and the Steam
// libraries, one of which the user opens; with none, where the search looked. The dialog shows
// what it is given and does no file work; findGamesOfUser runs the search.
#include <QDialog>
#include <string>
#include <vector>

#include "ui_FindGamesDialog.h"

namespace pitkit {

// The game folders found for this user, and where they were looked for.
struct GamesFound {
  std::vector<std::string> games;
  std::vector<std::string> places;
};
// Finds them on a worker while the windows keep painting under the wait cursor; the user's input
// waits until the finder is done (its time limits bound the wait).
GamesFound findGamesOfUser();

class FindGamesDialog : public QDialog {
  Q_OBJECT
 public:
  // `games` are listed (the first selected); with none, `places` are named instead.
  FindGamesDialog(QWidget* parent, const std::vector<std::string>& games,
                  const std::vector<std::string>& places);
  Ui::FindGamesDialog ui;

  // The folder chosen: the selected row's path as its bytes ("" for none).
  std::string chosenFolder() const;
};

}  // namespace pitkit
