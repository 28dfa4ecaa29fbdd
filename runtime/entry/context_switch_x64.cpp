// Save and resume of an execution context on x86-64. Host images run on the same
// processor architecture, so this routine serves both builds. Both functions use the
// Microsoft convention: the context pointer arrives in RCX, the resume value in RDX.
//
// XMM6-XMM15 and MXCSR are callee-saved too. A host image's compiler uses them, so the
// host build saves and restores them. A firmware image is compiled without SSE
// (-mgeneral-regs-only), so nothing between save and resume changes them there, and
// the firmware build leaves them alone: not every firmware enables SSE before it starts
// a driver, and there an SSE instruction is an invalid-opcode fault.
#include "runtime/entry/exit_context.h"

#if defined(FIRMWARE_IMAGE)
#define SAVE_SSE_STATE ""
#define RESTORE_SSE_STATE ""
#else
#define SAVE_SSE_STATE                                                                                                 \
  "movdqu %xmm6, 80(%rcx)\n\t"                                                                                         \
  "movdqu %xmm7, 96(%rcx)\n\t"                                                                                         \
  "movdqu %xmm8, 112(%rcx)\n\t"                                                                                        \
  "movdqu %xmm9, 128(%rcx)\n\t"                                                                                        \
  "movdqu %xmm10, 144(%rcx)\n\t"                                                                                       \
  "movdqu %xmm11, 160(%rcx)\n\t"                                                                                       \
  "movdqu %xmm12, 176(%rcx)\n\t"                                                                                       \
  "movdqu %xmm13, 192(%rcx)\n\t"                                                                                       \
  "movdqu %xmm14, 208(%rcx)\n\t"                                                                                       \
  "movdqu %xmm15, 224(%rcx)\n\t"                                                                                       \
  "stmxcsr 240(%rcx)\n\t"
#define RESTORE_SSE_STATE                                                                                              \
  "movdqu 80(%rcx), %xmm6\n\t"                                                                                         \
  "movdqu 96(%rcx), %xmm7\n\t"                                                                                         \
  "movdqu 112(%rcx), %xmm8\n\t"                                                                                        \
  "movdqu 128(%rcx), %xmm9\n\t"                                                                                        \
  "movdqu 144(%rcx), %xmm10\n\t"                                                                                       \
  "movdqu 160(%rcx), %xmm11\n\t"                                                                                       \
  "movdqu 176(%rcx), %xmm12\n\t"                                                                                       \
  "movdqu 192(%rcx), %xmm13\n\t"                                                                                       \
  "movdqu 208(%rcx), %xmm14\n\t"                                                                                       \
  "movdqu 224(%rcx), %xmm15\n\t"                                                                                       \
  "ldmxcsr 240(%rcx)\n\t"
#endif

extern "C" __attribute__((naked)) UINTN EFIAPI SaveExecutionContext(EXECUTION_CONTEXT *Context) {
  __asm__ __volatile__("movq %rbx, 0(%rcx)\n\t"
                       "leaq 8(%rsp), %rax\n\t"
                       "movq %rax, 8(%rcx)\n\t"
                       "movq %rbp, 16(%rcx)\n\t"
                       "movq %rdi, 24(%rcx)\n\t"
                       "movq %rsi, 32(%rcx)\n\t"
                       "movq %r12, 40(%rcx)\n\t"
                       "movq %r13, 48(%rcx)\n\t"
                       "movq %r14, 56(%rcx)\n\t"
                       "movq %r15, 64(%rcx)\n\t"
                       "movq (%rsp), %rax\n\t"
                       "movq %rax, 72(%rcx)\n\t" SAVE_SSE_STATE "xorl %eax, %eax\n\t"
                       "ret\n\t");
}

extern "C" __attribute__((naked)) VOID EFIAPI ResumeExecutionContext(EXECUTION_CONTEXT *Context, UINTN Value) {
  __asm__ __volatile__("movq 0(%rcx), %rbx\n\t"
                       "movq 16(%rcx), %rbp\n\t"
                       "movq 24(%rcx), %rdi\n\t"
                       "movq 32(%rcx), %rsi\n\t"
                       "movq 40(%rcx), %r12\n\t"
                       "movq 48(%rcx), %r13\n\t"
                       "movq 56(%rcx), %r14\n\t"
                       "movq 64(%rcx), %r15\n\t" RESTORE_SSE_STATE "movq 8(%rcx), %rsp\n\t"
                       "movq %rdx, %rax\n\t"
                       "jmpq *72(%rcx)\n\t");
}
