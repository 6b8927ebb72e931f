// A small streaming XML writer: one element per line, two spaces of
// indentation per level, CR LF line ends. It knows nothing of the exchange
// vocabulary; the document writer drives it element by element and it only
// tracks the nesting depth.
//
// Output goes to the file in large blocks, so a write failure shows up in
// the operation that fills a block (or in Close), not necessarily in the one
// whose bytes were lost. For that reason a failure is also remembered: Close
// reports it even when the operation that met it ignored its result.
#pragma once

#include <string>

#include "document/QvxFileBuffer.h"

class CQvxWriter {
public:
  CQvxWriter();
  ~CQvxWriter();
  CQvxWriter(const CQvxWriter&) = delete;
  CQvxWriter& operator=(const CQvxWriter&) = delete;

  // Closes a file still open, then creates or truncates path; depth 0.
  bool Open(const char* path);
  // Writes what is buffered and closes the file. False when that final
  // write or the close failed, or when any write since Open failed.
  bool Close();
  bool IsOpen() const { return m_out.IsOpen(); }
  int Depth() const { return m_depth; }
  // True once a write since Open failed.
  bool HasFailed() const { return m_out.HasFailed(); }
  // The errno of the first failed write or of a failed Open; 0 when none.
  int LastErrno() const { return m_out.LastErrno(); }

  bool Indent();
  // "<name a1="v1" a2="v2">" on its own line, then one level deeper. An
  // attribute whose name is null is left out; a null value is empty.
  bool OpenElement(const char* name, const char* attr1 = nullptr, const char* value1 = nullptr,
                   const char* attr2 = nullptr, const char* value2 = nullptr);
  // One line: "<name .../>" for an empty text, else "<name ...>text</name>".
  bool LeafElement(const char* name, const char* attr1, const char* value1, const char* attr2,
                   const char* value2, const char* text);
  bool LeafElement3(const char* name, const char* attr1, const char* value1, const char* attr2,
                    const char* value2, const char* attr3, const char* value3, const char* text);
  bool TextElement(const char* name, const char* text);
  bool TextElementAttr(const char* name, const char* attr, const char* value, const char* text);
  // One level up, then "</name>" on its own line.
  bool CloseElement(const char* name);
  // One line of the form indentation, prefix, escaped text, suffix: for the
  // nested one-line forms that carry no attributes.
  bool TextLine(const char* prefix, const char* text, const char* suffix);
  // Rewinds the file and writes the document's three opening lines at depth 0.
  bool WriteHeader(const char* line1, const char* line2, const char* line3);

  static std::string Escape(const char* text);

  // End tags of the elements the document closes in many places. All but the
  // root's ignore a failed write (it surfaces in Close); the root's returns
  // true without writing when no file is open.
  bool CloseQvx();
  bool CloseTimeSample();
  bool CloseEvent();
  bool CloseActivity();
  bool CloseMeter();
  bool CloseHistory();
  bool CloseActivitySegmentSet();
  bool CloseActivitySegment();
  bool CloseProfile();
  bool CloseMeasurementZoneSet();

private:
  void _Attributes(const char* const* pairs, int count);
  bool _LeafElement(const char* name, const char* const* pairs, int count, const char* text);
  // Names and other fixed text of the document: nothing to escape in them.
  void _PutRaw(const char* text);
  void _PutEscaped(const char* text);
  void _PutLineEnd() { m_out.Append("\r\n", 2); }

  CQvxFileBuffer m_out;
  int m_depth = 0;
  int m_indentWidth = 2;
  std::string m_scratch;  // escaped text on its way to the file
};
