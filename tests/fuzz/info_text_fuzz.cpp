// The info-file editor's load and save: any file loads as well-formed UTF-8, in the character set
// it is written in, and saving what was loaded in that set writes the file's bytes back with every
// line break (CR, LF or CR LF) made CR LF.
#include "fuzz_support.h"
#include "platform/TextFile.h"
#include "renamer/InfoText.h"

using namespace pitkit;

static std::string modelBreaks(std::string_view bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' || bytes[i] == '\n') {
      out += "\r\n";
      if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      out += bytes[i];
    }
  }
  return out;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = fuzz::scratchFile("level.inf", bytes);
  TextCharset charset = TextCharset::Windows1252;
  const std::string text = loadInfoText(path, &charset);
  fuzz::check(fuzz::wellFormedUtf8(text), "the loaded text is not well-formed UTF-8");
  // Valid UTF-8 (beyond ASCII) is read as it is; anything else through the 8-bit table.
  if (charset == TextCharset::Utf8) fuzz::check(text == modelBreaks(bytes), "UTF-8 text was not taken as it is");
  else fuzz::check(!fuzz::wellFormedUtf8(bytes) || text.size() == modelBreaks(bytes).size(), "UTF-8 read as 8-bit");

  const std::string saved = fuzz::scratchFolder() + "/saved.inf";
  saveInfoText(saved, text, charset);
  fuzz::check(readWholeFile(saved) == modelBreaks(bytes), "the saved bytes differ from the loaded file");
  fuzz::check(loadInfoText(saved) == text, "loading the saved file gives another text");
  return 0;
}
