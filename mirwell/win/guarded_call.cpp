// A frame-based structured exception handler around one call, for both
// Windows architectures. MinGW's compilers have no __try/__except, so the
// guard frame is written in assembly, the way a __try block compiles:
//
// x86-64: exceptions are dispatched by walking the stack with the unwind
// tables. mirwell_guarded_call has its own unwind entry naming
// mirwell_guard_handler as its exception handler (.seh_handler, @except).
// When an exception raised below it finds no handler deeper down, the
// dispatcher calls ours; it asks RtlUnwindEx to unwind every frame below
// ours (running their unwind handlers) and to resume at
// mirwell_guard_resume with our frame's stack pointer and RAX = 1.
//
// x86: exceptions are dispatched along the chain of registration records
// starting at FS:[0]. mirwell_guarded_call pushes a record (next, handler)
// on its stack, followed by its frame pointer, and links it at FS:[0]. The
// handler calls RtlUnwind to unwind the newer records up to ours (as MSVC's
// __except does), then takes back our stack and frame pointers from the
// record and jumps to the common exit, which unlinks the record and
// restores the registers the function saved on entry. It never returns to
// the dispatcher, so nothing of the faulted frames is resumed. The handler
// is the one entry of the image's table of safe handlers (the load
// configuration _load_config_used below): Windows calls no other handler
// in this image, so a registration record that an overrun writes on the
// stack cannot send an exception to code of ours.
//
// A vectored handler is not used: it would run before the foreign code's own
// handlers and take exceptions that code means to handle itself, and it
// would skip the unwinding of the frames in between.
#include "guarded_call.h"

#include <windows.h>

#if defined(__x86_64__)

extern "C" char mirwell_guard_resume[];

extern "C" EXCEPTION_DISPOSITION mirwell_guard_handler(EXCEPTION_RECORD* record,
                                                       void* establisherFrame,
                                                       CONTEXT* /*context*/,
                                                       DISPATCHER_CONTEXT* dispatch) {
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) {
    return ExceptionContinueSearch;  // unwinding through us: nothing to clean up
  }
  RtlUnwindEx(establisherFrame, mirwell_guard_resume, record, reinterpret_cast<void*>(1),
              dispatch->ContextRecord, dispatch->HistoryTable);
  return ExceptionContinueSearch;  // not reached
}

// rcx = fn, rdx = context. 40 bytes: the callee's 32-byte home area and the
// alignment of the stack to 16 bytes at the call.
asm(R"(
    .text
    .globl mirwell_guarded_call
    .def mirwell_guarded_call; .scl 2; .type 32; .endef
    .seh_proc mirwell_guarded_call
mirwell_guarded_call:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    xorl %eax, %eax
    addq $40, %rsp
    ret
    .globl mirwell_guard_resume
mirwell_guard_resume:
    movl $1, %eax
    addq $40, %rsp
    ret
    .seh_handler mirwell_guard_handler, @except
    .seh_endproc
)");

#elif defined(__i386__)

// Stack of mirwell_guarded_call after its prologue (ebp-relative):
//   +12 context, +8 fn, +4 return address, +0 caller's ebp,
//   -4 ebx, -8 esi, -12 edi, then the registration record:
//   -16 our ebp, -20 handler, -24 next record (FS:[0] points here).
// The handler: EXCEPTION_DISPOSITION __cdecl (record, frame, context, dispatch).
asm(R"(
    .text
    .globl _mirwell_guarded_call
    .def _mirwell_guarded_call; .scl 2; .type 32; .endef
_mirwell_guarded_call:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl %ebp
    pushl $_mirwell_guard_handler
    pushl %fs:0
    movl %esp, %fs:0
    pushl 12(%ebp)
    calll *8(%ebp)
    xorl %eax, %eax
_mirwell_guard_leave:
    movl -24(%ebp), %ecx
    movl %ecx, %fs:0
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

    .globl _mirwell_guard_handler
    .def _mirwell_guard_handler; .scl 2; .type 32; .endef
_mirwell_guard_handler:
    movl 4(%esp), %eax
    testl $6, 4(%eax)
    jz 1f
    movl $1, %eax
    ret
1:
    movl 8(%esp), %ebx
    pushl $0
    pushl %eax
    pushl $0
    pushl %ebx
    calll _RtlUnwind@16
    movl %ebx, %esp
    movl 8(%ebx), %ebp
    movl $1, %eax
    jmp _mirwell_guard_leave

    .section .rdata,"dr"
    .p2align 2
_mirwell_safe_handlers:
    .rva _mirwell_guard_handler
    .globl __load_config_used
    .p2align 2
__load_config_used:
    .long 72                       # Size: up to the table of safe handlers
    .fill 15, 4, 0                 # TimeDateStamp .. SecurityCookie: unused
    .long _mirwell_safe_handlers   # SEHandlerTable
    .long 1                        # SEHandlerCount
)");

#else
#error "mirwell_guarded_call is written for x86 and x86-64"
#endif
