// Small pieces that every reader over Expat shares.
#pragma once

#include <expat.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string_view>

// True when an element name equals expected (given in lower case), ignoring
// the case of ASCII letters: the files come from many writers.
bool XmlNameIs(const char* name, const char* expected);

struct CExpatParserFree {
  void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

// A parser freed on every return path.
using ExpatParserPtr = std::unique_ptr<XML_ParserStruct, CExpatParserFree>;

// Fills buffer with at most size bytes: the count, 0 at the end of the input,
// a negative value when the input failed.
using XmlByteSource = std::function<int64_t(char* buffer, size_t size)>;

// The bytes of text (which must outlive the source), and of an open file.
XmlByteSource XmlTextSource(std::string_view text);
XmlByteSource XmlFileSource(FILE* file);

struct XmlFeedResult {
  bool parseError = false;  // Expat refused the document (its error is in the parser)
  bool readFailed = false;  // the input failed; what came before was parsed to the end
};

// Hands the input to parser in chunks of at most chunkSize bytes until its
// end or the first parse error. A failed input counts as the end.
XmlFeedResult FeedExpatParser(XML_Parser parser, const XmlByteSource& read, size_t chunkSize);
