// The browser's side of native messaging: starts a host program with its
// standard input and output on pipes and exchanges framed messages with it
// (a 4-byte little-endian length, then the bytes), as a browser does.
#pragma once

#include <optional>
#include <string>

namespace standin {

// `text` framed as one message.
std::string Frame(const std::string& text);

// A program started with the given standard input and output (handles it
// inherits; null for none) and this program's standard error. Both handles
// are null when it could not start; the caller closes them.
struct StartedProcess {
    void* process = nullptr;
    void* thread = nullptr;
};
StartedProcess StartProcess(const std::string& commandLine, void* input = nullptr,
                            void* output = nullptr);

class HostProcess {
  public:
    // Starts `commandLine`; Started() tells whether it runs.
    explicit HostProcess(const std::string& commandLine);
    // Closes the input and waits for the host, which ends when its input
    // closes; one that does not within 20 s is ended.
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    bool Started() const { return process_ != nullptr; }
    // Writes from a thread of its own: a large request fills the pipe before
    // the host has read it.
    void Send(const std::string& bytes);
    void CloseInput();
    // The next message, or nothing when the output ended.
    std::optional<std::string> Receive();
    // Bytes the host has written that nobody has read yet.
    size_t Pending() const;
    // Closes the input and waits up to 20 s; STILL_ACTIVE when the host is
    // still running then.
    unsigned long WaitForExitCode();

  private:
    bool Read(std::string& out, size_t size);
    void* process_ = nullptr;
    void* toHost_ = nullptr;
    void* fromHost_ = nullptr;
};

}  // namespace standin
