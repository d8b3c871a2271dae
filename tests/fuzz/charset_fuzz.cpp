// The 8-bit character set and UTF-8: every byte string survives 8-bit -> UTF-8 -> 8-bit; any
// input decoded from UTF-8 keeps exactly its own ASCII characters (nothing forged from malformed
// bytes), and well-formed text of the set comes back unchanged.
#include <algorithm>

#include "fuzz_support.h"
#include "platform/Charset.h"

using namespace pitkit;

static std::string asciiOf(const std::string& s) {
  std::string out;
  std::copy_if(s.begin(), s.end(), std::back_inserter(out),
               [](char c) { return static_cast<unsigned char>(c) < 0x80 && c != '?'; });
  return out;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  const std::string utf8 = cp1252ToUtf8(bytes);
  fuzz::check(fuzz::wellFormedUtf8(utf8), "8-bit text gave malformed UTF-8");
  fuzz::check(utf8ToCp1252(utf8) == bytes, "8-bit text did not survive the round trip");

  const std::string narrowed = utf8ToCp1252(bytes);
  fuzz::check(asciiOf(narrowed) == asciiOf(bytes), "decoding changed, lost or forged ASCII characters");
  std::size_t codePoints = 0;
  if (fuzz::wellFormedUtf8(bytes, &codePoints)) {
    fuzz::check(narrowed.size() == codePoints, "one byte per character expected");
    if (std::count(narrowed.begin(), narrowed.end(), '?') == std::count(bytes.begin(), bytes.end(), '?'))
      fuzz::check(cp1252ToUtf8(narrowed) == bytes, "text of the set did not come back");
  } else {
    fuzz::check(narrowed.find('?') != std::string::npos, "malformed input left no '?'");
  }
  return 0;
}
