#include "shell/Unit1.h"

#include <QCloseEvent>

#include "platform/ErrorBox.h"
#include "renamer/Unit3.h"
#include "renamer/Unit5.h"
#include "shell/Unit6.h"
#include "shell/unit2.h"

namespace pitkit {

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
  ui.setupUi(this);
  changeDirectoryUi.setupUi(ui.TabSheet6);
  renamerUi.setupUi(ui.TabSheet1);
  levelOrganizerUi.setupUi(ui.TabSheet2);
  carOrganizerUi.setupUi(ui.TabSheet3);
  programInfoUi.setupUi(ui.TabSheet4);
  coverDisplayUi.setupUi(ui.TabSheet5);

  setUpShell();
  setUpRenamer();
  setUpLevelOrganizer();

  runGuarded(this, [this] { FormCreate(); });

  Form2 = new TForm2(this);
  Form3 = new TForm3(this);
  Form5 = new TForm5(this);
  Form6 = new TForm6(this);
}

TForm1::~TForm1() = default;

void TForm1::setUpShell() {}
void TForm1::FormCreate() {}
void TForm1::FormClose() {}
void TForm1::Button1Click() { close(); }
void TForm1::Exit1Click() { close(); }
void TForm1::Help2Click() {}
void TForm1::LevelOrganizer1Click() {}
void TForm1::DirectoryListBox1Change() {}
void TForm1::BitBtn12Click() {}
void TForm1::loadPreset() {}

void TForm1::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

void TForm1::resizeEvent(QResizeEvent* event) { QMainWindow::resizeEvent(event); }

}  // namespace pitkit
