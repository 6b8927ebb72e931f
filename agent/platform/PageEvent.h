// An event that a page's bridge posts to the host: a page load, a click, a
// key press, a page going away, or the answer to an overlay, each with the
// page's generation and instance and a snapshot of its inputs. The body comes
// from outside the agent; anything malformed is refused as a whole.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct SPageEvent {
  enum Type { Load, Click, Key, Hide, Overlay };

  Type type = Load;
  uint64_t generation = 0;
  std::string pageId;
  std::string what;  // the url of a load, the id of a click, the keys of a key press
  std::map<std::string, std::pair<std::string, bool>> inputs;  // id -> value, checked
  // Overlay answers.
  int overlay = -1;
  bool ok = false;
  std::vector<bool> checks;
  bool hasFile = false;  // a file chooser's answer: folder and name
  std::string folder;
  std::string name;
};

// False for a body that is not an event.
bool ParsePageEvent(std::string_view body, SPageEvent& event);
