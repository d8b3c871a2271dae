#pragma once
// The level side of the organizer: the "Level Organizer" page's description, and the details of
// a selected level (display name, preview, readme and info file).
#include <string>

#include "organizers/OrganizerSide.h"
#include "ui_Unit1LevelOrganizer.h"

namespace pitkit {

// The level whose readme and info file the viewer buttons open, kept by the owner of the page.
struct LevelSelection {
  std::string SelectedLevelFolder;
  std::string SelectedLevelInfoFile;
};

// Shows a selected level and opens its readme and info file.
class LevelDetails : public OrganizerDetails {
 public:
  LevelDetails(QWidget* window, Ui::TabSheet2& controls, GameDirectory& gameDirectory, LevelSelection& selection);

  // The fields of the selection given.
  std::string& SelectedLevelFolder;
  std::string& SelectedLevelInfoFile;

  void withdraw() override;
  void show(const std::string& caption, const std::string& infoFile, bool uninstalled) override;
  // "View Readme File" and "View Level .INF file".
  void viewreadmeClick();
  void inffile1Click();

 private:
  Ui::TabSheet2& u_;
  GameDirectory& game_;
};

OrganizerSide levelSide(Ui::TabSheet2& controls, TFindFile& FindFile, TFindFile& FindFile2, LevelDetails& details);

// The level lists' headers, the bold "Selected Directory:" display, and the preview that grows
// with the page.
void arrangeLevelPage(Ui::TabSheet2& controls);

}  // namespace pitkit
