#include "import/XmlFileReader.h"

#include <cstdio>

#include "resources/StringTable.h"

struct CXmlFileReader::Callbacks {
  static void XMLCALL StartElement(void* userData, const XML_Char* name, const XML_Char** attributes) {
    auto* reader = static_cast<CXmlFileReader*>(userData);
    reader->OnStartElement(name, attributes);
  }
  static void XMLCALL EndElement(void* userData, const XML_Char* name) {
    static_cast<CXmlFileReader*>(userData)->OnEndElement(name);
  }
  static void XMLCALL CharacterData(void* userData, const XML_Char* characters, int length) {
    static_cast<CXmlFileReader*>(userData)->OnCharacterData(characters, length);
  }
  // An activity file never declares entities; one that does could expand
  // without bound, so the parse stops there as for malformed XML.
  static void XMLCALL EntityDeclaration(void* userData, const XML_Char*, int, const XML_Char*, int,
                                        const XML_Char*, const XML_Char*, const XML_Char*, const XML_Char*) {
    auto* reader = static_cast<CXmlFileReader*>(userData);
    reader->m_entityDeclared = true;
    XML_StopParser(reader->m_parser.get(), XML_FALSE);
  }
};

int CXmlFileReader::ParseFile(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) {
    m_data.Clear();
    m_parser.reset();
    m_errorText.clear();
    m_errorId = 0;
    m_errorLine = 0;
    m_failure = EXmlParseFailure::OpenFailed;
    return 0;
  }
  const int result = ParseSource(XmlFileSource(file));
  std::fclose(file);
  return result;
}

int CXmlFileReader::ParseText(std::string_view text) {
  return ParseSource(XmlTextSource(text));
}

int CXmlFileReader::ParseSource(const XmlByteSource& read, size_t chunkSize) {
  m_data.Clear();
  m_errorText.clear();
  m_errorId = 0;
  m_errorLine = 0;
  m_text.clear();
  m_failure = EXmlParseFailure::None;
  m_entityDeclared = false;
  m_xmlErrorLine = 0;
  m_parser.reset(XML_ParserCreate(nullptr));
  if (!m_parser) {
    m_failure = EXmlParseFailure::OpenFailed;
    return 0;
  }
  XML_Parser parser = m_parser.get();
  XML_SetUserData(parser, this);
  XML_SetElementHandler(parser, Callbacks::StartElement, Callbacks::EndElement);
  XML_SetCharacterDataHandler(parser, Callbacks::CharacterData);
  XML_SetEntityDeclHandler(parser, Callbacks::EntityDeclaration);
  SetHandlers();

  const XmlFeedResult fed = FeedExpatParser(parser, read, chunkSize > 0 ? chunkSize : kChunkSize);
  // A file that fails while being read (a folder, an I/O error) is one
  // that could not be read, whatever the parser made of its cut-off end.
  if (fed.readFailed) {
    m_failure = EXmlParseFailure::OpenFailed;
    return 0;
  }
  if (fed.parseError) {
    m_failure = EXmlParseFailure::Malformed;
    m_xmlErrorLine = static_cast<unsigned>(XML_GetCurrentLineNumber(parser));
    return 0;
  }
  return 1;
}

std::string CXmlFileReader::GetXmlErrorText() const {
  if (m_failure != EXmlParseFailure::Malformed) return {};
  if (m_entityDeclared) return "entity declarations are not allowed";
  const XML_LChar* text = m_parser ? XML_ErrorString(XML_GetErrorCode(m_parser.get())) : nullptr;
  return text != nullptr ? text : "";
}

void CXmlFileReader::OnStartElement(const char*, const char**) {}
void CXmlFileReader::OnEndElement(const char*) {}
void CXmlFileReader::OnCharacterData(const char*, int) {}

void CXmlFileReader::SetError(unsigned id) {
  if (id == 0) {
    m_errorText.clear();
    m_errorId = 0;
    m_errorLine = 0;
    return;
  }
  if (!m_errorText.empty() || m_errorId != 0) return;
  m_errorText = LoadString(id);
  m_errorId = id;
  m_errorLine = m_parser ? static_cast<unsigned>(XML_GetCurrentLineNumber(m_parser.get())) : 0;
}

const char* XmlLocalName(const char* name) {
  const char* local = name;
  for (const char* p = name; *p != '\0'; ++p) {
    if (*p == ':') local = p + 1;
  }
  return local;
}

const char* XmlAttribute(const char** attributes, const char* name, bool first) {
  const char* value = nullptr;
  for (const char** a = attributes; a != nullptr && a[0] != nullptr; a += 2) {
    if (!XmlNameIs(a[0], name)) continue;
    value = a[1];
    if (first) break;
  }
  return value;
}
