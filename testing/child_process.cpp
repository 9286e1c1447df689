#include "child_process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

extern char** environ;

namespace testing_process {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const Options& options) {
  if (argv.empty()) return;
  int out[2], in[2] = {-1, -1};
  if (pipe2(out, O_CLOEXEC) != 0) return;
  const bool inputPipe = options.input.has_value() || options.keepInput;
  if (inputPipe && pipe2(in, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return;
  }
  // Everything the child needs is built before it exists.
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (!options.display || std::strncmp(*e, "DISPLAY=", 8) != 0) env.push_back(*e);
  if (options.display && !options.display->empty()) env.push_back("DISPLAY=" + *options.display);
  std::vector<char*> envp, args;
  for (auto& s : env) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argCopy = argv;
  for (auto& s : argCopy) args.push_back(s.data());
  args.push_back(nullptr);
  const int devnull = open("/dev/null", O_RDWR | O_CLOEXEC);
  const bool withStderr = options.withStderr;
  const pid_t parent = getpid();
  // vfork: no copy of our pages, so a measurement in this process does not
  // pay for the child's start.
  const pid_t pid = vfork();
  if (pid == 0) {
    // Children end with the test, however it ends.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    dup2(out[1], 1);
    if (withStderr) dup2(out[1], 2);
    dup2(inputPipe ? in[0] : devnull, 0);
    execve(args[0], args.data(), envp.data());
    _exit(127);
  }
  if (devnull >= 0) close(devnull);
  close(out[1]);
  if (inputPipe) close(in[0]);
  if (pid < 0) {
    close(out[0]);
    if (inputPipe) close(in[1]);
    return;
  }
  pid_ = pid;
  out_ = out[0];
  in_ = inputPipe ? in[1] : -1;
  fcntl(out_, F_SETFL, O_NONBLOCK);
  if (options.input) {
    const std::string& data = *options.input;
    std::size_t done = 0;
    while (done < data.size()) {
      const ssize_t n = write(in_, data.data() + done, data.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    CloseInput();
  }
}

namespace {
std::vector<std::string> Prepended(const std::string& program, std::vector<std::string> args) {
  args.insert(args.begin(), program);
  return args;
}
}  // namespace

ChildProcess::ChildProcess(const std::string& program, std::vector<std::string> args, const Options& options)
    : ChildProcess(Prepended(program, std::move(args)), options) {}

ChildProcess ChildProcess::Run(const std::vector<std::string>& argv, const std::string& display,
                               const std::string* input) {
  Options options;
  options.display = display;
  if (input) options.input = *input;
  return ChildProcess(argv, options);
}

ChildProcess::~ChildProcess() { Stop(); }

ChildProcess::ChildProcess(ChildProcess&& o) noexcept { *this = std::move(o); }

ChildProcess& ChildProcess::operator=(ChildProcess&& o) noexcept {
  if (this == &o) return *this;
  Stop();
  pid_ = std::exchange(o.pid_, -1);
  in_ = std::exchange(o.in_, -1);
  out_ = std::exchange(o.out_, -1);
  ended_ = o.ended_;
  buf_ = std::move(o.buf_);
  lines_ = std::move(o.lines_);
  nextLine_ = o.nextLine_;
  status_ = o.status_;
  return *this;
}

bool ChildProcess::running() {
  if (pid_ <= 0 || status_ != -1) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    status_ = status;
    return false;
  }
  return true;
}

int ChildProcess::Wait(std::chrono::milliseconds limit) {
  const auto until = Clock::now() + limit;
  while (running()) {
    if (Clock::now() >= until) return -1;
    std::this_thread::sleep_for(5ms);
  }
  return status_;
}

void ChildProcess::Stop() {
  CloseInput();
  if (running()) {
    kill(pid_, SIGCONT);
    kill(pid_, SIGTERM);
    if (Wait(2s) == -1) {
      kill(pid_, SIGKILL);
      Wait(2s);
    }
  }
  if (out_ >= 0) {
    Read();
    close(out_);
  }
  out_ = -1;
  pid_ = -1;
}

bool ChildProcess::WriteInput(const std::string& text) {
  std::size_t done = 0;
  while (in_ >= 0 && done < text.size()) {
    const ssize_t n = write(in_, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return done == text.size();
}

void ChildProcess::CloseInput() {
  if (in_ >= 0) close(in_);
  in_ = -1;
}

bool ChildProcess::Read() {
  if (out_ < 0) return false;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(out_, buffer, sizeof buffer);
    if (n > 0) {
      buf_.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n == 0) ended_ = true;
    break;
  }
  std::size_t newline;
  while ((newline = buf_.find('\n')) != std::string::npos) {
    lines_.push_back(buf_.substr(0, newline));
    buf_.erase(0, newline + 1);
  }
  return !ended_;
}

bool ChildProcess::AwaitOutput(Clock::time_point until) {
  const auto now = Clock::now();
  if (out_ < 0 || ended_ || now >= until) return false;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count();
  pollfd p{out_, POLLIN, 0};
  poll(&p, 1, static_cast<int>(std::min<long long>(left, 100)) + 1);
  return true;
}

const std::vector<std::string>& ChildProcess::Lines() {
  Read();
  return lines_;
}

std::string ChildProcess::ReadLine(std::chrono::milliseconds limit) {
  const auto until = Clock::now() + limit;
  for (;;) {
    Read();
    if (nextLine_ < lines_.size()) return lines_[nextLine_++];
    if (!AwaitOutput(until)) return std::string();
  }
}

std::string ChildProcess::Output() {
  Read();
  std::string all;
  for (const auto& line : lines_) all += line + "\n";
  return all + buf_;
}

std::string ChildProcess::ReadAll(std::chrono::milliseconds limit) {
  const auto until = Clock::now() + limit;
  while (Read() && AwaitOutput(until)) {
  }
  return Output();
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto until = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() >= until) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

bool CatchesSignal(pid_t pid, int signal) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    unsigned long long mask = 0;
    if (std::sscanf(line.c_str(), "SigCgt: %llx", &mask) == 1) return (mask >> (signal - 1)) & 1;
  }
  return false;
}

bool WaitForFile(const std::filesystem::path& file, std::chrono::milliseconds limit) {
  return WaitUntil([&] { return std::filesystem::exists(file); }, limit);
}

std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace testing_process
