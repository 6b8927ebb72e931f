// One parsed messages feed: the service's announcements and its reply to an
// upload share this small RSS-shaped form. The announcements are also cached
// on disk in the same form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "import/ExpatSupport.h"

struct XML_ParserStruct;

struct CMsgFeedItem {
  std::string title;
  std::string link;
  std::string description;
};

class CMsgFeed {
public:
  // Fills buffer with at most size bytes: the count, 0 at the end of the
  // input, a negative value when the input failed.
  using ReadFunction = XmlByteSource;
  static constexpr size_t kChunkSize = 128;

  void Reset();

  // Starts from an empty feed and reads the input to its end. False when the
  // document is not well-formed or the input failed; what was read before
  // stays in the feed.
  bool Parse(const ReadFunction& read);
  // False, with an empty feed, when the file cannot be opened.
  bool ParseFile(const std::string& path);
  bool ParseText(std::string_view text);

  // The cache form, written to a temporary file that then replaces path.
  bool Write(const std::string& path) const;
  std::string WriteText() const;

  // The parser's text for why the last Parse failed; empty after a success.
  std::string GetParseErrorText() const;
  unsigned long GetParseErrorLine() const { return m_errorLine; }

  const std::string& GetTitle() const { return m_title; }
  const std::string& GetLink() const { return m_link; }
  const std::string& GetDescription() const { return m_description; }
  size_t GetItemCount() const { return m_items.size(); }
  const CMsgFeedItem& GetItem(size_t index) const { return m_items.at(index); }

  // "&", ">", "<", the double quote and "'" as entity references.
  static std::string Escape(std::string_view text);

private:
  struct Callbacks;  // Expat's handlers, forwarded to the feed being parsed
  friend struct Callbacks;
  void _OnStartElement(const char* name);
  void _OnEndElement(const char* name);
  void _OnCharacterData(const char* data, int length);

  std::string m_title;
  std::string m_link;
  std::string m_description;
  std::vector<CMsgFeedItem> m_items;

  // Read state of the current Parse.
  int m_depth = 0;
  bool m_inRss = false;
  bool m_inChannel = false;
  bool m_inItem = false;
  bool m_inTitle = false;
  bool m_inLink = false;
  bool m_inDescription = false;

  XML_ParserStruct* m_parser = nullptr;  // only during Parse
  int m_errorCode = 0;                   // Expat's error code of the last Parse
  bool m_readFailed = false;
  unsigned long m_errorLine = 0;
};
