#include "platform/BrowserHost.h"

#include <nlohmann/json.hpp>

#include "platform/BrowserHostImpl.h"
#include "platform/MarkupScan.h"
#include "platform/Shell.h"

namespace {

using Json = nlohmann::json;

std::string Dump(const Json& json) {
  // Text from outside may not be valid UTF-8; it must not stop the page.
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

}  // namespace

std::string CBrowserHost::RewriteResourceAddresses(const std::string& markup) {
  std::string text = markup;
  for (const char* type : {"IMG", "CSS", "JS"}) {
    ReplaceAll(text, std::string("res:/") + type + "/#", std::string("/res/") + type + "/");
  }
  return text;
}

std::string CBrowserHost::Impl::PageUrl() const {
  return "/page/" + std::to_string(page) + "?g=" + std::to_string(generation);
}

void CBrowserHost::Impl::Push(CPageOpLog::Kind kind, const std::string& target, const std::string& json) {
  {
    std::lock_guard lock(mutex);
    log.Append(kind, target, json);
  }
  changed.notify_all();
}

void CBrowserHost::Impl::TakeInputs(const std::string& markup) {
  for (const SMarkupTag& tag : ScanStartTags(markup)) {
    if (tag.name != "input" && tag.name != "select" && tag.name != "textarea") continue;
    const auto id = tag.attributes.find("id");
    if (id == tag.attributes.end() || id->second.empty()) continue;
    Input input;
    if (const auto value = tag.attributes.find("value"); value != tag.attributes.end())
      input.value = value->second;
    if (const auto type = tag.attributes.find("type"); type != tag.attributes.end())
      input.type = type->second;
    if (const auto name = tag.attributes.find("name"); name != tag.attributes.end())
      input.name = name->second;
    input.checked = tag.attributes.count("checked") != 0;
    snapshot[id->second] = input;
  }
}

void CBrowserHost::Impl::ApplySnapshot(const std::map<std::string, Input>& inputs) {
  for (const auto& [id, input] : inputs) {
    Input& kept = snapshot[id];
    kept.value = input.value;
    kept.checked = input.checked;
  }
}

bool CBrowserHost::LoadPage(unsigned page) {
  const SPageResource resource = m_impl->resources ? m_impl->resources("HTML", page) : SPageResource{};
  if (resource.mimeType.empty()) return false;
  std::string url;
  {
    std::lock_guard lock(m_impl->mutex);
    ++m_impl->generation;
    m_impl->page = page;
    m_impl->generationLoaded = false;
    m_impl->log.Reset();
    url = m_impl->PageUrl();
  }
  m_impl->changed.notify_all();
  // Overlays belong to the page they were opened on.
  m_impl->overlays.clear();
  m_impl->snapshot.clear();
  m_impl->TakeInputs(std::string(resource.data));
  return true;
}

unsigned CBrowserHost::GetPage() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->page;
}

bool CBrowserHost::SetInnerHtml(const std::string& id, const std::string& html) {
  const std::string markup = RewriteResourceAddresses(html);
  m_impl->TakeInputs(markup);
  m_impl->Push(CPageOpLog::Inner, id, Dump({{"op", "inner"}, {"id", id}, {"html", markup}}));
  return true;
}

bool CBrowserHost::SetOuterHtml(const std::string& id, const std::string& html) {
  const std::string markup = RewriteResourceAddresses(html);
  m_impl->TakeInputs(markup);
  m_impl->Push(CPageOpLog::Outer, id, Dump({{"op", "outer"}, {"id", id}, {"html", markup}}));
  return true;
}

bool CBrowserHost::GetValue(const std::string& id, std::string& value) {
  const auto input = m_impl->snapshot.find(id);
  if (input == m_impl->snapshot.end()) return false;
  value = input->second.value;
  return true;
}

bool CBrowserHost::SetValue(const std::string& id, const std::string& value) {
  const auto input = m_impl->snapshot.find(id);
  if (input != m_impl->snapshot.end()) input->second.value = value;
  m_impl->Push(CPageOpLog::Value, id, Dump({{"op", "value"}, {"id", id}, {"value", value}}));
  return input != m_impl->snapshot.end();
}

bool CBrowserHost::GetChecked(const std::string& id, bool& checked) {
  const auto input = m_impl->snapshot.find(id);
  if (input == m_impl->snapshot.end()) return false;
  checked = input->second.checked;
  return true;
}

