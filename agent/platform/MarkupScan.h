// A small scanner over HTML start tags: enough to learn which elements with
// an id a piece of markup creates and the value and check state of inputs.
// It is not a parser: comments, scripts and character data are skipped.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

struct SMarkupTag {
  std::string name;                               // lower case
  std::map<std::string, std::string> attributes;  // names in lower case, values with entities decoded
};

std::vector<SMarkupTag> ScanStartTags(std::string_view markup);
// &amp; &lt; &gt; &quot; &#39; &apos; and numeric references below 128.
std::string DecodeEntities(std::string_view text);
