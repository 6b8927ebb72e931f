// The pages of the agent's window as the dialog sees them: load a page, write
// into elements by id, read inputs back, and hear about page loads, clicks and
// key presses. Modal overlays (message box, About box, file associations, file
// chooser) answer through a callback, on the same thread as every other event.
//
// Every element operation on an element that the current page does not have
// does nothing and returns false; readers leave their output untouched then.
#pragma once

#include <functional>
#include <string>
#include <vector>

// One page, style sheet, image or script compiled into the program.
struct SPageResource {
  std::string_view mimeType;
  std::string_view data;
};
// The program's resources by type ("HTML", "CSS", "IMG", "JS") and number;
// an empty mimeType when there is no such resource.
using PageResourceLookup = std::function<SPageResource(const std::string& type, unsigned number)>;

// A check box of an overlay; hidden boxes keep their state but are not shown.
struct SOverlayCheck {
  std::string label;
  bool checked = false;
  bool hidden = false;
};

// Label and pattern of one entry of the file chooser's type list ("*.gpx").
struct SFileFilter {
  std::string label;
  std::string pattern;
};

class CHtmlView {
public:
  struct Events {
    // A page finished loading; the url names the page.
    std::function<void(const std::string& url)> documentComplete;
    // An element with an id was clicked (links, buttons).
    std::function<void(const std::string& id)> click;
    // A key with Ctrl or Alt held, as "Ctrl+Shift+D".
    std::function<void(const std::string& keys)> keyPress;
    // The user closed the last page showing the agent.
    std::function<void()> closed;
  };

  virtual ~CHtmlView() = default;

  void SetEvents(Events events) { m_events = std::move(events); }
  const Events& GetEvents() const { return m_events; }

  // Shows page resource `page` ("HTML" type); documentComplete follows.
  virtual bool LoadPage(unsigned page) = 0;
  virtual unsigned GetPage() const = 0;

  virtual bool SetInnerHtml(const std::string& id, const std::string& html) = 0;
  // The element is replaced by html, which carries the same id again.
  virtual bool SetOuterHtml(const std::string& id, const std::string& html) = 0;
  virtual bool GetValue(const std::string& id, std::string& value) = 0;
  virtual bool SetValue(const std::string& id, const std::string& value) = 0;
  virtual bool GetChecked(const std::string& id, bool& checked) = 0;
  virtual bool SetChecked(const std::string& id, bool checked) = 0;

  // Overlays. Each closes itself when the user answers.
  virtual void ShowMessageBox(const std::string& caption, const std::string& text,
                              std::function<void()> done) = 0;
  virtual void ShowAbout(const std::string& caption, const std::string& text) = 0;
  // ok false: cancelled, nothing to apply; else the boxes' states in order.
  using ChecksDone = std::function<void(bool ok, const std::vector<bool>& checked)>;
  virtual void ShowChecks(const std::string& caption, const std::string& text,
                          const std::vector<SOverlayCheck>& checks, ChecksDone done) = 0;
  // ok false: cancelled; else the full path of an existing file.
  using FileDone = std::function<void(bool ok, const std::string& path)>;
  virtual void ShowFileChooser(const std::string& initialName, const std::vector<SFileFilter>& filters,
                               FileDone done) = 0;

protected:
  Events m_events;
};
