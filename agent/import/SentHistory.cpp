#include "import/SentHistory.h"

#include <expat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "import/ExpatSupport.h"
#include "platform/AtomicFile.h"
#include "util/Util.h"

namespace {

// Length of the well-formed UTF-8 sequence of a character XML allows at the
// start of text, or 0 when the bytes there are not one.
size_t Utf8SequenceLength(std::string_view text, size_t at) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[at + k]); };
  const unsigned char lead = byte(0);
  size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (size_t k = 2; k < length; ++k) {
    if (byte(k) < 0x80 || byte(k) > 0xBF) return 0;
  }
  // U+FFFE and U+FFFF are not characters in XML.
  if (lead == 0xEF && byte(1) == 0xBF && byte(2) >= 0xBE) return 0;
  return length;
}

// The one form in which a text is stored, written and looked up, so that it
// reads back from the file as the same bytes: a text that is not wholly
// UTF-8 is taken as Latin-1 (as the exchange document takes it), and control
// characters XML cannot carry become U+FFFD.
std::string NormalText(std::string_view text) {
  bool utf8 = true;
  for (size_t i = 0; i < text.size() && utf8;) {
    const size_t length = static_cast<unsigned char>(text[i]) < 0x80 ? 1 : Utf8SequenceLength(text, i);
    utf8 = length > 0;
    i += length;
  }
  std::string out;
  out.reserve(text.size() + 8);
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
      out += "\xEF\xBF\xBD";
    } else if (c >= 0x80 && !utf8) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

struct CSentHistory::Callbacks {
  static void XMLCALL StartElement(void* userData, const XML_Char* name, const XML_Char** attributes) {
    static_cast<CSentHistory*>(userData)->_OnStartElement(name, attributes);
  }
  static void XMLCALL EndElement(void* userData, const XML_Char* name) {
    static_cast<CSentHistory*>(userData)->_OnEndElement(name);
  }
  // The history never declares entities; refusing them keeps a hostile file
  // from expanding without bound.
  static void XMLCALL EntityDeclaration(void* userData, const XML_Char*, int, const XML_Char*, int,
                                        const XML_Char*, const XML_Char*, const XML_Char*, const XML_Char*) {
    XML_StopParser(static_cast<CSentHistory*>(userData)->m_parser, XML_FALSE);
  }
};

void CSentHistory::Reset() {
  m_entries.clear();
}

const CSentHistoryEntry* CSentHistory::Find(const std::string& device, const std::string& begin) const {
  if (device.empty() || begin.empty()) return nullptr;
  const std::string normalDevice = NormalText(device);
  const std::string normalBegin = NormalText(begin);
  for (const CSentHistoryEntry& entry : m_entries) {
    if (entry.device == normalDevice && entry.begin == normalBegin) return &entry;
  }
  return nullptr;
}

void CSentHistory::Add(const std::string& device, const std::string& begin) {
  m_entries.push_back(CSentHistoryEntry{NormalText(device), NormalText(begin)});
  while (m_entries.size() > static_cast<size_t>(m_maxEntries)) m_entries.pop_front();
}

bool CSentHistory::Load(const ReadFunction& read) {
  Reset();
  m_depth = 0;
  m_inHistory = false;
  m_inActivity = false;

  ExpatParserPtr parser(XML_ParserCreate(nullptr));
  if (!parser) return false;
  XML_Parser p = parser.get();
  XML_SetUserData(p, this);
  XML_SetElementHandler(p, Callbacks::StartElement, Callbacks::EndElement);
  XML_SetEntityDeclHandler(p, Callbacks::EntityDeclaration);
  m_parser = p;

  const XmlFeedResult fed = FeedExpatParser(p, read, kChunkSize);
  m_parser = nullptr;
  return !fed.parseError && !fed.readFailed;
}

bool CSentHistory::LoadText(std::string_view text) {
  return Load(XmlTextSource(text));
}

bool CSentHistory::LoadFile(const std::string& path) {
  Reset();
  FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return false;
  const bool ok = Load(XmlFileSource(file));
  std::fclose(file);
  return ok;
}

void CSentHistory::_OnStartElement(const char* name, const char** attributes) {
  if (m_depth == 0) {
    if (XmlNameIs(name, "history")) m_inHistory = true;
  } else if (m_depth == 1 && m_inHistory && XmlNameIs(name, "activity")) {
    m_inActivity = true;
    const char* device = "";
    const char* begin = "";
    for (const char** a = attributes; a != nullptr && a[0] != nullptr; a += 2) {
      if (XmlNameIs(a[0], "device")) {
        device = a[1];
      } else if (XmlNameIs(a[0], "begin")) {
        begin = a[1];
      }
    }
    if (*device != '\0' && *begin != '\0') Add(device, begin);
  }
  ++m_depth;
}

void CSentHistory::_OnEndElement(const char* name) {
  if (m_depth == 1 && XmlNameIs(name, "history")) {
    m_inHistory = false;
  } else if (m_depth == 2 && XmlNameIs(name, "activity")) {
    m_inActivity = false;
  }
  --m_depth;
}

std::string CSentHistory::EscapeAttribute(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  char reference[16];
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const size_t length = Utf8SequenceLength(text, i);
      if (length > 0) {
        out.append(text.substr(i, length));
        i += length;
      } else {
        // Read as the Latin-1 character of that byte: the file stays
        // readable, the entry just no longer matches its old bytes.
        std::snprintf(reference, sizeof(reference), "&#x%02X;", c);
        out += reference;
        ++i;
      }
      continue;
    }
    switch (c) {
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
      // A parser turns white space in attribute values into blanks unless
      // it is written as a reference.
      case '\t':
        out += "&#9;";
        break;
      case '\n':
        out += "&#10;";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        if (c < 0x20) {
          out += "&#xFFFD;";  // XML has no way to carry the other control characters
        } else {
          out += static_cast<char>(c);
        }
        break;
    }
    ++i;
  }
  return out;
}

std::string CSentHistory::WriteText() const {
  std::string out = "<history>\n";
  for (const CSentHistoryEntry& entry : m_entries) {
    out += "  <activity device=\"" + EscapeAttribute(entry.device) + "\" begin=\"" +
           EscapeAttribute(entry.begin) + "\"/>\n";
  }
  out += "</history>\n";
  return out;
}

bool CSentHistory::Write(const std::string& path) const {
  // Only once the whole text is on disk does it replace the previous file, so a
  // crash or a full disk leaves that as it was.
  return ReplaceFileContents(path, WriteText());
}

void CSentHistory::LoadHistory(const std::string& path) {
  const std::string file = path.empty() ? CUtil::GetHistoryFile() : path;
  if (file.empty()) {
    Reset();
    return;
  }
  LoadFile(file);
}

void CSentHistory::SaveHistory(const std::string& path) const {
  const std::string file = path.empty() ? CUtil::GetHistoryFile() : path;
  if (!file.empty()) Write(file);
}
