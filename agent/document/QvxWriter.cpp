#include "document/QvxWriter.h"

#include "document/XmlText.h"

CQvxWriter::CQvxWriter() = default;

CQvxWriter::~CQvxWriter() {
  Close();
}

bool CQvxWriter::Open(const char* path) {
  m_depth = 0;
  return m_out.Open(path);
}

bool CQvxWriter::Close() {
  return m_out.Close();
}

void CQvxWriter::_PutRaw(const char* text) {
  if (text != nullptr) m_out.Append(std::string_view(text));
}

void CQvxWriter::_PutEscaped(const char* text) {
  if (text == nullptr) return;
  const std::string_view view(text);
  if (IsPlainXmlText(view)) {
    m_out.Append(view);
    return;
  }
  m_scratch.clear();
  AppendXmlEscaped(m_scratch, view, true);
  m_out.Append(m_scratch);
}

bool CQvxWriter::Indent() {
  if (!m_out.IsOpen()) return false;
  if (m_depth > 0) m_out.AppendSpaces(static_cast<size_t>(m_depth) * static_cast<size_t>(m_indentWidth));
  return m_out.FlushIfFull();
}

void CQvxWriter::_Attributes(const char* const* pairs, int count) {
  for (int i = 0; i < count; ++i) {
    const char* attr = pairs[2 * i];
    if (attr == nullptr) continue;
    m_out.Append(' ');
    _PutRaw(attr);
    m_out.Append("=\"", 2);
    _PutEscaped(pairs[2 * i + 1]);
    m_out.Append('"');
  }
}

bool CQvxWriter::OpenElement(const char* name, const char* attr1, const char* value1, const char* attr2,
                             const char* value2) {
  if (!Indent()) return false;
  const char* pairs[] = {attr1, value1, attr2, value2};
  m_out.Append('<');
  _PutRaw(name);
  _Attributes(pairs, 2);
  m_out.Append('>');
  _PutLineEnd();
  ++m_depth;
  return m_out.FlushIfFull();
}

bool CQvxWriter::_LeafElement(const char* name, const char* const* pairs, int count, const char* text) {
  if (!Indent()) return false;
  m_out.Append('<');
  _PutRaw(name);
  _Attributes(pairs, count);
  if (text != nullptr && *text != '\0') {
    m_out.Append('>');
    _PutEscaped(text);
    m_out.Append("</", 2);
    _PutRaw(name);
    m_out.Append('>');
  } else {
    m_out.Append("/>", 2);
  }
  _PutLineEnd();
  return m_out.FlushIfFull();
}

bool CQvxWriter::LeafElement(const char* name, const char* attr1, const char* value1, const char* attr2,
                             const char* value2, const char* text) {
  const char* pairs[] = {attr1, value1, attr2, value2};
  return _LeafElement(name, pairs, 2, text);
}

bool CQvxWriter::LeafElement3(const char* name, const char* attr1, const char* value1, const char* attr2,
                              const char* value2, const char* attr3, const char* value3, const char* text) {
  const char* pairs[] = {attr1, value1, attr2, value2, attr3, value3};
  return _LeafElement(name, pairs, 3, text);
}

bool CQvxWriter::TextElement(const char* name, const char* text) {
  return _LeafElement(name, nullptr, 0, text);
}

bool CQvxWriter::TextElementAttr(const char* name, const char* attr, const char* value, const char* text) {
  const char* pairs[] = {attr, value};
  return _LeafElement(name, pairs, 1, text);
}

bool CQvxWriter::CloseElement(const char* name) {
  if (m_depth > 0) --m_depth;
  if (!Indent()) return false;
  m_out.Append("</", 2);
  _PutRaw(name);
  m_out.Append('>');
  _PutLineEnd();
  return m_out.FlushIfFull();
}

bool CQvxWriter::TextLine(const char* prefix, const char* text, const char* suffix) {
  if (!Indent()) return false;
  _PutRaw(prefix);
  _PutEscaped(text);
  _PutRaw(suffix);
  _PutLineEnd();
  return m_out.FlushIfFull();
}

bool CQvxWriter::WriteHeader(const char* line1, const char* line2, const char* line3) {
  if (!m_out.IsOpen()) return true;
  if (!m_out.Rewind()) return false;
  for (const char* line : {line1, line2, line3}) {
    _PutRaw(line);
    _PutLineEnd();
  }
  m_depth = 0;
  return m_out.FlushIfFull();
}

std::string CQvxWriter::Escape(const char* text) {
  return text != nullptr ? XmlEscape(text) : std::string();
}

bool CQvxWriter::CloseQvx() {
  return !m_out.IsOpen() || CloseElement("qvx");
}

bool CQvxWriter::CloseTimeSample() {
  CloseElement("timeSample");
  return true;
}

bool CQvxWriter::CloseEvent() {
  CloseElement("event");
  return true;
}

bool CQvxWriter::CloseActivity() {
  CloseElement("activity");
  return true;
}

bool CQvxWriter::CloseMeter() {
  CloseElement("meter");
  return true;
}

bool CQvxWriter::CloseHistory() {
  CloseElement("gml:history");
  return true;
}

bool CQvxWriter::CloseActivitySegmentSet() {
  CloseElement("activitySegmentSet");
  return true;
}

bool CQvxWriter::CloseActivitySegment() {
  CloseElement("activitySegment");
  return true;
}

bool CQvxWriter::CloseProfile() {
  CloseElement("profile");
  return true;
}

bool CQvxWriter::CloseMeasurementZoneSet() {
  CloseElement("measurementZoneSet");
  return true;
}
