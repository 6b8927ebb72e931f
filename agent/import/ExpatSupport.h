// Small pieces that every reader over Expat shares.
#pragma once

#include <expat.h>

#include <memory>

// True when an element name equals expected (given in lower case), ignoring
// the case of ASCII letters: the files come from many writers.
bool XmlNameIs(const char* name, const char* expected);

struct CExpatParserFree {
  void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

// A parser freed on every return path.
using ExpatParserPtr = std::unique_ptr<XML_ParserStruct, CExpatParserFree>;
