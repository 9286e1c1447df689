#pragma once
// Programs that tests start in processes of their own, with pipes to their
// standard input and output, and the waits around them.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

struct Child {
  pid_t pid = -1;
  int in = -1;   // we write
  int out = -1;  // we read

  // Starts program with args; with withStderr its standard error comes
  // through the same pipe as its output.
  Child(const std::string& program, std::vector<std::string> args, bool withStderr = false) {
    int toChild[2], fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
    if (withStderr) posix_spawn_file_actions_adddup2(&actions, fromChild[1], 2);
    posix_spawn_file_actions_addclose(&actions, toChild[1]);
    posix_spawn_file_actions_addclose(&actions, fromChild[0]);
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(toChild[0]);
    close(fromChild[1]);
    in = toChild[1];
    out = fromChild[0];
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    CloseInput();
    if (out >= 0) close(out);
    if (pid > 0 && Wait(std::chrono::seconds(10)) == -1) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
  void CloseInput() {
    if (in >= 0) close(in);
    in = -1;
  }
  std::string ReadLine() {
    std::string line;
    char c;
    while (read(out, &c, 1) == 1 && c != '\n') line += c;
    return line;
  }
  // Everything it wrote, once it has ended (or closed its output).
  std::string ReadAll() {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(out, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    return text;
  }
  // The exit status, or -1 when it has not ended in time.
  int Wait(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (true) {
      int status = 0;
      const pid_t r = waitpid(pid, &status, WNOHANG);
      if (r == pid) {
        pid = -1;
        return status;
      }
      if (std::chrono::steady_clock::now() > end) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
};

// Whether the process has its own handler for the signal: the program
// installs its session-end handlers as the last thing of its start-up, so a
// signal sent earlier would simply kill it.
inline bool CatchesSignal(pid_t pid, int signal) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    unsigned long long mask = 0;
    if (std::sscanf(line.c_str(), "SigCgt: %llx", &mask) == 1) return (mask >> (signal - 1)) & 1;
  }
  return false;
}

// Real processes take real time; the wait ends as soon as the file is there.
inline bool WaitForFile(const std::filesystem::path& file,
                        std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!std::filesystem::exists(file)) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

inline std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
