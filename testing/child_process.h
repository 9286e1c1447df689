#pragma once
// Programs that tests start in processes of their own (real X clients, the
// program itself, helper programs), and the waits around them. Every wait
// has a deadline; a child still running when its object goes is ended
// (SIGTERM, then SIGKILL) and reaped, and it dies with the test process
// however that ends.
//
//   using testing_process::ChildProcess;
//   ChildProcess program(PASTIQ_PROGRAM, {"-verbose"}, ChildProcess::Options().WithStderr());
//   ASSERT_TRUE(testing_process::WaitUntil([&] { return ...; }, std::chrono::seconds(20)));
//   const int status = program.Wait(std::chrono::seconds(15));  // -1: still running
//
// Library pastiq_test_process, linked by every binary with the common test
// main.
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testing_process {

// How a child starts (ChildProcess::Options).
struct ChildOptions {
  // DISPLAY for the child: unset keeps ours, empty removes it.
  std::optional<std::string> display;
  // Written to its standard input, which is then closed.
  std::optional<std::string> input;
  // Without `input`: its standard input stays a pipe until CloseInput
  // (else it reads /dev/null).
  bool keepInput = false;
  // Its standard error comes through the output pipe too (else it is ours).
  bool withStderr = false;

  ChildOptions& WithStderr() {
    withStderr = true;
    return *this;
  }
  ChildOptions& KeepInput() {
    keepInput = true;
    return *this;
  }
};

class ChildProcess {
 public:
  using Options = ChildOptions;

  ChildProcess() = default;
  // Runs argv[0] (a full path) with the other arguments; pid() is -1 when it
  // could not be started.
  explicit ChildProcess(const std::vector<std::string>& argv, const Options& options = Options());
  ChildProcess(const std::string& program, std::vector<std::string> args, const Options& options = Options());
  // An X client on `display` (none when empty), `input` (when not null)
  // written to its standard input.
  static ChildProcess Run(const std::vector<std::string>& argv, const std::string& display,
                          const std::string* input = nullptr);
  ~ChildProcess();
  ChildProcess(ChildProcess&& o) noexcept;
  ChildProcess& operator=(ChildProcess&& o) noexcept;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  bool running();
  // The exit status (as waitpid gives it), or -1 when it still runs after
  // the limit.
  int Wait(std::chrono::milliseconds limit);
  int Wait(int ms) { return Wait(std::chrono::milliseconds(ms)); }
  // SIGTERM, then SIGKILL after two seconds; reaps it.
  void Stop();

  // Writes to its standard input (kept open with KeepInput); false when
  // not all of it could be written.
  bool WriteInput(const std::string& text);
  void CloseInput();
  // The next line of its output that ReadLine did not return yet, without
  // the newline; empty when the output ended or the limit passed first.
  std::string ReadLine(std::chrono::milliseconds limit = std::chrono::seconds(20));
  // The complete lines read so far (never waits).
  const std::vector<std::string>& Lines();
  // Everything read so far, the unfinished last line included (never waits).
  std::string Output();
  // Everything it wrote, once it closed its output (it ended) or the limit
  // passed.
  std::string ReadAll(std::chrono::milliseconds limit = std::chrono::seconds(20));

 private:
  // Reads what is there; false once the output has ended.
  bool Read();
  bool AwaitOutput(std::chrono::steady_clock::time_point until);

  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  bool ended_ = false;
  std::string buf_;
  std::vector<std::string> lines_;
  std::size_t nextLine_ = 0;
  int status_ = -1;
};

// Checks done() every few milliseconds until it holds (true) or the limit
// passes (false).
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
// Whether the process has a handler of its own for the signal (SigCgt in
// /proc): a program that installs its handlers last in its start-up has
// started once it has them.
bool CatchesSignal(pid_t pid, int signal);
// Real processes take real time; the wait ends as soon as the file is there.
bool WaitForFile(const std::filesystem::path& file, std::chrono::milliseconds limit = std::chrono::seconds(20));
std::string ReadFile(const std::filesystem::path& file);

}  // namespace testing_process
