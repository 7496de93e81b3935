#include "base/exception_guard.h"

#include <delayimp.h>

#include <cstddef>

// GCC for Windows has no __try/__except, so the guard installs a
// structured-exception handler by hand, one way per architecture:
// - 32-bit: the registration record sits on the stack and is linked into
//   the thread's chain at fs:[0]. The handler resumes at the guard's
//   recovery label with the stack and frame pointers the guard had, which
//   unlinks the record again.
// - x86-64: handlers are found through the unwind tables, so the guard is
//   a small assembly function whose unwind information names the handler
//   (.seh_handler). The handler resumes at the recovery label with the
//   stack pointer of the guard's body; its epilogue then restores every
//   non-volatile register, the XMM ones included, from what the prologue
//   saved.
// Either way the abandoned frames below the guard are not unwound.

namespace base {
namespace {

// Saves what was raised; the names only for a failed delay load.
void FillExceptionRecord(const EXCEPTION_RECORD& exception,
                         ExceptionRecord* record) {
  record->code = exception.ExceptionCode;
  record->dll_name.clear();
  record->function_name.clear();
  if (exception.ExceptionCode == kDelayLoadModNotFound &&
      exception.NumberParameters >= 1 && exception.ExceptionInformation[0]) {
    const auto* info = reinterpret_cast<const DelayLoadInfo*>(
        exception.ExceptionInformation[0]);
    if (info->szDll)
      record->dll_name = info->szDll;
    // Imports by ordinal carry a number, not a name.
    if (info->dlp.fImportByName && info->dlp.szProcName)
      record->function_name = info->dlp.szProcName;
  }
}

constexpr DWORD kUnwinding = EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND;

}  // namespace
}  // namespace base

#if defined(__i386__)

namespace base {
namespace {

struct GuardFrame {
  // Layout of EXCEPTION_REGISTRATION_RECORD first; the assembly below uses
  // fixed offsets into this structure.
  GuardFrame* next;  // 0
  void* handler;     // 4
  DWORD saved_esp;   // 8
  DWORD saved_ebp;   // 12
  DWORD resume_eip;  // 16
  ExceptionRecord* record;
};
static_assert(offsetof(GuardFrame, saved_esp) == 8);
static_assert(offsetof(GuardFrame, saved_ebp) == 12);
static_assert(offsetof(GuardFrame, resume_eip) == 16);

}  // namespace
}  // namespace base

extern "C" {

int lite_CallWithSehFrame(void (*function)(void*),
                          void* context,
                          base::GuardFrame* frame);

EXCEPTION_DISPOSITION __cdecl lite_SehGuardHandler(EXCEPTION_RECORD* exception,
                                                   void* establisher_frame,
                                                   CONTEXT* context,
                                                   void* dispatcher_context) {
  if (exception->ExceptionFlags & (base::kUnwinding | EXCEPTION_NONCONTINUABLE))
    return ExceptionContinueSearch;
  auto* frame = static_cast<base::GuardFrame*>(establisher_frame);
  base::FillExceptionRecord(*exception, frame->record);
  context->Esp = frame->saved_esp;
  context->Ebp = frame->saved_ebp;
  context->Eip = frame->resume_eip;
  return ExceptionContinueExecution;
}

}  // extern "C"

// int lite_CallWithSehFrame(function, context, frame): returns 0 when the
// call returned, 1 when the handler resumed at the recovery label.
asm(R"(
  .text
  .globl _lite_CallWithSehFrame
  .def _lite_CallWithSehFrame; .scl 2; .type 32; .endef
_lite_CallWithSehFrame:
  pushl %ebp
  movl %esp, %ebp
  pushl %ebx
  pushl %esi
  pushl %edi
  movl 16(%ebp), %eax
  movl %fs:0, %ecx
  movl %ecx, 0(%eax)
  movl $_lite_SehGuardHandler, 4(%eax)
  movl %esp, 8(%eax)
  movl %ebp, 12(%eax)
  movl $lite_seh_guard_recover, 16(%eax)
  movl %eax, %fs:0
  pushl 12(%ebp)
  call *8(%ebp)
  addl $4, %esp
  xorl %eax, %eax
  jmp lite_seh_guard_done
lite_seh_guard_recover:
  movl $1, %eax
lite_seh_guard_done:
  movl 16(%ebp), %edx
  movl 0(%edx), %ecx
  movl %ecx, %fs:0
  popl %edi
  popl %esi
  popl %ebx
  popl %ebp
  ret
)");

#elif defined(__x86_64__)

namespace base {
namespace {

struct GuardFrame {
  ExceptionRecord* record;
};

}  // namespace
}  // namespace base

