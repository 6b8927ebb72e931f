// Turning the records' texts into XML character data for the exchange
// document. The document declares UTF-8, but device idents and descriptions
// arrive in whatever 8-bit code page the receiver or the file used, so a text
// that is not already valid UTF-8 is taken as Latin-1 and re-encoded, and
// characters XML 1.0 forbids (control characters other than tab, line feed
// and carriage return; U+FFFE and U+FFFF) are dropped. A document built from
// any bytes is therefore always well-formed.
#pragma once

#include <string>
#include <string_view>

// True when text is well-formed UTF-8: no stray continuation bytes, no
// truncated, overlong or surrogate sequences, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);

// True when text goes into a document as it is: printable ASCII only, none
// of the five characters that need an entity.
bool IsPlainXmlText(std::string_view text);

// Appends text to out with "&", ">", "<", "\"" and "'" replaced by their
// entities, after the repairs described above. With crlf set, a line feed is
// appended as CR LF, as a file written in text mode stores it.
void AppendXmlEscaped(std::string& out, std::string_view text, bool crlf);

// The escaped copy of text, line feeds left as they are.
std::string XmlEscape(std::string_view text);
