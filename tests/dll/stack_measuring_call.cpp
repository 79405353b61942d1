#include "dll/stack_measuring_call.h"

#if defined(_M_IX86) || defined(__i386__)
// Naked, so that nothing but this code touches the stack; cdecl, and it keeps EBX, ESI, EDI
// and EBP for its own caller.
// Arguments: function, const uint32_t* words, uint32_t count, uint32_t* returned.
extern "C" __attribute__((naked)) uint32_t CallMeasuringStack(const void*, const uint32_t*,
                                                              uint32_t, uint32_t*) {
    asm("pushl %ebp\n"
        "movl %esp, %ebp\n"
        "pushl %ebx\n"
        "pushl %esi\n"
        "pushl %edi\n"
        "movl 12(%ebp), %esi\n" // words
        "movl 16(%ebp), %ecx\n" // count
        "1: testl %ecx, %ecx\n"
        "jz 2f\n"
        "decl %ecx\n"
        "pushl (%esi,%ecx,4)\n"
        "jmp 1b\n"
        "2: movl %esp, %ebx\n" // before: EBX survives a correct __stdcall callee
        "call *8(%ebp)\n"
        "movl 20(%ebp), %ecx\n"
        "movl %eax, (%ecx)\n"
        "movl %esp, %eax\n"
        "subl %ebx, %eax\n" // after minus before
        "leal -12(%ebp), %esp\n"
        "popl %edi\n"
        "popl %esi\n"
        "popl %ebx\n"
        "popl %ebp\n"
        "ret\n");
}
#endif
