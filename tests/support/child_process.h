// A program of the test suite started as its own process, ended (if still
// running) and its handles closed when the owner goes away.
#pragma once

#include <string>

namespace testing_support {

// The full path of a program built beside the running test program.
std::string ProgramBeside(const std::string& fileName);

class ChildProcess {
  public:
    explicit ChildProcess(const std::string& commandLine);
    // With standard input read from `input` and standard output written to
    // `output` (files; created or replaced).
    ChildProcess(const std::string& commandLine, const std::string& input,
                 const std::string& output);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return process_ != nullptr; }
    // True when the process ended within `milliseconds`.
    bool WaitForExit(unsigned milliseconds);
    unsigned long ExitCode() const;

  private:
    void* process_ = nullptr;
    void* thread_ = nullptr;
};

// Polls `condition` every 20 ms until it holds or `milliseconds` pass.
template <class Condition>
bool WaitUntil(Condition condition, unsigned milliseconds);

void SleepMilliseconds(unsigned milliseconds);

template <class Condition>
bool WaitUntil(Condition condition, unsigned milliseconds) {
    for (unsigned waited = 0;; waited += 20) {
        if (condition()) return true;
        if (waited >= milliseconds) return false;
        SleepMilliseconds(20);
    }
}

}  // namespace testing_support
