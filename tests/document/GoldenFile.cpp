#include "document/GoldenFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/TestEnv.h"

namespace qvtest {

namespace {

bool UpdateRequested() {
  const char* update = std::getenv("QV_UPDATE_GOLDEN");
  return update != nullptr && std::string(update) == "1";
}

// Line number (from 1) and both texts of the first line that differs.
std::string FirstDifference(const std::string& expected, const std::string& actual) {
  size_t line = 1;
  size_t start = 0;
  for (size_t i = 0; i < expected.size() && i < actual.size(); ++i) {
    if (expected[i] != actual[i]) {
      const size_t endE = expected.find('\n', start);
      const size_t endA = actual.find('\n', start);
      return "line " + std::to_string(line) + "\n  golden: " + expected.substr(start, endE - start) +
             "\n  actual: " + actual.substr(start, endA - start);
    }
    if (expected[i] == '\n') {
      ++line;
      start = i + 1;
    }
  }
  return "one is a prefix of the other (golden " + std::to_string(expected.size()) + " bytes, actual " +
         std::to_string(actual.size()) + " bytes)";
}

}  // namespace

void ExpectGoldenFile(const std::string& name, const std::string& actual) {
  const std::filesystem::path path = DataDir() / "document" / name;
  if (UpdateRequested()) {
    std::filesystem::create_directories(path.parent_path());
    WriteFile(path, actual);
    return;
  }
  ASSERT_TRUE(std::filesystem::exists(path)) << path << " is missing; run the test with QV_UPDATE_GOLDEN=1";
  const std::string expected = ReadFile(path);
  if (expected != actual)
    ADD_FAILURE() << name << " differs from its golden copy at " << FirstDifference(expected, actual);
}

}  // namespace qvtest
