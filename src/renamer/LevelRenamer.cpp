// Provisional: the renamer handlers of TForm1 are being written.
#include "shell/Unit1.h"

namespace pitkit {

void TForm1::setUpRenamer() {}
void TForm1::ONameChange() {}
void TForm1::NNameChange() {}
void TForm1::BitBtn2Click() {}
void TForm1::bitbtn1Click() {}
void TForm1::BitBtn3Click() {}
void TForm1::DirectoryListBox2Change() {}
void TForm1::DirectoryListBox2Click() {}
void TForm1::CheckBox3Click() {}
void TForm1::FileListBox1DblClick() {}

}  // namespace pitkit
