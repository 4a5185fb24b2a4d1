#include "tests/support/stack_probe.h"

// probe_call(function, argument, argumentCount, &returned) -> stack change.
// Pushes the argument (when there is one), calls, and compares ESP with its
// value before the push; then restores ESP whatever the callee did.
#if !defined(_WIN64)
extern "C" int32_t probe_call(void* function, void* argument, int32_t argumentCount,
                              uint32_t* returned);

asm(R"(
    .text
    .globl _probe_call
_probe_call:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl %esp, %esi
    cmpl $0, 16(%ebp)
    je 1f
    pushl 12(%ebp)
1:
    call *8(%ebp)
    movl 20(%ebp), %ecx
    movl %eax, (%ecx)
    movl %esp, %eax
    subl %esi, %eax
    movl %esi, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");
#endif

namespace testing_support {

#if !defined(_WIN64)

ProbedCall CallWithOneArgument(void* function, void* argument) {
    ProbedCall call{};
    call.stackChange = probe_call(function, argument, 1, &call.returned);
    return call;
}

ProbedCall CallWithNoArgument(void* function) {
    ProbedCall call{};
    call.stackChange = probe_call(function, nullptr, 0, &call.returned);
    return call;
}

#endif

}  // namespace testing_support
