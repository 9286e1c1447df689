#pragma once
// The slice of the registry the program uses: its run-at-login value.
//
// HKEY_CURRENT_USER\SOFTWARE\Microsoft\Windows\CurrentVersion\Run holds the
// current user's XDG autostart entries: a value "<name>" of type REG_SZ is
// the file $XDG_CONFIG_HOME/autostart/<name>.desktop (default
// ~/.config/autostart), whose Exec line is the command line in the value's
// data. The same key under HKEY_LOCAL_MACHINE opens, holds nothing, and
// deleting from it does nothing: system files are never touched. Every other
// key does not exist.
#include "platform/errors.h"
#include "platform/types.h"

using LSTATUS = LONG;
using REGSAM = DWORD;
using PHKEY = HKEY*;

inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u));
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u));
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u));
inline const HKEY HKEY_USERS = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000003u));

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;

// Access rights.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM READ_CONTROL = 0x00020000;
constexpr REGSAM KEY_READ = READ_CONTROL | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY;  // 0x20019
constexpr REGSAM KEY_WRITE = READ_CONTROL | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;                   // 0x20006
constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;

// Opens subKey under hKey (a predefined key or one opened before; an empty
// or null subKey opens hKey again). ERROR_FILE_NOT_FOUND for an unknown key.
LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
// Needs KEY_SET_VALUE. ERROR_FILE_NOT_FOUND when the value does not exist.
LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
// Needs KEY_SET_VALUE. The data of a REG_SZ value is cbData bytes of WCHARs,
// ending at the first NUL. A command line that contains a control character
// (a newline, say) is refused with ERROR_INVALID_PARAMETER.
LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                       DWORD cbData);
// ERROR_INVALID_HANDLE for a handle that is not open; predefined keys close
// as a no-op.
LSTATUS RegCloseKey(HKEY hKey);
