#pragma once
// Edit boxes that carry file names as their bytes. A box shows a name as text (nameText), so the
// name's bytes are kept beside the text shown and given back as long as the box still shows that
// text; once the user edits it, the typed text counts.
#include <QString>
#include <string>

class QLineEdit;

namespace pitkit {

// A file name, a path or a text holding them, as shown: names that are not valid UTF-8 read through
// the Windows-1252 table (nameToUtf8). Actions keep using the bytes.
QString nameText(const std::string& bytes);

// Shows `bytes` in `edit` and keeps them.
void setByteText(QLineEdit* edit, const std::string& bytes);
// The bytes last set while the box still shows them; otherwise the box's text as UTF-8.
std::string byteText(const QLineEdit* edit);

}  // namespace pitkit
