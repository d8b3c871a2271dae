#pragma once
// The car side of the organizer: the "Car Organizer" page's description, and the details of a
// selected car (name, picture and texture page from its parameter file).
#include <string>

#include "organizers/OrganizerSide.h"
#include "ui_Unit1CarOrganizer.h"

namespace pitkit {

// Shows a selected car.
class CarDetails : public OrganizerDetails {
 public:
  // `placeholder` holds the stock picture shown where a car has no picture or texture page.
  CarDetails(Ui::TabSheet3& controls, QLabel* placeholder, GameDirectory& gameDirectory);

  void show(const std::string& caption, const std::string& parametersFile, bool uninstalled) override;

 private:
  Ui::TabSheet3& c_;
  QLabel* placeholder_;
  GameDirectory& game_;
};

OrganizerSide carSide(Ui::TabSheet3& controls, TFindFile& FindFile3, TFindFile& FindFile4, CarDetails& details);

// The car page's counters in the window's font and colours, and the stock picture of
// `placeholder` in both picture boxes, which grow with the page.
void arrangeCarPage(Ui::TabSheet3& controls, const QLabel* placeholder, const QWidget* window);

}  // namespace pitkit
