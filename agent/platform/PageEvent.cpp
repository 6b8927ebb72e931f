#include "platform/PageEvent.h"

#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::json;

std::string Text(const Json& body, const char* key) {
  const auto found = body.find(key);
  return found != body.end() && found->is_string() ? found->get<std::string>() : std::string();
}

bool Flag(const Json& body, const char* key) {
  const auto found = body.find(key);
  return found != body.end() && found->is_boolean() && found->get<bool>();
}

}  // namespace

bool ParsePageEvent(std::string_view body, SPageEvent& event) {
  const Json json = Json::parse(body, nullptr, false);
  if (json.is_discarded() || !json.is_object()) return false;
  static const std::pair<const char*, SPageEvent::Type> kTypes[] = {{"load", SPageEvent::Load},
                                                                    {"click", SPageEvent::Click},
                                                                    {"key", SPageEvent::Key},
                                                                    {"hide", SPageEvent::Hide},
                                                                    {"overlay", SPageEvent::Overlay}};
  const std::string type = Text(json, "type");
  bool known = false;
  for (const auto& [name, value] : kTypes) {
    if (type == name) {
      event.type = value;
      known = true;
    }
  }
  if (!known) return false;
  event.generation = std::strtoull(Text(json, "g").c_str(), nullptr, 10);
  event.pageId = Text(json, "p");
  event.what = Text(json, event.type == SPageEvent::Load  ? "url"
                          : event.type == SPageEvent::Key ? "keys"
                                                          : "id");
  if (const auto inputs = json.find("inputs"); inputs != json.end() && inputs->is_object()) {
    for (const auto& [id, state] : inputs->items()) {
      if (state.is_array() && state.size() == 2 && state[0].is_string() && state[1].is_boolean()) {
        event.inputs[id] = {state[0].get<std::string>(), state[1].get<bool>()};
      }
    }
  }
  if (event.type == SPageEvent::Overlay) {
    const auto n = json.find("n");
    if (n == json.end() || !n->is_number_integer()) return false;
    const int64_t number = n->get<int64_t>();
    if (number < 0 || number > 1'000'000'000) return false;
    event.overlay = static_cast<int>(number);
    event.ok = Flag(json, "ok");
    if (const auto checks = json.find("checks"); checks != json.end() && checks->is_array()) {
      for (const Json& check : *checks) event.checks.push_back(check.is_boolean() && check.get<bool>());
    }
    event.hasFile = json.contains("folder");
    event.folder = Text(json, "folder");
    event.name = Text(json, "name");
  }
  return true;
}
