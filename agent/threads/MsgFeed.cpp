#include "threads/MsgFeed.h"

#include <expat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "import/ExpatSupport.h"
#include "platform/AtomicFile.h"

namespace {}  // namespace

struct CMsgFeed::Callbacks {
  static void XMLCALL StartElement(void* userData, const XML_Char* name, const XML_Char** /*attributes*/) {
    static_cast<CMsgFeed*>(userData)->_OnStartElement(name);
  }
  static void XMLCALL EndElement(void* userData, const XML_Char* name) {
    static_cast<CMsgFeed*>(userData)->_OnEndElement(name);
  }
  static void XMLCALL CharacterData(void* userData, const XML_Char* data, int length) {
    static_cast<CMsgFeed*>(userData)->_OnCharacterData(data, length);
  }
  // A feed never needs entities of its own; refusing them keeps a hostile
  // document from expanding without bound.
  static void XMLCALL EntityDeclaration(void* userData, const XML_Char*, int, const XML_Char*, int,
                                        const XML_Char*, const XML_Char*, const XML_Char*, const XML_Char*) {
    XML_StopParser(static_cast<CMsgFeed*>(userData)->m_parser, XML_FALSE);
  }
};

void CMsgFeed::Reset() {
  m_items.clear();
  m_title.clear();
  m_link.clear();
  m_description.clear();
}

bool CMsgFeed::Parse(const ReadFunction& read) {
  Reset();
  m_depth = 0;
  m_inRss = m_inChannel = m_inItem = false;
  m_inTitle = m_inLink = m_inDescription = false;
  m_errorCode = XML_ERROR_NONE;
  m_readFailed = false;
  m_errorLine = 0;

  ExpatParserPtr parser(XML_ParserCreate(nullptr));
  if (!parser) {
    m_errorCode = XML_ERROR_NO_MEMORY;
    return false;
  }
  XML_Parser p = parser.get();
  XML_SetUserData(p, this);
  XML_SetElementHandler(p, Callbacks::StartElement, Callbacks::EndElement);
  XML_SetCharacterDataHandler(p, Callbacks::CharacterData);
  XML_SetEntityDeclHandler(p, Callbacks::EntityDeclaration);
  m_parser = p;

  const XmlFeedResult fed = FeedExpatParser(p, read, kChunkSize);
  m_parser = nullptr;
  m_readFailed = fed.readFailed;
  if (fed.parseError) {
    m_errorCode = XML_GetErrorCode(p);
    m_errorLine = XML_GetCurrentLineNumber(p);
    return false;
  }
  return !m_readFailed;
}

bool CMsgFeed::ParseFile(const std::string& path) {
  Reset();
  FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return false;
  const bool ok = Parse(XmlFileSource(file));
  std::fclose(file);
  return ok;
}

bool CMsgFeed::ParseText(std::string_view text) {
  return Parse(XmlTextSource(text));
}

std::string CMsgFeed::GetParseErrorText() const {
  if (m_errorCode == XML_ERROR_NONE) return m_readFailed ? "read error" : "";
  const XML_LChar* text = XML_ErrorString(static_cast<XML_Error>(m_errorCode));
  return text != nullptr ? text : "";
}

void CMsgFeed::_OnStartElement(const char* name) {
  switch (m_depth) {
    case 0:
      if (XmlNameIs(name, "rss")) m_inRss = true;
      break;
    case 1:
      if (m_inRss && XmlNameIs(name, "channel")) m_inChannel = true;
      break;
    case 2:
      if (!m_inChannel) break;
      if (XmlNameIs(name, "item")) {
        m_inItem = true;
        m_items.emplace_back();
      } else if (XmlNameIs(name, "title")) {
        m_inTitle = true;
      } else if (XmlNameIs(name, "link")) {
        m_inLink = true;
      } else if (XmlNameIs(name, "description")) {
        m_inDescription = true;
      }
      break;
    case 3:
      if (!m_inItem) break;
      if (XmlNameIs(name, "title")) {
        m_inTitle = true;
      } else if (XmlNameIs(name, "link")) {
        m_inLink = true;
      } else if (XmlNameIs(name, "description")) {
        m_inDescription = true;
      }
      break;
    default:
      break;
  }
  ++m_depth;
}

void CMsgFeed::_OnEndElement(const char* name) {
  --m_depth;
  switch (m_depth) {
    case 0:
      if (XmlNameIs(name, "rss")) m_inRss = false;
      break;
    case 1:
      if (XmlNameIs(name, "channel")) m_inChannel = false;
      break;
    case 2:
    case 3:
      if (m_depth == 2 && XmlNameIs(name, "item")) {
        m_inItem = false;
      } else if (XmlNameIs(name, "title")) {
        m_inTitle = false;
      } else if (XmlNameIs(name, "link")) {
        m_inLink = false;
      } else if (XmlNameIs(name, "description")) {
        m_inDescription = false;
      }
      break;
    default:
      break;
  }
}

void CMsgFeed::_OnCharacterData(const char* data, int length) {
  if (length <= 0 || !m_inRss || !m_inChannel) return;
  std::string* target = nullptr;
  if (m_depth == 3 && !m_inItem) {
    if (m_inTitle) {
      target = &m_title;
    } else if (m_inLink) {
      target = &m_link;
    } else if (m_inDescription) {
      target = &m_description;
    }
  } else if (m_depth == 4 && m_inItem) {
    if (m_items.empty()) m_items.emplace_back();
    CMsgFeedItem& item = m_items.back();
    if (m_inTitle) {
      target = &item.title;
    } else if (m_inLink) {
      target = &item.link;
    } else if (m_inDescription) {
      target = &item.description;
    }
  }
  if (target != nullptr) target->append(data, static_cast<size_t>(length));
}

std::string CMsgFeed::Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
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
      case '\r':
        // A parser turns a bare carriage return into a line feed.
        out += "&#13;";
        break;
      default:
        out += c;
        break;
    }
  }
  return out;
}

std::string CMsgFeed::WriteText() const {
  std::string out = "<rss>\n<channel>\n";
  auto texts = [&out](const std::string& title, const std::string& link, const std::string& description) {
    out += "<title>" + Escape(title) + "</title>\n";
    out += "<link>" + Escape(link) + "</link>\n";
    out += "<description>" + Escape(description) + "</description>\n";
  };
  texts(m_title, m_link, m_description);
  for (const CMsgFeedItem& item : m_items) {
    out += "<item>\n";
    texts(item.title, item.link, item.description);
    out += "</item>\n";
  }
  out += "</channel>\n</rss>\n";
  return out;
}

bool CMsgFeed::Write(const std::string& path) const {
  // Only once the whole text is on disk does it replace the previous file, so a
  // crash or a full disk leaves that as it was.
  return ReplaceFileContents(path, WriteText());
}
