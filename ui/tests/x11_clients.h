#pragma once
// The program's windows on a real X display, found and driven with xdotool
// as a user would: by their titles, keys and clicks.
#include <chrono>
#include <csignal>
#include <string>
#include <vector>

#include "child_process.h"

namespace x11ui {

using namespace std::chrono_literals;

inline const std::string kXdotool = "/usr/bin/xdotool";

// Waits until the program has started up (its session-end handler is the
// last thing it installs); false when it ended or took too long.
inline bool WaitUntilRunning(testing_process::ChildProcess& program) {
  return testing_process::WaitUntil(
             [&] { return testing_process::CatchesSignal(program.pid(), SIGTERM) || !program.running(); }, 20s) &&
         program.running();
}

// Runs an X client to its end and gives its output without the last line
// break (empty when it did not end within 10 s).
inline std::string RunClient(const std::vector<std::string>& argv, const std::string& display) {
  testing_process::ChildProcess::Options options;
  options.display = display;
  testing_process::ChildProcess client(argv, options);
  const std::string out = client.ReadAll(10s);
  if (client.Wait(1s) == -1) return std::string();
  return out.substr(0, out.find_last_not_of("\r\n") + 1);
}

// The X window id of a visible window titled `title` (empty: none).
inline std::string VisibleWindow(const std::string& title, const std::string& display) {
  const std::string found = RunClient({kXdotool, "search", "--onlyvisible", "--name", "^" + title + "$"}, display);
  return found.substr(0, found.find('\n'));
}

// The visible window titled `title` once it shows, made the active window;
// empty when it did not show within 20 s.
inline std::string ActivateWindowTitled(const std::string& title, const std::string& display) {
  std::string window;
  testing_process::WaitUntil([&] { return !(window = VisibleWindow(title, display)).empty(); }, 20s);
  if (!window.empty()) RunClient({kXdotool, "windowactivate", "--sync", window}, display);
  return window;
}

// Clicks the last of a dialog's buttons, at its bottom right (OK, Start);
// false when the dialog's size could not be read.
inline bool ClickLastButton(const std::string& dialog, const std::string& display) {
  const std::string geometry = RunClient({kXdotool, "getwindowgeometry", "--shell", dialog}, display);
  auto value = [&](const std::string& name) {
    const std::size_t at = geometry.find(name + "=");
    return at == std::string::npos ? 0 : std::stoi(geometry.substr(at + name.size() + 1));
  };
  if (value("WIDTH") <= 100) return false;
  RunClient({kXdotool, "mousemove", "--window", dialog, std::to_string(value("WIDTH") - 55),
             std::to_string(value("HEIGHT") - 22), "click", "1"},
            display);
  return true;
}

}  // namespace x11ui
