// The small RSS-shaped feed the service answers uploads and announcement
// requests with: one channel with a title, link and description, and items
// with the same three texts.
#pragma once

#include <string>
#include <vector>

struct ServiceFeedItem {
  std::string title;
  std::string link;
  std::string description;
};

class CServiceFeed {
public:
  CServiceFeed(std::string title, std::string link, std::string description);

  void AddItem(ServiceFeedItem item);
  // The feed as an XML document with every text escaped.
  std::string Render() const;

  // Escapes the five characters XML gives a meaning to.
  static std::string Escape(const std::string& text);

private:
  std::string m_title;
  std::string m_link;
  std::string m_description;
  std::vector<ServiceFeedItem> m_items;
};
