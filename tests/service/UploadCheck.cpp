#include "service/UploadCheck.h"

#include <zlib.h>

#include <vector>

namespace {

std::string Single(const std::multimap<std::string, std::string>& query, const std::string& name,
                   std::string& problem) {
  const auto count = query.count(name);
  if (count == 0) {
    problem = "missing " + name;
    return {};
  }
  if (count > 1) {
    problem = "repeated " + name;
    return {};
  }
  return query.find(name)->second;
}

}  // namespace

std::string CUploadCheck::CheckQuery(const std::multimap<std::string, std::string>& query) {
  std::string problem;
  const std::string user = Single(query, "username.value", problem);
  if (!problem.empty()) return problem;
  if (user.empty()) return "empty username.value";
  const std::string email = Single(query, "emailAddress.value", problem);
  if (!problem.empty()) return problem;
  if (email.empty()) return "empty emailAddress.value";
  const std::string conflicts = Single(query, "timeConflictsAllowed", problem);
  if (!problem.empty()) return problem;
  if (conflicts != "true" && conflicts != "false") return "timeConflictsAllowed is neither true nor false";
  return {};
}

std::string CUploadCheck::CheckGzip(const std::string& body) {
  if (body.size() < 18 || static_cast<unsigned char>(body[0]) != 0x1f ||
      static_cast<unsigned char>(body[1]) != 0x8b) {
    return "not a gzip stream";
  }
  z_stream stream{};
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) return "inflate unavailable";
  std::vector<unsigned char> out(64 * 1024);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data()));
  stream.avail_in = static_cast<uInt>(body.size());
  std::string problem;
  for (;;) {
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&stream, Z_NO_FLUSH);
    if (rc == Z_STREAM_END) {
      if (stream.avail_in == 0) break;
      // Another member follows (gzip files may be concatenated).
      inflateReset(&stream);
      continue;
    }
    if (rc == Z_OK) continue;
    if (rc == Z_BUF_ERROR && stream.avail_in == 0) {
      problem = "gzip stream cut short";
    } else {
      problem = std::string("corrupt gzip stream: ") + (stream.msg != nullptr ? stream.msg : "error");
    }
    break;
  }
  inflateEnd(&stream);
  return problem;
}
