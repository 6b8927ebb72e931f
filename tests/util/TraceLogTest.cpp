#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "support/TestEnv.h"
#include "util/TraceLog.h"
#include "util/Util.h"

namespace {

class TraceLogTest : public ::testing::Test {
protected:
  void SetUp() override {
    LogClose();
    CUtil::ResetForTests();
  }
  void TearDown() override {
    LogClose();
    CUtil::ResetForTests();
  }
  std::vector<std::filesystem::path> Files() const {
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.Path())) {
      if (e.is_regular_file()) files.push_back(e.path());
    }
    return files;
  }
  qvtest::CIsolatedHome home;
  qvtest::CTempDir dir;
};

TEST_F(TraceLogTest, NothingIsWrittenWhileTracingIsOff) {
  LogWrite(LOG_FATAL, "nobody listens %d", 1);
  LogCloseAndCompress();
  EXPECT_TRUE(Files().empty());
  EXPECT_FALSE(LogIsEnabled());
}

TEST_F(TraceLogTest, FileAppearsWithTheFirstLineOnly) {
  ASSERT_TRUE(LogEnable(LOG_DEBUG, dir.Str()));
  EXPECT_TRUE(Files().empty()) << "enabling alone creates no file";
  const std::string path = LogPath();
  EXPECT_TRUE(std::regex_match(std::filesystem::path(path).filename().string(),
                               std::regex(R"(Log_\d{8}_\d{6}\.txt)")));
  LogWrite(LOG_INFO, "CUtil::Initialize()");
  ASSERT_TRUE(std::filesystem::exists(path));
  const std::string text = qvtest::ReadFile(path);
  EXPECT_TRUE(std::regex_match(text, std::regex(R"(INFO  \d\d:\d\d:\d\d\.\d{3} CUtil::Initialize\(\)\n)")))
      << text;
}

TEST_F(TraceLogTest, LevelTextsAndThreshold) {
  ASSERT_TRUE(LogEnable(LOG_INFO, dir.Str()));
  LogWrite(LOG_DEBUG, "dropped");
  LogWrite(LOG_INFO, "i");
  LogWrite(LOG_WARN, "w");
  LogWrite(LOG_ERROR, "e");
  LogWrite(LOG_FATAL, "f");
  LogWrite(7, "seven");
  const std::string text = qvtest::ReadFile(LogPath());
  EXPECT_EQ(text.find("dropped"), std::string::npos);
  EXPECT_TRUE(std::regex_search(text, std::regex(R"(^INFO  [0-9:.]+ i$)", std::regex::multiline)));
  EXPECT_TRUE(std::regex_search(text, std::regex(R"(^WARN  [0-9:.]+ w$)", std::regex::multiline)));
  EXPECT_TRUE(std::regex_search(text, std::regex(R"(^ERROR [0-9:.]+ e$)", std::regex::multiline)));
  EXPECT_TRUE(std::regex_search(text, std::regex(R"(^FATAL [0-9:.]+ f$)", std::regex::multiline)));
  EXPECT_TRUE(std::regex_search(text, std::regex(R"(^FATAL [0-9:.]+ seven$)", std::regex::multiline)));
}

TEST_F(TraceLogTest, EnablingTwiceKeepsTheFirstFile) {
  ASSERT_TRUE(LogEnable(LOG_DEBUG, dir.Str()));
  const std::string first = LogPath();
  LogWrite(LOG_INFO, "one");
  EXPECT_TRUE(LogEnable(LOG_ERROR, dir.Str() + "/elsewhere"));
  EXPECT_EQ(LogPath(), first);
  LogWrite(LOG_INFO, "two");  // the threshold of the first enable still holds
  EXPECT_NE(qvtest::ReadFile(first).find("two"), std::string::npos);
}

