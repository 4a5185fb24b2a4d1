#include "platform/process.h"
#include "platform/fault_plan.h"

#include <windows.h>

#include <climits>
#include <vector>

#include "platform/handle.h"

namespace platform {

std::optional<std::wstring> AnsiToWide(const std::string& text, size_t maxUnits) {
    if (text.empty()) return std::wstring();
    if (text.size() > INT_MAX) return std::nullopt;
    const int length = static_cast<int>(text.size());
    const int units = PLATFORM_CALL(
        "MultiByteToWideChar", 0, MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0));
    if (units <= 0 || static_cast<size_t>(units) > maxUnits) return std::nullopt;
    std::wstring wide(static_cast<size_t>(units), L'\0');
    if (PLATFORM_CALL("MultiByteToWideChar", 0,
                      MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), units)) !=
        units) {
        return std::nullopt;
    }
    return wide;
}

bool StartDetachedProcess(const std::wstring& commandLine) {
    // CreateProcessW may write into the command line: hand it a terminated copy.
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!PLATFORM_CALL("CreateProcessW", FALSE,
                       CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE,
                                      DETACHED_PROCESS, nullptr, nullptr, &startup, &info))) {
        return false;
    }
    const KernelHandle process(info.hProcess);
    const KernelHandle thread(info.hThread);
    return true;
}

}  // namespace platform
