// The numbers of the internet calls' options, flags and answers, with the
// values the system's callers pass, so that code written against the
// session, connection and request classes reads like its Windows original.
#pragma once

#include <cstdint>

enum : uint32_t {
  // How a session reaches the network.
  INTERNET_OPEN_TYPE_PRECONFIG = 0,  // proxies from the environment (http_proxy, no_proxy, ...)
  INTERNET_OPEN_TYPE_DIRECT = 1,     // never through a proxy
  INTERNET_OPEN_TYPE_PROXY = 3,      // through the proxy named by the session

  INTERNET_DEFAULT_HTTP_PORT = 80,
  INTERNET_DEFAULT_HTTPS_PORT = 443,

  // Request flags.
  INTERNET_FLAG_TRANSFER_ASCII = 0x00000001,
  INTERNET_FLAG_TRANSFER_BINARY = 0x00000002,
  INTERNET_FLAG_NO_AUTO_REDIRECT = 0x00200000,
  INTERNET_FLAG_KEEP_CONNECTION = 0x00400000,
  INTERNET_FLAG_SECURE = 0x00800000,
  INTERNET_FLAG_EXISTING_CONNECT = 0x20000000,
  INTERNET_FLAG_RELOAD = 0x80000000,

  // Session options, in milliseconds.
  INTERNET_OPTION_CONNECT_TIMEOUT = 2,
  INTERNET_OPTION_SEND_TIMEOUT = 5,
  INTERNET_OPTION_RECEIVE_TIMEOUT = 6,

  // Flags of the proxy-authentication prompt.
  FLAGS_ERROR_UI_FILTER_FOR_ERRORS = 0x01,
  FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS = 0x02,
  FLAGS_ERROR_UI_FLAGS_GENERATE_DATA = 0x04,

  HTTP_STATUS_OK = 200,
  HTTP_STATUS_BAD_REQUEST = 400,
  HTTP_STATUS_DENIED = 401,
  HTTP_STATUS_PROXY_AUTH_REQ = 407,
  HTTP_STATUS_SERVER_ERROR = 500,
};
