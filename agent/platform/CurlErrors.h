// Translation of the HTTP transport's failures into the WinINet numbers the
// agent's logic and messages are written against. Platform-internal.
#pragma once

#include <cstdint>

// The WinINet number of the same meaning as a libcurl result (CURLcode);
// ERROR_INTERNET_INTERNAL_ERROR for results with no closer match.
uint32_t WinInetErrorFromCurl(int curlCode);
