// Where the dialog's pages reach the user, as the application object sees
// it: the program gives the browser host, tests an element map.
#pragma once

class CHtmlView;
class CMessageWindow;

class CAgentWindow {
public:
  virtual ~CAgentWindow() = default;

  // After Create.
  virtual CHtmlView& GetView() = 0;
  // Makes the pages reachable, their events handled on ui's thread; false
  // when the window cannot exist at all.
  virtual bool Create(CMessageWindow& ui) = 0;
  // Brings the current page to the user (opens it when no page is open).
  virtual void Show() = 0;
  // The user no longer sees the agent; pages already open stay where they are.
  virtual void Hide() = 0;
  // Tells open pages that the agent ends and stops serving them.
  virtual void Destroy() = 0;
};
