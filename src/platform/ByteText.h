#pragma once
// Edit boxes that carry file names as their bytes. A box shows a name as UTF-8 (an invalid byte
// shows as a replacement character), so the name's bytes are kept beside the text shown and given
// back as long as the box still shows that text; once the user edits it, the typed text counts.
#include <string>

class QLineEdit;

namespace pitkit {

// Shows `bytes` in `edit` and keeps them.
void setByteText(QLineEdit* edit, const std::string& bytes);
// The bytes last set while the box still shows them; otherwise the box's text as UTF-8.
std::string byteText(const QLineEdit* edit);

}  // namespace pitkit
