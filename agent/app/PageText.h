// Helpers shared by the page builders: filling string-table fragments and
// making outside text safe to put into markup.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// Replaces each "%s", "%d" and "%u" of pattern by the next argument, in order,
// and "%%" by "%". The arguments are inserted as they are; callers escape
// text that came from outside first.
std::string FillFragment(std::string_view pattern, std::initializer_list<std::string_view> args);
std::string FillFragment(unsigned stringId, std::initializer_list<std::string_view> args);

// True for an address that may become a link on a page: http or https only,
// so that a feed cannot plant a script address.
bool IsWebLink(std::string_view address);
