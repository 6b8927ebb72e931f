#include "app/PageStatus.h"

#include <vector>

#include "app/PageText.h"
#include "platform/HtmlView.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "threads/MsgFeed.h"
#include "threads/StatusList.h"
#include "util/Util.h"

void BuildTaskTable(CHtmlView& view, bool settingsIncomplete, bool offerUpload,
                    const std::string& activitiesUrl) {
  std::string html = LoadString(IDS_HTML_TASK_TABLE);
  if (settingsIncomplete) {
    html += LoadString(IDS_HTML_TASK_SETTINGS_MISSING);
  } else {
    if (offerUpload) html += LoadString(IDS_HTML_TASK_TXSERVER);
    html += LoadString(IDS_HTML_TASK_RXDEVICE);
    html += LoadString(IDS_HTML_TASK_PREFS);
    html += LoadString(IDS_HTML_TASK_IMPORT);
    const std::string url = CUtil::EscapeMarkup(activitiesUrl);
    html += FillFragment(IDS_HTML_TASK_ACTIVITIES, {url, url});
  }
  html += LoadString(IDS_HTML_TASK_TABLE_END);
  view.SetOuterHtml("TaskTable", html);
}

void DisplayStatusList(CHtmlView& view, const CStatusList& list, const std::string& id) {
  const std::vector<CStatusList::Entry> lines = list.GetAll();
  if (lines.empty()) return;
  std::string html = FillFragment(IDS_HTML_STATUS_TABLE, {id});
  for (const CStatusList::Entry& line : lines) {
    html +=
        FillFragment(IDS_HTML_STATUS_ROW, {std::to_string(CStatusList::GetImageId(line.kind)), line.text});
  }
  html += LoadString(IDS_HTML_STATUS_TABLE_END);
  view.SetOuterHtml(id, html);
}

void DisplayMessages(CHtmlView& view, const CMsgFeed& feed) {
  std::string html = LoadString(IDS_HTML_MSG_LIST);
  if (feed.GetItemCount() == 0) {
    view.SetInnerHtml("MsgTitle", "Messages");
    html += LoadString(IDS_HTML_MSG_NONE);
  } else {
    view.SetInnerHtml("MsgTitle", CUtil::EscapeMarkup(feed.GetTitle()));
    for (size_t i = 0; i < feed.GetItemCount(); ++i) {
      const CMsgFeedItem& item = feed.GetItem(i);
      const std::string title = CUtil::EscapeMarkup(item.title);
      const std::string description = CUtil::EscapeMarkup(item.description);
      // A link that is not a web address is shown as an item without link.
      if (!item.link.empty() && IsWebLink(item.link)) {
        html += FillFragment(IDS_HTML_MSG_LINK, {CUtil::EscapeMarkup(item.link), title, description});
      } else {
        html += FillFragment(IDS_HTML_MSG_PLAIN, {title, description});
      }
    }
  }
  html += LoadString(IDS_HTML_MSG_LIST_END);
  view.SetInnerHtml("MsgSection", html);
}

void DisplayProgress(CHtmlView& view, unsigned percent) {
  view.SetInnerHtml("Progress", FillFragment("<b>%u%%</b>", {std::to_string(percent)}));
}

void SetRetryText(CHtmlView& view, unsigned fragmentId) {
  view.SetInnerHtml("RetryText", fragmentId != 0 ? LoadString(fragmentId) : std::string());
}

void SetRetryText(CHtmlView& view, unsigned firstFragmentId, unsigned secondFragmentId) {
  view.SetInnerHtml("RetryText", LoadString(firstFragmentId) + LoadString(secondFragmentId));
}
