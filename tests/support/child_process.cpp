#include "tests/support/child_process.h"

#include <windows.h>

#include <vector>

#include "browser/host_process.h"
#include "embedding/embedder.h"

namespace testing_support {

std::string ProgramBeside(const std::string& fileName) {
    const std::wstring folder = embedding::ProgramFolder();
    // The build folder's path is plain ASCII, as the test programs' names are.
    return std::string(folder.begin(), folder.end()) + fileName;
}

ChildProcess::ChildProcess(const std::string& commandLine) {
    const standin::StartedProcess started = standin::StartProcess(commandLine);
    process_ = started.process;
    thread_ = started.thread;
}

ChildProcess::ChildProcess(const std::string& commandLine, const std::string& input,
                           const std::string& output) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE in = CreateFileA(input.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherited, OPEN_EXISTING,
                            0, nullptr);
    HANDLE out = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                             CREATE_ALWAYS, 0, nullptr);
    if (in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE) {
        const standin::StartedProcess started = standin::StartProcess(commandLine, in, out);
        process_ = started.process;
        thread_ = started.thread;
    }
    if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
}

ChildProcess::~ChildProcess() {
    if (process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
    }
    if (thread_) CloseHandle(thread_);
    if (process_) CloseHandle(process_);
}

bool ChildProcess::WaitForExit(unsigned milliseconds) {
    return process_ && WaitForSingleObject(process_, milliseconds) == WAIT_OBJECT_0;
}

unsigned long ChildProcess::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (process_) GetExitCodeProcess(process_, &code);
    return code;
}

void SleepMilliseconds(unsigned milliseconds) { Sleep(milliseconds); }

}  // namespace testing_support
