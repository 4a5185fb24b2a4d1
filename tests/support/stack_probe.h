// Calls a function the way a browser calls a __stdcall export and measures
// what the call did to the stack pointer: 0 when the callee removed its own
// arguments, as __stdcall requires. x86 only: x86-64 has one calling
// convention, in which the caller owns the stack.
#pragma once

#include <cstdint>

namespace testing_support {

struct ProbedCall {
    int32_t stackChange;  // bytes the stack pointer moved across the call
    uint32_t returned;    // EAX
};

#if !defined(_WIN64)
ProbedCall CallWithOneArgument(void* function, void* argument);
ProbedCall CallWithNoArgument(void* function);
#endif

}  // namespace testing_support
