#pragma once
// System error codes returned by the layer's functions, with the values the
// interfaces we stand in for document.
#include "platform/types.h"

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_WRITE_FAULT = 29;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_NO_MORE_FILES = 18;
constexpr LONG ERROR_INSUFFICIENT_BUFFER = 122;
constexpr LONG ERROR_MOD_NOT_FOUND = 126;
constexpr LONG ERROR_PROC_NOT_FOUND = 127;
constexpr LONG ERROR_PARTIAL_COPY = 299;
constexpr LONG ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr LONG ERROR_INVALID_HOOK_HANDLE = 1404;
constexpr LONG ERROR_INVALID_HOOK_FILTER = 1426;
constexpr LONG ERROR_HOOK_NEEDS_HMOD = 1428;
constexpr LONG ERROR_HOOK_NOT_INSTALLED = 1431;
constexpr LONG ERROR_INVALID_THREAD_ID = 1444;
constexpr LONG ERROR_NOT_ENOUGH_QUOTA = 1816;
