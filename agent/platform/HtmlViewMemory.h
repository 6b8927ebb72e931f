// The pages held as an element map in memory, for tests of everything that
// drives the pages. A page load takes the ids, values and check states from
// the page's markup; inner and outer HTML written later add the elements that
// the new markup carries and drop those that the replaced markup carried.
// Events are fired by the test (FireDocumentComplete, Click), and overlays
// wait until the test answers them.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/HtmlView.h"

class CHtmlViewMemory : public CHtmlView {
public:
  struct Element {
    std::string tag;
    std::string html;  // inner HTML as last written (or as the page had it)
    std::string value;
    bool checked = false;
    std::string owner;  // the element whose markup created this one; empty for the page's own
  };
  struct Overlay {
    std::string kind;  // "message", "about", "checks", "file"
    std::string caption;
    std::string text;
    std::vector<SOverlayCheck> checks;
    std::vector<SFileFilter> filters;
    std::function<void()> messageDone;
    ChecksDone checksDone;
    FileDone fileDone;
  };

  explicit CHtmlViewMemory(PageResourceLookup resources = {});

  bool LoadPage(unsigned page) override;
  unsigned GetPage() const override { return m_page; }
  bool SetInnerHtml(const std::string& id, const std::string& html) override;
  bool SetOuterHtml(const std::string& id, const std::string& html) override;
  bool GetValue(const std::string& id, std::string& value) override;
  bool SetValue(const std::string& id, const std::string& value) override;
  bool GetChecked(const std::string& id, bool& checked) override;
  bool SetChecked(const std::string& id, bool checked) override;

  void ShowMessageBox(const std::string& caption, const std::string& text,
                      std::function<void()> done) override;
  void ShowAbout(const std::string& caption, const std::string& text) override;
  void ShowChecks(const std::string& caption, const std::string& text,
                  const std::vector<SOverlayCheck>& checks, ChecksDone done) override;
  void ShowFileChooser(const std::string& initialName, const std::vector<SFileFilter>& filters,
                       FileDone done) override;

  // Test side.
  // Replaces the page by the elements of markup (no resource needed).
  void SetPageMarkup(unsigned page, const std::string& markup);
  void FireDocumentComplete();
  void Click(const std::string& id);
  bool Has(const std::string& id) const { return m_elements.count(id) != 0; }
  const Element* Find(const std::string& id) const;
  // Ids of the elements that the markup written into `id` created, in order.
  std::vector<std::string> ChildIds(const std::string& id) const;
  // The user ticks or types: changes the state without an operation record.
  void UserSetChecked(const std::string& id, bool checked);
  std::deque<Overlay>& Overlays() { return m_overlays; }
  // Element operations in call order, as "inner TaskTable", "checked CheckAll=1", ...
  const std::vector<std::string>& Operations() const { return m_operations; }
  void ClearOperations() { m_operations.clear(); }

private:
  void _AddElements(const std::string& markup, const std::string& owner, std::vector<std::string>* created);
  void _DropOwnedBy(const std::string& owner);

  PageResourceLookup m_resources;
  unsigned m_page = 0;
  std::map<std::string, Element> m_elements;
  std::map<std::string, std::vector<std::string>> m_children;
  std::deque<Overlay> m_overlays;
  std::vector<std::string> m_operations;
};
