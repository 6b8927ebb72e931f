#include "platform/HtmlViewMemory.h"

#include "platform/MarkupScan.h"

CHtmlViewMemory::CHtmlViewMemory(PageResourceLookup resources) : m_resources(std::move(resources)) {}

bool CHtmlViewMemory::LoadPage(unsigned page) {
  m_operations.push_back("load " + std::to_string(page));
  const SPageResource resource = m_resources ? m_resources("HTML", page) : SPageResource{};
  if (resource.mimeType.empty()) return false;
  SetPageMarkup(page, std::string(resource.data));
  return true;
}

void CHtmlViewMemory::SetPageMarkup(unsigned page, const std::string& markup) {
  m_page = page;
  m_elements.clear();
  m_children.clear();
  m_overlays.clear();
  _AddElements(markup, "", nullptr);
}

void CHtmlViewMemory::_AddElements(const std::string& markup, const std::string& owner,
                                   std::vector<std::string>* created) {
  for (const SMarkupTag& tag : ScanStartTags(markup)) {
    const auto id = tag.attributes.find("id");
    if (id == tag.attributes.end() || id->second.empty()) continue;
    Element element;
    element.tag = tag.name;
    element.owner = owner;
    if (const auto value = tag.attributes.find("value"); value != tag.attributes.end()) {
      element.value = value->second;
    }
    element.checked = tag.attributes.count("checked") != 0;
    m_elements[id->second] = element;
    if (!owner.empty()) m_children[owner].push_back(id->second);
    if (created != nullptr) created->push_back(id->second);
  }
}

void CHtmlViewMemory::_DropOwnedBy(const std::string& owner) {
  const auto children = m_children.find(owner);
  if (children == m_children.end()) return;
  const std::vector<std::string> ids = std::move(children->second);
  m_children.erase(children);
  for (const std::string& id : ids) {
    const auto element = m_elements.find(id);
    if (element == m_elements.end() || element->second.owner != owner) continue;
    m_elements.erase(element);
    _DropOwnedBy(id);
  }
}

bool CHtmlViewMemory::SetInnerHtml(const std::string& id, const std::string& html) {
  m_operations.push_back("inner " + id);
  const auto element = m_elements.find(id);
  if (element == m_elements.end()) return false;
  element->second.html = html;
  _DropOwnedBy(id);
  _AddElements(html, id, nullptr);
  return true;
}

bool CHtmlViewMemory::SetOuterHtml(const std::string& id, const std::string& html) {
  m_operations.push_back("outer " + id);
  const auto element = m_elements.find(id);
  if (element == m_elements.end()) return false;
  const std::string owner = element->second.owner;
  m_elements.erase(element);
  _DropOwnedBy(id);
  // The replacement's own root keeps the place of the old element; whatever
  // else the markup holds belongs to it.
  std::vector<std::string> created;
  _AddElements(html, id, &created);
  if (const auto root = m_elements.find(id); root != m_elements.end()) {
    root->second.owner = owner;
    root->second.html = html;
    auto& children = m_children[id];
    std::erase(children, id);
  }
  return true;
}

bool CHtmlViewMemory::GetValue(const std::string& id, std::string& value) {
  const auto element = m_elements.find(id);
  if (element == m_elements.end()) return false;
  value = element->second.value;
  return true;
}

bool CHtmlViewMemory::SetValue(const std::string& id, const std::string& value) {
  m_operations.push_back("value " + id + "=" + value);
  const auto element = m_elements.find(id);
  if (element == m_elements.end()) return false;
  element->second.value = value;
  return true;
}

bool CHtmlViewMemory::GetChecked(const std::string& id, bool& checked) {
  const auto element = m_elements.find(id);
  if (element == m_elements.end()) return false;
  checked = element->second.checked;
  return true;
}

bool CHtmlViewMemory::SetChecked(const std::string& id, bool checked) {
  m_operations.push_back("checked " + id + "=" + (checked ? "1" : "0"));
  const auto element = m_elements.find(id);
  if (element == m_elements.end()) return false;
  // A radio button clears the others of its page, as the browser does for
  // one group; the pages have one group per page.
  if (checked && element->second.tag == "input" && id.rfind("Radio", 0) == 0) {
    for (auto& [otherId, other] : m_elements) {
      if (otherId.rfind("Radio", 0) == 0) other.checked = false;
    }
  }
  element->second.checked = checked;
  return true;
}

void CHtmlViewMemory::ShowMessageBox(const std::string& caption, const std::string& text,
                                     std::function<void()> done) {
  Overlay overlay{"message", caption, text, {}, {}, std::move(done), {}, {}};
  m_overlays.push_back(std::move(overlay));
}

void CHtmlViewMemory::ShowAbout(const std::string& caption, const std::string& text) {
  m_overlays.push_back(Overlay{"about", caption, text, {}, {}, {}, {}, {}});
}

void CHtmlViewMemory::ShowChecks(const std::string& caption, const std::string& text,
                                 const std::vector<SOverlayCheck>& checks, ChecksDone done) {
  m_overlays.push_back(Overlay{"checks", caption, text, checks, {}, {}, std::move(done), {}});
}

void CHtmlViewMemory::ShowFileChooser(const std::string& initialName, const std::vector<SFileFilter>& filters,
                                      FileDone done) {
  m_overlays.push_back(Overlay{"file", "", initialName, {}, filters, {}, {}, std::move(done)});
}

void CHtmlViewMemory::FireDocumentComplete() {
  if (m_events.documentComplete) m_events.documentComplete("/page/" + std::to_string(m_page));
}

void CHtmlViewMemory::Click(const std::string& id) {
  if (m_events.click) m_events.click(id);
}

const CHtmlViewMemory::Element* CHtmlViewMemory::Find(const std::string& id) const {
  const auto element = m_elements.find(id);
  return element == m_elements.end() ? nullptr : &element->second;
}

std::vector<std::string> CHtmlViewMemory::ChildIds(const std::string& id) const {
  const auto children = m_children.find(id);
  return children == m_children.end() ? std::vector<std::string>{} : children->second;
}

void CHtmlViewMemory::UserSetChecked(const std::string& id, bool checked) {
  if (const auto element = m_elements.find(id); element != m_elements.end())
    element->second.checked = checked;
}
