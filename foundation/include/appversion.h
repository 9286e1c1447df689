#pragma once
// The program's version number: millions are the major version, then
// thousands the minor, then the release. Every file header, network message
// and version check carries it.
constexpr int APP_VERSION_CODE = 3000003;
constexpr const char* APP_VERSION_TEXT = "3.0.3";
