#include "model/xml_text.h"

#include <cstddef>
#include <cstdint>

namespace velkin {

namespace {

// The length of the well-formed UTF-8 sequence at text[i] holding a character XML
// allows, or 0.
std::size_t XmlCharAt(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b = byte(i);
  if (b < 0x80) return b >= 0x20 || b == '\t' || b == '\n' || b == '\r' ? 1 : 0;
  std::size_t n;
  std::uint32_t c;
  if ((b & 0xE0) == 0xC0) {
    n = 2;
    c = b & 0x1F;
  } else if ((b & 0xF0) == 0xE0) {
    n = 3;
    c = b & 0x0F;
  } else if ((b & 0xF8) == 0xF0) {
    n = 4;
    c = b & 0x07;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  static constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kLeast[n] || c > 0x10FFFF) return 0;  // overlong or beyond Unicode
  if ((c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF) return 0;
  return n;
}

}  // namespace

bool XmlCanHold(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = XmlCharAt(text, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string XmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = XmlCharAt(text, i);
    if (n == 0) {
      out += '?';
      ++i;
      continue;
    }
    switch (text[i]) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out.append(text, i, n);
    }
    i += n;
  }
  return out;
}

}  // namespace velkin
