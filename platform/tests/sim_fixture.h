#pragma once
// A fresh simulated desktop for every test, with one other application (an
// editor with a main window and an edit control) ready to use.
#include <gtest/gtest.h>

#include "platform/hooks.h"
#include "platform/input.h"
#include "platform/process.h"
#include "platform/sim/desktop.h"
#include "platform/window.h"

namespace sim = platform::sim;

class SimDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::Reset();
    sim::ProcessSpec spec;
    spec.exePath = L"/usr/bin/editor";
    spec.modules = {{L"/usr/lib/libc.so.6"}, {L"/usr/lib/libgtk-3.so.0"}};
    editorPid = sim::CreateProcess(spec);
    editorThread = sim::MainThread(editorPid);
    sim::WindowSpec frame;
    frame.thread = editorThread;
    frame.className = L"EditorFrame";
    frame.title = L"Untitled - Editor";
    editorFrame = sim::AddWindow(frame);
    editor = sim::AddEdit(editorThread, editorFrame);
  }

  DWORD editorPid = 0;
  DWORD editorThread = 0;
  HWND editorFrame = nullptr;
  HWND editor = nullptr;
};

// Key messages a window received, as (message, virtual key) pairs.
inline std::vector<std::pair<UINT, WPARAM>> KeyTrail(HWND hwnd) {
  std::vector<std::pair<UINT, WPARAM>> out;
  for (const sim::Received& r : sim::Keys(hwnd)) out.emplace_back(r.message, r.wParam);
  return out;
}
