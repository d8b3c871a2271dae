// Provisional: the level organizer handlers of TForm1 are being written.
#include "shell/Unit1.h"

namespace pitkit {

void TForm1::setUpLevelOrganizer() {}
void TForm1::FindButtonClick() {}
void TForm1::FindFileNewFolder(TFindFile*, const std::string&, bool&) {}
void TForm1::FindFile2NewFolder(TFindFile*, const std::string&, bool&) {}
void TForm1::FindFileFound(TFindFile*, const std::string&, TSearchRec&) {}
void TForm1::FindFile2Found(TFindFile*, const std::string&, TSearchRec&) {}
void TForm1::FindFileComplete(TFindFile*) {}
void TForm1::FindFile2Complete(TFindFile*) {}
void TForm1::FoundFilesChange() {}
void TForm1::FoundFiles2Change() {}
void TForm1::FoundFilesDblClick() {}
void TForm1::FoundFiles2DblClick() {}
void TForm1::BitBtn4Click() {}
void TForm1::BitBtn5Click() {}
void TForm1::BitBtn6Click() {}
void TForm1::BitBtn7Click() {}
void TForm1::viewreadmeClick() {}
void TForm1::inffile1Click() {}

}  // namespace pitkit
