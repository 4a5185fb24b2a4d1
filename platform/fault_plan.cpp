// The test build's fault plan, set from the test through the module's extra
// exports PluginFaultPlan and PluginFaultCalls.
#include "platform/fault_plan.h"

#include <windows.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/shell_folders.h"

namespace platform {
namespace {

struct Plan {
    long failAt = 0;       // the call to fail, counting from 1; 0: none by number
    std::string function;  // every call of this function fails; empty: none
    unsigned long error = ERROR_ACCESS_DENIED;
    long calls = 0;    // platform calls since the plan was set
    std::string last;  // the function of the last call that failed
    // Called once, just before call number `hookAt` of `hookFunction` is
    // made: what a test does there happens between two steps of the module.
    std::string hookFunction;
    long hookAt = 0, hookCalls = 0;
    void(__cdecl* hook)(void*) = nullptr;
    void* hookContext = nullptr;
};

Plan& CurrentPlan() {
    static Plan plan;
    return plan;
}

int ErrnoFor(unsigned long error) {
    switch (error) {
        case ERROR_PATH_NOT_FOUND:
        case ERROR_FILE_NOT_FOUND:
            return ENOENT;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        default:
            return EACCES;
    }
}

}  // namespace

bool CallFails(const char* function) {
    Plan& plan = CurrentPlan();
    ++plan.calls;
    if (plan.hook && plan.hookFunction == function && ++plan.hookCalls == plan.hookAt) {
        plan.hook(plan.hookContext);
    }
    const bool fails =
        plan.calls == plan.failAt || (!plan.function.empty() && plan.function == function);
    if (fails) {
        plan.last = function;
        SetLastError(plan.error);
        errno = ErrnoFor(plan.error);
    }
    return fails;
}

}  // namespace platform

// Starts a new plan: fail call number `failAt` (0: none) and every call of
// `function` (null or empty: none) with the Windows error `error`.
extern "C" __declspec(dllexport) void __cdecl PluginFaultPlan(long failAt, const char* function,
                                                              unsigned long error) {
    // A plan that fails something asks the shell afresh, so that its calls
    // are planned too; clearing the plan keeps what the module holds, so a
    // test sees whether a failed answer was kept.
    if (failAt != 0 || (function && *function)) platform::ForgetLocalAppDataFolder();
    platform::Plan& plan = platform::CurrentPlan();
    const auto hook = plan.hook;
    const auto hookContext = plan.hookContext;
    const std::string hookFunction = plan.hookFunction;
    const long hookAt = plan.hookAt;
    plan = platform::Plan{};
    // A hook stays until it is cleared with PluginFaultHook.
    plan.hook = hook;
    plan.hookContext = hookContext;
    plan.hookFunction = hookFunction;
    plan.hookAt = hookAt;
    plan.failAt = failAt;
    if (function) plan.function = function;
    plan.error = error;
}

// The platform calls made since the plan was set; `failed` receives the
// function of the last call the plan failed (empty for none).
extern "C" __declspec(dllexport) long __cdecl PluginFaultCalls(const char** failed) {
    platform::Plan& plan = platform::CurrentPlan();
    if (failed) *failed = plan.last.c_str();
    return plan.calls;
}

// Calls `hook(context)` once, just before call number `at` (from 1) of the
// platform function `function` is made, counting from now; a null hook
// clears it. Fails nothing.
extern "C" __declspec(dllexport) void __cdecl PluginFaultHook(const char* function, long at,
                                                              void(__cdecl* hook)(void*),
                                                              void* context) {
    platform::Plan& plan = platform::CurrentPlan();
    plan.hookFunction = function && hook ? function : "";
    plan.hookAt = at;
    plan.hookCalls = 0;
    plan.hook = hook;
    plan.hookContext = context;
}
