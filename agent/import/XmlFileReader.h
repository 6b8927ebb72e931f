// The common part of the activity-file readers: parses a file with Expat,
// hands the element events to the format reader, and keeps the first
// validation error with its line. A reader fills its own data set; the
// import job hands that set on when the file was read whole and valid.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "data/GpsDataSet.h"
#include "import/ExpatSupport.h"

// Why a parse did not read the whole file.
enum class EXmlParseFailure {
  None,        // the document was read to its end (it may still hold a validation error)
  OpenFailed,  // the file could not be opened or read
  Malformed,   // the document is not well-formed XML (or declares entities)
};

class CXmlFileReader {
public:
  // Large chunks keep the per-chunk overhead small on files of a hundred
  // megabytes; results and line numbers do not depend on the size.
  static constexpr size_t kChunkSize = 1 << 20;

  CXmlFileReader() = default;
  virtual ~CXmlFileReader() = default;
  CXmlFileReader(const CXmlFileReader&) = delete;
  CXmlFileReader& operator=(const CXmlFileReader&) = delete;

  // Empties the data set and reads the file into it. 1 when the document was
  // parsed to its end (well-formed; GetErrorText() tells whether it was
  // valid), 0 when it could not be read or is not well-formed.
  virtual int ParseFile(const std::string& path);
  // The same for a document held in memory.
  int ParseText(std::string_view text);
  // The same for any byte source, in chunks of chunkSize bytes.
  int ParseSource(const XmlByteSource& read, size_t chunkSize = kChunkSize);

  // The first validation error: its text (empty when none), string-table
  // number and line.
  const std::string& GetErrorText() const { return m_errorText; }
  unsigned GetErrorId() const { return m_errorId; }
  unsigned GetErrorLine() const { return m_errorLine; }

  // Why the last parse returned 0; for a malformed document, the parser's
  // text of the fault and the line where it was found.
  EXmlParseFailure GetFailure() const { return m_failure; }
  std::string GetXmlErrorText() const;
  unsigned GetXmlErrorLine() const { return m_xmlErrorLine; }

  CGpsDataSet& GetData() { return m_data; }
  const CGpsDataSet& GetData() const { return m_data; }

protected:
  // Called before every parse, once the parser exists: a reader resets its
  // read state here.
  virtual void SetHandlers() {}
  virtual void OnStartElement(const char* name, const char** attributes);
  virtual void OnEndElement(const char* name);
  virtual void OnCharacterData(const char* characters, int length);

  // Records the text of string id as the file's error, with the current
  // line, unless an error is already recorded; 0 forgets the error.
  void SetError(unsigned id);

  // The character data written since the last start tag.
  std::string m_text;

private:
  struct Callbacks;
  friend struct Callbacks;

  ExpatParserPtr m_parser;
  std::string m_errorText;
  unsigned m_errorId = 0;
  unsigned m_errorLine = 0;
  EXmlParseFailure m_failure = EXmlParseFailure::None;
  bool m_entityDeclared = false;
  unsigned m_xmlErrorLine = 0;
  CGpsDataSet m_data;
};

// The local part of a name written with a namespace prefix ("gx:Track" gives
// "Track"); the name itself when it has none.
const char* XmlLocalName(const char* name);

// The value of the attribute called name (compared ignoring case; name in
// lower case): the last one of that name, or with first the first one;
// nullptr when there is none.
const char* XmlAttribute(const char** attributes, const char* name, bool first = false);
