#pragma once
// Another application on the simulated desktop: a running process with one
// thread and a top-level window, which is what most tests need of one.
//
//   testing_sim::App editor = testing_sim::AddApp(L"/usr/bin/editor", L"EditorFrame");
//   HWND field = platform::sim::AddEdit(editor.thread, editor.frame);
//
// Header only; needs platform.
#include <string>
#include <utility>

#include "platform/sim/desktop.h"

namespace testing_sim {

struct App {
  DWORD pid = 0;
  DWORD thread = 0;
  HWND frame = nullptr;
};

// `process` and `frame` give what else the test wants of them (a protected
// process, a hidden frame, a title); the executable, class and thread are
// set here.
inline App AddApp(const std::wstring& exe, const std::wstring& frameClass = L"AppFrame",
                  platform::sim::ProcessSpec process = {}, platform::sim::WindowSpec frame = {}) {
  namespace sim = platform::sim;
  process.exePath = exe;
  App app;
  app.pid = sim::CreateProcess(process);
  app.thread = sim::MainThread(app.pid);
  frame.thread = app.thread;
  frame.className = frameClass;
  app.frame = sim::AddWindow(frame);
  return app;
}

}  // namespace testing_sim
