#pragma once
// File menu "Export Installed List..." and "Compare with List...": the window's side of the shared
// list of installed items (the list itself and the comparison are in src/inventory/).
namespace pitkit {

class TForm1;

// Asks for a file name and writes the game's installed list there (a temporary file renamed into
// place), the fingerprints read on workers under the progress window.
void exportInstalledList(TForm1& form);
// Asks for a list file and shows how the game differs from it in a CompareListDialog, whose
// Install Missing and Uninstall Extra move the items as the organizer pages do.
void compareWithList(TForm1& form);

}  // namespace pitkit