extern "C" {

int lite_CallWithSehFrame(void (*function)(void*),
                          void* context,
                          base::GuardFrame* frame);
extern char lite_seh_guard_recover[];

// The guard's body keeps `frame` at this offset from its stack pointer,
// which is the establisher frame the dispatcher passes.
constexpr size_t kGuardFrameSlot = 192;

EXCEPTION_DISPOSITION lite_SehGuardHandler(EXCEPTION_RECORD* exception,
                                           void* establisher_frame,
                                           CONTEXT* context,
                                           void* dispatcher_context) {
  if (exception->ExceptionFlags & (base::kUnwinding | EXCEPTION_NONCONTINUABLE))
    return ExceptionContinueSearch;
  const auto establisher = reinterpret_cast<DWORD64>(establisher_frame);
  auto* frame = *reinterpret_cast<base::GuardFrame**>(establisher +
                                                      kGuardFrameSlot);
  base::FillExceptionRecord(*exception, frame->record);
  context->Rsp = establisher;
  context->Rip = reinterpret_cast<DWORD64>(lite_seh_guard_recover);
  return ExceptionContinueExecution;
}

}  // extern "C"

// int lite_CallWithSehFrame(function, context, frame): returns 0 when the
// call returned, 1 when the handler resumed at the recovery label. Stack
// after the prologue: 32 bytes of home space for the callee, XMM6-XMM15 at
// 32..191, `frame` at 192, eight pushed registers above (the total keeps the
// call 16-byte aligned).
asm(R"(
  .text
  .globl lite_CallWithSehFrame
  .globl lite_seh_guard_recover
  .def lite_CallWithSehFrame; .scl 2; .type 32; .endef
  .seh_proc lite_CallWithSehFrame
lite_CallWithSehFrame:
  pushq %rbp
  .seh_pushreg %rbp
  pushq %rbx
  .seh_pushreg %rbx
  pushq %rsi
  .seh_pushreg %rsi
  pushq %rdi
  .seh_pushreg %rdi
  pushq %r12
  .seh_pushreg %r12
  pushq %r13
  .seh_pushreg %r13
  pushq %r14
  .seh_pushreg %r14
  pushq %r15
  .seh_pushreg %r15
  subq $200, %rsp
  .seh_stackalloc 200
  movaps %xmm6, 32(%rsp)
  .seh_savexmm %xmm6, 32
  movaps %xmm7, 48(%rsp)
  .seh_savexmm %xmm7, 48
  movaps %xmm8, 64(%rsp)
  .seh_savexmm %xmm8, 64
  movaps %xmm9, 80(%rsp)
  .seh_savexmm %xmm9, 80
  movaps %xmm10, 96(%rsp)
  .seh_savexmm %xmm10, 96
  movaps %xmm11, 112(%rsp)
  .seh_savexmm %xmm11, 112
  movaps %xmm12, 128(%rsp)
  .seh_savexmm %xmm12, 128
  movaps %xmm13, 144(%rsp)
  .seh_savexmm %xmm13, 144
  movaps %xmm14, 160(%rsp)
  .seh_savexmm %xmm14, 160
  movaps %xmm15, 176(%rsp)
  .seh_savexmm %xmm15, 176
  .seh_handler lite_SehGuardHandler, @except
  .seh_endprologue
  movq %r8, 192(%rsp)
  movq %rcx, %rax
  movq %rdx, %rcx
  call *%rax
  xorl %eax, %eax
  jmp lite_seh_guard_done
lite_seh_guard_recover:
  movl $1, %eax
lite_seh_guard_done:
  movaps 32(%rsp), %xmm6
  movaps 48(%rsp), %xmm7
  movaps 64(%rsp), %xmm8
  movaps 80(%rsp), %xmm9
  movaps 96(%rsp), %xmm10
  movaps 112(%rsp), %xmm11
  movaps 128(%rsp), %xmm12
  movaps 144(%rsp), %xmm13
  movaps 160(%rsp), %xmm14
  movaps 176(%rsp), %xmm15
  addq $200, %rsp
  popq %r15
  popq %r14
  popq %r13
  popq %r12
  popq %rdi
  popq %rsi
  popq %rbx
  popq %rbp
  ret
  .seh_endproc
)");

#else
#error "the exception guard supports i386 and x86-64"
#endif

namespace base {

bool CallWithExceptionGuard(void (*function)(void* context),
                            void* context,
                            ExceptionRecord* record) {
  ExceptionRecord local;
  GuardFrame frame = {};
  frame.record = record ? record : &local;
  frame.record->code = 0;
  return lite_CallWithSehFrame(function, context, &frame) == 0;
}

}  // namespace base
