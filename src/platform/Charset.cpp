#include "platform/Charset.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/Paths.h"

namespace pitkit {
namespace {

// Code points of the bytes 80..9F; the unassigned ones map to themselves.
constexpr std::array<char32_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t codePointOf(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHigh[byte - 0x80];
  return byte;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

int byteOf(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] == cp) return 0x80 + i;
  return -1;
}

}  // namespace

std::string cp1252ToUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) appendUtf8(out, codePointOf(static_cast<unsigned char>(c)));
  return out;
}

std::string utf8ToCp1252(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char lead = byteAt(i);
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      ++i;
      continue;
    }
    // Strict decoding (RFC 3629): the second byte's range depends on the lead, which rules out
    // overlong forms (C0 AF is not '/'), surrogates and code points above 10FFFF. A malformed
    // sequence gives one '?' for its longest well-formed start and one for each stray byte.
    std::size_t extra = 0;
    unsigned char low = 0x80, high = 0xBF;
    char32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2;
      cp = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3;
      cp = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      out += '?';
      ++i;
      continue;
    }
    std::size_t k = 1;
    for (; k <= extra && i + k < text.size(); ++k) {
      const unsigned char next = byteAt(i + k);
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) break;
      cp = (cp << 6) | (next & 0x3F);
    }
    if (k <= extra) {
      out += '?';
      i += k;  // the valid start of a sequence counts as one malformed character
      continue;
    }
    i += extra + 1;
    const int byte = byteOf(cp);
    out += byte < 0 ? '?' : static_cast<char>(byte);
  }
  return out;
}

bool isValidUtf8(const std::string& bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t extra = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (i + extra >= bytes.size()) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return false;
    }
    i += extra + 1;
  }
  return true;
}

std::string nameToUtf8(const std::string& bytes) {
  if (isValidUtf8(bytes)) return bytes;
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  std::size_t start = 0;
  while (start <= bytes.size()) {
    std::size_t end = bytes.find(PathDelim, start);
    if (end == std::string::npos) end = bytes.size();
    const std::string name = bytes.substr(start, end - start);
    out += isValidUtf8(name) ? name : cp1252ToUtf8(name);
    if (end == bytes.size()) break;
    out += PathDelim;
    start = end + 1;
  }
  return out;
}

TextCharset charsetOf(const std::string& bytes) {
  const bool beyondAscii =
      std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  return beyondAscii && isValidUtf8(bytes) ? TextCharset::Utf8 : TextCharset::Windows1252;
}

std::string decodeText(const std::string& bytes, TextCharset charset) {
  return charset == TextCharset::Utf8 ? bytes : cp1252ToUtf8(bytes);
}

std::string encodeText(const std::string& text, TextCharset charset) {
  return charset == TextCharset::Utf8 ? text : utf8ToCp1252(text);
}

std::string firstCharacterOutside(const std::string& text, TextCharset charset) {
  // One character at a time: its UTF-8 bytes are a well-formed sequence that narrows to one byte
  // other than '?' (or is '?' itself).
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    const std::string character = text.substr(i, length);
    i += length;
    if (lead < 0x80) continue;
    if (!isValidUtf8(character)) return character;
    if (charset == TextCharset::Windows1252 && utf8ToCp1252(character) == "?") return character;
  }
  return {};
}

}  // namespace pitkit
