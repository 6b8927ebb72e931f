// Result codes the Garmin protocol stores, in their Windows form; the
// receive thread tells an unsupported receiver from a missing one by them.
#pragma once

#include "platform/Win32Errors.h"

// Win32 numbers without a name in the platform's list.
constexpr uint32_t GARMIN_ERROR_PRODUCT_NOT_IN_TABLE = 1200;  // 0x4B0
constexpr uint32_t GARMIN_ERROR_UNSUPPORTED_LINK = 1630;      // 0x65E

constexpr HRESULT HR_CRC = HRESULT_FROM_WIN32(ERROR_CRC);                          // 0x80070017
constexpr HRESULT HR_READ_FAULT = HRESULT_FROM_WIN32(ERROR_READ_FAULT);            // 0x8007001E
constexpr HRESULT HR_BUFFER_OVERFLOW = HRESULT_FROM_WIN32(ERROR_BUFFER_OVERFLOW);  // 0x8007006F
constexpr HRESULT HR_RETRY = HRESULT_FROM_WIN32(ERROR_RETRY);                      // 0x800704D5
constexpr HRESULT HR_TIMEOUT = HRESULT_FROM_WIN32(ERROR_TIMEOUT);                  // 0x800705B4
constexpr HRESULT HR_PRODUCT_NOT_IN_TABLE = HRESULT_FROM_WIN32(GARMIN_ERROR_PRODUCT_NOT_IN_TABLE);
constexpr HRESULT HR_UNSUPPORTED_LINK = HRESULT_FROM_WIN32(GARMIN_ERROR_UNSUPPORTED_LINK);

static_assert(static_cast<uint32_t>(HR_PRODUCT_NOT_IN_TABLE) == 0x800704B0u);
static_assert(static_cast<uint32_t>(HR_UNSUPPORTED_LINK) == 0x8007065Eu);
static_assert(static_cast<uint32_t>(HR_RETRY) == 0x800704D5u);
