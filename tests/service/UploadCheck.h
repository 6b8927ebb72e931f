// What the service checks in an upload before it accepts it: the account
// fields of the query and a body that is a complete gzip stream.
#pragma once

#include <map>
#include <string>

class CUploadCheck {
public:
  // Empty when the query names an account and an e-mail address and says
  // whether time conflicts are allowed; otherwise why not.
  static std::string CheckQuery(const std::multimap<std::string, std::string>& query);
  // Empty when body is one or more complete gzip members; otherwise why not.
  static std::string CheckGzip(const std::string& body);
};
