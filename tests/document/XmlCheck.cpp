#include "document/XmlCheck.h"

#include <expat.h>

namespace qvtest {

namespace {

void OnStart(void* data, const XML_Char* name, const XML_Char** attrs) {
  auto* parsed = static_cast<CParsedXml*>(data);
  std::string line = name;
  for (int i = 0; attrs[i] != nullptr; i += 2) {
    line += ' ';
    line += attrs[i];
    line += '=';
    line += attrs[i + 1];
  }
  parsed->elements.push_back(line);
}

void OnEnd(void*, const XML_Char*) {}

void OnText(void* data, const XML_Char* text, int length) {
  static_cast<CParsedXml*>(data)->text.append(text, static_cast<size_t>(length));
}

}  // namespace

CParsedXml ParseXml(const std::string& document) {
  CParsedXml parsed;
  XML_Parser parser = XML_ParserCreate(nullptr);
  XML_SetUserData(parser, &parsed);
  XML_SetElementHandler(parser, OnStart, OnEnd);
  XML_SetCharacterDataHandler(parser, OnText);
  if (XML_Parse(parser, document.data(), static_cast<int>(document.size()), 1) == XML_STATUS_OK) {
    parsed.wellFormed = true;
  } else {
    parsed.error = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " at line " +
                   std::to_string(XML_GetCurrentLineNumber(parser));
  }
  XML_ParserFree(parser);
  return parsed;
}

}  // namespace qvtest
