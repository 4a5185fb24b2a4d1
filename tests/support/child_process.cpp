#include "tests/support/child_process.h"

#include <windows.h>

#include <vector>

namespace testing_support {

std::string ProgramBeside(const std::string& fileName) {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            std::string self(path.data(), n);
            return self.substr(0, self.find_last_of("\\/") + 1) + fileName;
        }
        path.resize(path.size() * 2);
    }
}

ChildProcess::ChildProcess(const std::string& commandLine) {
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &info)) {
        process_ = info.hProcess;
        thread_ = info.hThread;
    }
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
