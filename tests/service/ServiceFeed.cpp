#include "service/ServiceFeed.h"

#include <utility>

CServiceFeed::CServiceFeed(std::string title, std::string link, std::string description)
    : m_title(std::move(title)), m_link(std::move(link)), m_description(std::move(description)) {}

void CServiceFeed::AddItem(ServiceFeedItem item) {
  m_items.push_back(std::move(item));
}

std::string CServiceFeed::Escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string CServiceFeed::Render() const {
  auto texts = [](const std::string& title, const std::string& link, const std::string& description) {
    return "<title>" + Escape(title) + "</title>\n<link>" + Escape(link) + "</link>\n<description>" +
           Escape(description) + "</description>\n";
  };
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n<channel>\n";
  xml += texts(m_title, m_link, m_description);
  for (const auto& item : m_items) {
    xml += "<item>\n" + texts(item.title, item.link, item.description) + "</item>\n";
  }
  xml += "</channel>\n</rss>\n";
  return xml;
}
