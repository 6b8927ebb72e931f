#include <gtest/gtest.h>

#include <cerrno>
#include <regex>

#include "platform/Win32Errors.h"
#include "support/TestEnv.h"

namespace {

TEST(Win32Errors, ErrnoMapsToTheWin32NumberOfTheSameMeaning) {
  struct Case {
    const char* legend;
    int err;
    uint32_t code;
  } cases[] = {
      {"no error", 0, ERROR_SUCCESS},
      {"ENOENT", ENOENT, ERROR_FILE_NOT_FOUND},
      {"ENOTDIR", ENOTDIR, ERROR_PATH_NOT_FOUND},
      {"EMFILE", EMFILE, ERROR_TOO_MANY_OPEN_FILES},
      {"ENFILE", ENFILE, ERROR_TOO_MANY_OPEN_FILES},
      {"EACCES", EACCES, ERROR_ACCESS_DENIED},
      {"EPERM", EPERM, ERROR_ACCESS_DENIED},
      {"EBADF", EBADF, ERROR_INVALID_HANDLE},
      {"ENOMEM", ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
      {"EEXIST", EEXIST, ERROR_FILE_EXISTS},
      {"EINVAL", EINVAL, ERROR_INVALID_PARAMETER},
      {"EPIPE", EPIPE, ERROR_BROKEN_PIPE},
      {"ENOSPC", ENOSPC, ERROR_DISK_FULL},
      {"ENAMETOOLONG", ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
      {"EBUSY", EBUSY, ERROR_BUSY},
      {"ETIMEDOUT", ETIMEDOUT, ERROR_TIMEOUT},
      {"EAGAIN", EAGAIN, ERROR_RETRY},
      {"EWOULDBLOCK", EWOULDBLOCK, ERROR_RETRY},
      {"EIO", EIO, ERROR_IO_DEVICE},
      {"ENODEV", ENODEV, ERROR_DEVICE_NOT_CONNECTED},
      {"ENXIO", ENXIO, ERROR_DEVICE_NOT_CONNECTED},
      {"EROFS", EROFS, ERROR_WRITE_PROTECT},
      {"ENOTEMPTY", ENOTEMPTY, ERROR_DIR_NOT_EMPTY},
      {"EXDEV", EXDEV, ERROR_NOT_SAME_DEVICE},
      {"ENOTTY", ENOTTY, ERROR_INVALID_FUNCTION},
      {"EINTR", EINTR, ERROR_OPERATION_ABORTED},
      {"ECANCELED", ECANCELED, ERROR_OPERATION_ABORTED},
      {"ECONNREFUSED", ECONNREFUSED, ERROR_CONNECTION_REFUSED},
      {"ENOTSUP", ENOTSUP, ERROR_NOT_SUPPORTED},
      {"unknown errno", 99999, ERROR_GEN_FAILURE},
      {"negative errno", -1, ERROR_GEN_FAILURE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    EXPECT_EQ(Win32FromErrno(c.err), c.code);
  }
}

TEST(Win32Errors, TakesTheThreadsCurrentErrno) {
  errno = ENOENT;
  EXPECT_EQ(GetLastWin32Error(), ERROR_FILE_NOT_FOUND);
  errno = EACCES;
  EXPECT_EQ(GetLastWin32Error(), ERROR_ACCESS_DENIED);
}

TEST(Win32Errors, GivesTheSystemsTexts) {
  struct Case {
    uint32_t code;
    const char* text;
  } cases[] = {
      {2, "The system cannot find the file specified."},
      {3, "The system cannot find the path specified."},
      {5, "Access is denied."},
      {6, "The handle is invalid."},
      {87, "The parameter is incorrect."},
      {112, "There is not enough space on the disk."},
      {170, "The requested resource is in use."},
      {1167, "The device is not connected."},
      {1460, "This operation returned because the timeout period expired."},
      {12002, "The operation timed out"},
      {12007, "The server name or address could not be resolved"},
      {12029, "A connection with the server could not be established"},
      {12030, "The connection with the server was terminated abnormally"},
      {12031, "The connection with the server was reset"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(Win32MessageText(c.code), c.text);
  }
  EXPECT_EQ(Win32MessageText(4242), "") << "a number without a text";
  EXPECT_EQ(Win32MessageText(12999), "");
}

// Every number the header declares, now or later, must come with its text,
// and the texts follow the system's style: sentences for system errors, no
// closing full stop for the internet library's.
TEST(Win32Errors, EveryDeclaredNumberHasAText) {
  const std::string header =
      qvtest::ReadFile(qvtest::DataDir() / ".." / ".." / "agent/platform/Win32Errors.h");
  ASSERT_FALSE(header.empty());
  const std::regex entry(R"(\b(ERROR_\w+) = (\d+),)");
  int count = 0;
  for (std::sregex_iterator it(header.begin(), header.end(), entry), end; it != end; ++it) {
    const std::string name = (*it)[1];
    const uint32_t code = static_cast<uint32_t>(std::stoul((*it)[2]));
    SCOPED_TRACE(name);
    const std::string text = Win32MessageText(code);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    EXPECT_EQ(text.back() == '.', code < 12000) << text;
    ++count;
  }
  EXPECT_GT(count, 100);
}

TEST(Win32Errors, ResultCodesKeepTheWindowsForm) {
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INTERNET_CANNOT_CONNECT), static_cast<HRESULT>(0x80072EFDu));
  EXPECT_EQ(HRESULT_FROM_WIN32(0), S_OK);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER), E_INVALIDARG);
  EXPECT_EQ(HRESULT_FROM_WIN32(static_cast<uint32_t>(E_HANDLE)), E_HANDLE);
  EXPECT_EQ(HRESULT_FROM_HTTP(401), static_cast<HRESULT>(0x80190191u));
  EXPECT_EQ(HRESULT_FACILITY(HRESULT_FROM_HTTP(401)), FACILITY_HTTP);
  EXPECT_EQ(HRESULT_CODE(HRESULT_FROM_WIN32(ERROR_TIMEOUT)), ERROR_TIMEOUT);
  EXPECT_TRUE(FAILED(E_OUTOFMEMORY));
  EXPECT_FALSE(FAILED(S_OK));
}

}  // namespace
