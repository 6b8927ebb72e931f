// What the progress pages show while work goes on: the task table of the
// start page, status tables, the messages pane, the progress figure and the
// row of buttons under the tables. Each writes into the current page and does
// nothing when the page lacks the element.
#pragma once

#include <string>

class CHtmlView;
class CMsgFeed;
class CStatusList;

// The start page's tasks: only "Configure Agent" while the account is not
// set up; "Send Queued Activites" first when something is queued (or tracing
// is on).
void BuildTaskTable(CHtmlView& view, bool settingsIncomplete, bool offerUpload,
                    const std::string& activitiesUrl);
// Replaces the element `id` by a table of the list's lines; an empty list
// leaves the page as it is. Line texts are markup (threads put the progress
// span into them).
void DisplayStatusList(CHtmlView& view, const CStatusList& list, const std::string& id);
// "MsgTitle" and "MsgSection" from the feed; titles and descriptions are
// shown as text and only web addresses become links.
void DisplayMessages(CHtmlView& view, const CMsgFeed& feed);
// The "Progress" span of the current status line, as "<b>42%</b>".
void DisplayProgress(CHtmlView& view, unsigned percent);
// "RetryText" gets string-table fragment `fragmentId`, or nothing with 0.
void SetRetryText(CHtmlView& view, unsigned fragmentId);
// The same with two fragments one after the other (View Inbox, Main Menu).
void SetRetryText(CHtmlView& view, unsigned firstFragmentId, unsigned secondFragmentId);