TEST_F(TraceLogTest, HeaderLines) {
  CUtil::SetAccountName("runner");
  CUtil::SetEmail("r@example.org");
  CUtil::Initialize();
  ASSERT_TRUE(LogEnable(LOG_DEBUG, dir.Str()));
  LogWriteHeader();
  const std::string text = qvtest::ReadFile(LogPath());
  EXPECT_TRUE(std::regex_search(
      text, std::regex(R"(^INFO  [0-9:.]+ [A-Z][a-z]+day, [A-Z][a-z]+ \d\d, \d{4} \d\d:\d\d:\d\d$)",
                       std::regex::multiline)))
      << text;
  EXPECT_NE(text.find(" Agent: 2.3.0.0\n"), std::string::npos);
  EXPECT_NE(text.find(" PlatformId=2 MajorVersion="), std::string::npos);
  EXPECT_NE(text.find(" OS: Linux "), std::string::npos);
  EXPECT_NE(text.find(" User : runner\n"), std::string::npos);
  EXPECT_NE(text.find(" Email: r@example.org\n"), std::string::npos);
}

TEST_F(TraceLogTest, CloseAndCompressLeavesOnlyTheGzipAndANewEnableStartsANewFile) {
  ASSERT_TRUE(LogEnable(LOG_DEBUG, dir.Str()));
  const std::string first = LogPath();
  LogWrite(LOG_INFO, "Closing log file for synchronization");
  LogCloseAndCompress();
  EXPECT_FALSE(LogIsEnabled());
  EXPECT_FALSE(std::filesystem::exists(first));
  ASSERT_TRUE(std::filesystem::exists(first + ".gz"));
  EXPECT_EQ(std::system(("gzip -t '" + first + ".gz'").c_str()), 0);

  LogWrite(LOG_INFO, "lost: tracing is off again");
  // A second trace in the same second would get the same name; make it distinct.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  ASSERT_TRUE(LogEnable(LOG_DEBUG, dir.Str()));
  EXPECT_NE(LogPath(), first);
}

TEST_F(TraceLogTest, ATraceThatCannotBeCompressedWholeLeavesNothingInTheQueue) {
  ASSERT_TRUE(LogEnable(LOG_DEBUG, dir.Str()));
  for (unsigned i = 0; i < 20000; ++i) LogWrite(LOG_INFO, "line %u %u", i, i * 2654435761u);
  // The disk fills up while the trace is compressed.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit full = saved;
  full.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
  LogCloseAndCompress();
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
  for (const auto& file : Files()) EXPECT_NE(file.extension(), ".gz") << file;
}

TEST_F(TraceLogTest, ATraceThatCannotBeCreatedLosesLinesButStaysOn) {
  ASSERT_TRUE(LogEnable(LOG_DEBUG, dir.Str() + "/missing-folder"));
  LogWrite(LOG_INFO, "lost");
  EXPECT_TRUE(LogIsEnabled());
  std::filesystem::create_directories(dir.Path() / "missing-folder");
  LogWrite(LOG_INFO, "kept");
  EXPECT_EQ(qvtest::ReadFile(LogPath()).find("lost"), std::string::npos);
  EXPECT_NE(qvtest::ReadFile(LogPath()).find("kept"), std::string::npos);
}

TEST_F(TraceLogTest, LinesFromManyThreadsNeverInterleave) {
  ASSERT_TRUE(LogEnable(LOG_DEBUG, dir.Str()));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 500; ++i)
        LogWrite(LOG_INFO, "thread %d line %d %s", t, i, std::string(200, 'x').c_str());
    });
  }
  for (auto& th : threads) th.join();
  const std::string text = qvtest::ReadFile(LogPath());
  std::istringstream lines(text);
  std::string line;
  int count = 0;
  const std::regex shape(R"(INFO  [0-9:.]+ thread \d line \d+ x{200})");
  while (std::getline(lines, line)) {
    ++count;
    ASSERT_TRUE(std::regex_match(line, shape)) << line;
  }
  EXPECT_EQ(count, 2000);
}

TEST_F(TraceLogTest, LongLinesAreNotCut) {
  ASSERT_TRUE(LogEnable(LOG_DEBUG, dir.Str()));
  const std::string big(5000, 'z');
  LogWrite(LOG_INFO, "%s", big.c_str());
  EXPECT_NE(qvtest::ReadFile(LogPath()).find(big + "\n"), std::string::npos);
}

}  // namespace
