#pragma once
// Loading and saving the whole text of an info file for the info-file editor.
#include <cstddef>
#include <string>

#include "platform/Charset.h"

namespace pitkit {

// The largest file the editor takes; a bigger one is refused rather than read into memory.
inline constexpr std::size_t kEditorTextCapacity = 8u * 1024u * 1024u;

// Every line break of `text` (CR, LF or CR LF) made CR LF.
std::string normalizeLineBreaks(const std::string& text);

// Reads the whole file and returns it as UTF-8 with CR LF line breaks: as UTF-8 when it is valid
// UTF-8 beyond ASCII, otherwise as Windows-1252 (charsetOf); `charset`, when given, receives the
// set it was read in. Raises Exception "Cannot open file <path>" when it cannot be opened (or is
// not a regular file), "Text exceeds memo capacity" when it is larger than kEditorTextCapacity,
// and EInOutError when a read fails.
std::string loadInfoText(const std::string& path, TextCharset* charset = nullptr);

// Writes `text` (UTF-8) in `charset`, exactly as given (no line break is added), through a
// temporary file renamed over the old one, so a failed save leaves the old file as it was. Raises
// Exception "Cannot create file <path>" on failure. A character the set cannot hold is refused
// before anything is written (Exception naming the first one), never saved as '?'.
void saveInfoText(const std::string& path, const std::string& text,
                  TextCharset charset = TextCharset::Windows1252);

}  // namespace pitkit
