#include "import/ExpatSupport.h"

#include <algorithm>
#include <vector>

bool XmlNameIs(const char* name, const char* expected) {
  for (; *name != '\0' && *expected != '\0'; ++name, ++expected) {
    const char a = (*name >= 'A' && *name <= 'Z') ? static_cast<char>(*name - 'A' + 'a') : *name;
    if (a != *expected) return false;
  }
  return *name == '\0' && *expected == '\0';
}

XmlByteSource XmlTextSource(std::string_view text) {
  return [text, offset = size_t{0}](char* buffer, size_t size) mutable -> int64_t {
    const size_t n = std::min(size, text.size() - offset);
    text.copy(buffer, n, offset);
    offset += n;
    return static_cast<int64_t>(n);
  };
}

XmlByteSource XmlFileSource(FILE* file) {
  return [file](char* buffer, size_t size) -> int64_t {
    const size_t got = std::fread(buffer, 1, size, file);
    if (got == 0 && std::ferror(file) != 0) return -1;
    return static_cast<int64_t>(got);
  };
}

XmlFeedResult FeedExpatParser(XML_Parser parser, const XmlByteSource& read, size_t chunkSize) {
  XmlFeedResult result;
  std::vector<char> buffer(chunkSize);
  for (;;) {
    int64_t got = read ? read(buffer.data(), buffer.size()) : 0;
    if (got < 0) {
      result.readFailed = true;
      got = 0;
    }
    // A source that claims more than it was given is cut to the buffer.
    if (got > static_cast<int64_t>(buffer.size())) got = static_cast<int64_t>(buffer.size());
    const bool last = got == 0;
    if (XML_Parse(parser, buffer.data(), static_cast<int>(got), last ? XML_TRUE : XML_FALSE) ==
        XML_STATUS_ERROR) {
      result.parseError = true;
      return result;
    }
    if (last) return result;
  }
}