bool CBrowserHost::SetChecked(const std::string& id, bool checked) {
  const auto input = m_impl->snapshot.find(id);
  if (input != m_impl->snapshot.end()) {
    // The browser clears the other buttons of a radio group; so does the snapshot.
    if (checked && input->second.type == "radio" && !input->second.name.empty()) {
      for (auto& [otherId, other] : m_impl->snapshot) {
        if (other.type == "radio" && other.name == input->second.name) other.checked = false;
      }
    }
    input->second.checked = checked;
  }
  m_impl->Push(CPageOpLog::Checked, id, Dump({{"op", "checked"}, {"id", id}, {"checked", checked}}));
  return input != m_impl->snapshot.end();
}

int CBrowserHost::Impl::OpenOverlay(PendingOverlay pending, const std::string& json) {
  const int n = nextOverlay++;
  if (pending.kind == "file") {
    std::lock_guard lock(mutex);
    fileChooserOpen = true;
  }
  overlays[n] = std::move(pending);
  Json op = Json::parse(json);
  op["op"] = "overlay";
  op["n"] = n;
  Push(CPageOpLog::Overlay, std::to_string(n), Dump(op));
  return n;
}

void CBrowserHost::Impl::AnswerOverlay(int n, bool ok, const std::vector<bool>& checks,
                                       const std::string& path) {
  const auto found = overlays.find(n);
  if (found == overlays.end()) return;  // answered already (another copy of the page)
  PendingOverlay pending = std::move(found->second);
  overlays.erase(found);
  {
    std::lock_guard lock(mutex);
    log.Retire(CPageOpLog::Overlay, std::to_string(n));
    log.Append(CPageOpLog::Overlay, "done" + std::to_string(n), Dump({{"op", "overlayDone"}, {"n", n}}));
    if (pending.kind == "file") fileChooserOpen = false;
  }
  changed.notify_all();
  if (pending.messageDone) pending.messageDone();
  if (pending.checksDone) pending.checksDone(ok, checks);
  if (pending.fileDone) pending.fileDone(ok, path);
}

void CBrowserHost::ShowMessageBox(const std::string& caption, const std::string& text,
                                  std::function<void()> done) {
  Impl::PendingOverlay pending;
  pending.kind = "message";
  pending.messageDone = std::move(done);
  m_impl->OpenOverlay(std::move(pending), Dump({{"kind", "message"}, {"caption", caption}, {"text", text}}));
}

void CBrowserHost::ShowAbout(const std::string& caption, const std::string& text) {
  Impl::PendingOverlay pending;
  pending.kind = "about";
  m_impl->OpenOverlay(std::move(pending), Dump({{"kind", "about"}, {"caption", caption}, {"text", text}}));
}

void CBrowserHost::ShowChecks(const std::string& caption, const std::string& text,
                              const std::vector<SOverlayCheck>& checks, ChecksDone done) {
  Json boxes = Json::array();
  for (const SOverlayCheck& check : checks) {
    boxes.push_back({{"label", check.label}, {"checked", check.checked}, {"hidden", check.hidden}});
  }
  Impl::PendingOverlay pending;
  pending.kind = "checks";
  pending.checksDone = std::move(done);
  m_impl->OpenOverlay(std::move(pending),
                      Dump({{"kind", "checks"}, {"caption", caption}, {"text", text}, {"checks", boxes}}));
}

void CBrowserHost::ShowFileChooser(const std::string& initialName, const std::vector<SFileFilter>& filters,
                                   FileDone done) {
  Json list = Json::array();
  for (const SFileFilter& filter : filters)
    list.push_back({{"label", filter.label}, {"pattern", filter.pattern}});
  std::string folder;
  std::string name = initialName;
  if (const size_t slash = initialName.rfind('/'); slash != std::string::npos) {
    folder = slash == 0 ? "/" : initialName.substr(0, slash);
    name = initialName.substr(slash + 1);
  }
  Impl::PendingOverlay pending;
  pending.kind = "file";
  pending.fileDone = std::move(done);
  m_impl->OpenOverlay(
      std::move(pending),
      Dump({{"kind", "file"}, {"caption", "Open"}, {"folder", folder}, {"name", name}, {"filters", list}}));
}

bool CBrowserHost::OpenBrowser() const {
  return CShell::OpenAppWindow(GetStartUrl());
}

std::string CBrowserHost::GetOrigin() const {
  return "http://127.0.0.1:" + std::to_string(m_impl->port);
}

int CBrowserHost::GetPort() const {
  return m_impl->port;
}

std::string CBrowserHost::GetStartUrl() const {
  return GetOrigin() + "/start?token=" + m_impl->token;
}

void CBrowserHost::SetCloseGrace(std::chrono::milliseconds grace) {
  std::lock_guard lock(m_impl->mutex);
  m_impl->closeGrace = grace;
}

int CBrowserHost::GetOpenPageCount() const {
  std::lock_guard lock(m_impl->mutex);
  return static_cast<int>(m_impl->streams.size());
}
