// The fault plan: in a test build of the module (PLUGIN_FAULT_PLAN), every
// Windows and runtime-library call of the platform layer asks the plan first
// whether to fail, and a test can fail its Nth call, or every call of one
// function, with a realistic error. The released module has no plan: the
// question is a constant false and costs nothing.
#pragma once

namespace platform {

#ifdef PLUGIN_FAULT_PLAN
// True when this call of `function` must fail; the plan has then set the
// error the failing call reports (GetLastError and errno).
bool CallFails(const char* function);
#else
constexpr bool CallFails(const char*) { return false; }
#endif

}  // namespace platform

// The call `call` of the function `name`, or `failed` when the plan fails it.
#define PLATFORM_CALL(name, failed, call) (::platform::CallFails(name) ? (failed) : (call))
