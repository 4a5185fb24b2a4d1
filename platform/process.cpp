#include "platform/process.h"

#include <windows.h>

#include <vector>

#include "platform/fault_plan.h"
#include "platform/handle.h"
#include "platform/wide_text.h"

namespace platform {

std::optional<std::wstring> AnsiToWide(const std::string& text, size_t maxUnits) {
    return ToWide(CP_ACP, text, maxUnits);
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
