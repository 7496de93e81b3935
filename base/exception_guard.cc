#include "base/exception_guard.h"

#include <delayimp.h>

#include <cstddef>

// GCC for 32-bit Windows has no __try/__except, so the guard registers a
// structured-exception frame by hand: the record sits on the stack and is
// linked into the thread's chain at fs:[0]. When an exception reaches it,
// the handler saves what was raised and lets execution continue at the
// guard's recovery label with the stack and frame pointers the guard had,
// which unlinks the record again.

namespace base {
namespace {

struct GuardFrame {
  // Layout of EXCEPTION_REGISTRATION_RECORD first; the assembly below uses
  // fixed offsets into this structure.
  GuardFrame* next;     // 0
  void* handler;        // 4
  DWORD saved_esp;      // 8
  DWORD saved_ebp;      // 12
  DWORD resume_eip;     // 16
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
  constexpr DWORD kUnwinding = EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND;
  if (exception->ExceptionFlags & (kUnwinding | EXCEPTION_NONCONTINUABLE))
    return ExceptionContinueSearch;
  auto* frame = static_cast<base::GuardFrame*>(establisher_frame);
  base::ExceptionRecord* record = frame->record;
  record->code = exception->ExceptionCode;
  record->dll_name.clear();
  record->function_name.clear();
  if (exception->ExceptionCode == base::kDelayLoadModNotFound &&
      exception->NumberParameters >= 1 && exception->ExceptionInformation[0]) {
    const auto* info =
        reinterpret_cast<const DelayLoadInfo*>(exception->ExceptionInformation[0]);
    if (info->szDll)
      record->dll_name = info->szDll;
    // Imports by ordinal carry a number, not a name.
    if (info->dlp.fImportByName && info->dlp.szProcName)
      record->function_name = info->dlp.szProcName;
  }
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
