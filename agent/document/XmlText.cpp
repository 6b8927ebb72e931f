#include "document/XmlText.h"

#include <cstddef>

namespace {

// Length of the well-formed UTF-8 sequence at the start of p (at most left
// bytes) and its code point; 0 when the bytes there are not a valid sequence.
size_t DecodeUtf8(const unsigned char* p, size_t left, char32_t& cp) {
  const unsigned char lead = p[0];
  size_t length = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    cp = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1Fu;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0Fu;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07u;
    minimum = 0x10000;
  } else {
    return 0;
  }
  if (left < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0u) != 0x80u) return 0;
    cp = (cp << 6) | (p[i] & 0x3Fu);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

// The characters XML 1.0 allows in a document.
bool IsXmlChar(char32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
         (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

// Bytes that go out as they are: printable ASCII but the five escaped ones.
struct CPlainBytes {
  bool plain[256] = {};
  constexpr CPlainBytes() {
    for (int c = 0x20; c < 0x80; ++c) plain[c] = c != '&' && c != '<' && c != '>' && c != '"' && c != '\'';
  }
};
constexpr CPlainBytes kPlain;

bool HasHighBytes(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  size_t i = 0;
  while (i < text.size()) {
    char32_t cp = 0;
    const size_t n = DecodeUtf8(p + i, text.size() - i, cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

bool IsPlainXmlText(std::string_view text) {
  for (const char c : text) {
    if (!kPlain.plain[static_cast<unsigned char>(c)]) return false;
  }
  return true;
}

void AppendXmlEscaped(std::string& out, std::string_view text, bool crlf) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t size = text.size();
  size_t i = 0;
  while (i < size && kPlain.plain[p[i]]) ++i;
  if (i == size) {  // the usual case: numbers, ids, plain names
    out.append(text);
    return;
  }
  // The whole text is judged at once: a code-page text that happens to hold
  // one valid-looking pair of bytes must not come out half re-encoded.
  const bool latin1 = HasHighBytes(text.substr(i)) && !IsValidUtf8(text);
  size_t run = 0;  // start of the bytes that go out unchanged
  while (i < size) {
    const unsigned char c = p[i];
    if (kPlain.plain[c]) {
      ++i;
      continue;
    }
    out.append(text.data() + run, i - run);
    size_t step = 1;
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      case '\n':
        out += crlf ? "\r\n" : "\n";
        break;
      case '\t':
      case '\r':
        out += static_cast<char>(c);
        break;
      default:
        if (c < 0x20) break;  // forbidden control character: dropped
        if (latin1) {
          out += static_cast<char>(0xC0 | (c >> 6));
          out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
          char32_t cp = 0;
          step = DecodeUtf8(p + i, size - i, cp);
          if (IsXmlChar(cp)) out.append(text.data() + i, step);
        }
        break;
    }
    i += step;
    run = i;
  }
  out.append(text.data() + run, size - run);
}

std::string XmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendXmlEscaped(out, text, false);
  return out;
}
