#include "browser/host_process.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <thread>

namespace standin {

std::string Frame(const std::string& text) {
    const auto length = static_cast<uint32_t>(text.size());
    std::string frame(4, '\0');
    for (int i = 0; i < 4; ++i) frame[i] = static_cast<char>(length >> (8 * i));
    return frame + text;
}

StartedProcess StartProcess(const std::string& commandLine, void* input, void* output) {
    std::string command = commandLine;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    const bool redirected = input || output;
    if (redirected) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input;
        startup.hStdOutput = output;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, redirected, 0, nullptr, nullptr,
                        &startup, &info)) {
        return {};
    }
    return {info.hProcess, info.hThread};
}

HostProcess::HostProcess(const std::string& commandLine) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE childIn = nullptr, childOut = nullptr, toHost = nullptr, fromHost = nullptr;
    if (!CreatePipe(&childIn, &toHost, &inherited, 1 << 16)) return;
    toHost_ = toHost;
    if (!CreatePipe(&fromHost, &childOut, &inherited, 1 << 16)) {
        CloseHandle(childIn);
        return;
    }
    fromHost_ = fromHost;
    SetHandleInformation(toHost, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(fromHost, HANDLE_FLAG_INHERIT, 0);
    const StartedProcess started = StartProcess(commandLine, childIn, childOut);
    process_ = started.process;
    if (started.thread) CloseHandle(started.thread);
    CloseHandle(childIn);
    CloseHandle(childOut);
}

HostProcess::~HostProcess() {
    CloseInput();
    if (process_) {
        if (WaitForSingleObject(process_, 20000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
        CloseHandle(process_);
    }
    if (fromHost_) CloseHandle(fromHost_);
}

void HostProcess::Send(const std::string& bytes) {
    std::thread writer([&] {
        for (size_t at = 0; at < bytes.size();) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1 << 20));
            if (!toHost_ || !WriteFile(toHost_, bytes.data() + at, chunk, &written, nullptr))
                return;
            at += written;
        }
    });
    writer.join();
}

void HostProcess::CloseInput() {
    if (toHost_) CloseHandle(toHost_);
    toHost_ = nullptr;
}

std::optional<std::string> HostProcess::Receive() {
    std::string header;
    if (!Read(header, 4)) return std::nullopt;
    uint32_t length = 0;
    for (int i = 3; i >= 0; --i) length = length << 8 | static_cast<unsigned char>(header[i]);
    std::string message;
    if (!Read(message, length)) return std::nullopt;
    return message;
}

size_t HostProcess::Pending() const {
    DWORD available = 0;
    if (!fromHost_ || !PeekNamedPipe(fromHost_, nullptr, 0, nullptr, &available, nullptr)) return 0;
    return available;
}

unsigned long HostProcess::WaitForExitCode() {
    CloseInput();
    DWORD code = STILL_ACTIVE;
    if (process_ && WaitForSingleObject(process_, 20000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process_, &code);
    }
    return code;
}

bool HostProcess::Read(std::string& out, size_t size) {
    out.resize(size);
    for (size_t at = 0; at < size;) {
        DWORD read = 0;
        if (!fromHost_ ||
            !ReadFile(fromHost_, out.data() + at, static_cast<DWORD>(size - at), &read, nullptr) ||
            read == 0) {
            return false;
        }
        at += read;
    }
    return true;
}

}  // namespace standin
