// Two interleaved escape-time iterations on the x87 unit, for lines whose
// coordinates are not all exactly doubles.
//
// A line of pixels shares one coordinate (the imaginary part along a row,
// the real part along a column); it stays in a register for the whole line.
// The other coordinate is read per pixel as an 80-bit value.
//
// One iteration of a lane is three multiplications and five additions in
// exactly the grouping of the reference loop; the squared modulus is also
// stored as a double so that the escape test is an integer comparison off the
// floating-point critical path. A double above 4.0 (and not NaN) means the
// 80-bit sum is above 4.0; a double of exactly 4.0 is left to the caller.
//
// Register use:  rdi job   rax scratch   rbp bits of 4.0 as a double
//   lane A: rbx &varying  rdx &out  rsi tests left before its next event
//   lane B: r8  &varying  r10 &out  r11 tests left before its next event
//   next pixel: r12 &varying  r14 &out  r15 pixels left
//   r9, r13: the bits of lane A's and lane B's saved squared modulus
// x87 stack at the top of the loop: xA yA xB yB c (the shared coordinate).

        .intel_syntax noprefix
        .text

#include "x87_kernel_frame.inc"

// One iteration of the lane on top:  in  x y X Y c,  out  X Y x' y' c.
.macro LANE row, reg, squared
        fld     st(1)                   // y x y X Y c
        fmul    st(0), st(1)            // xy x y X Y c
        fxch    st(2)                   // y x xy X Y c
        fmul    st(0), st(0)            // yy x xy X Y c
        fxch    st(1)                   // x yy xy X Y c
        fmul    st(0), st(0)            // xx yy xy X Y c
        fld     st(0)                   // xx xx yy xy X Y c
        fadd    st(0), st(2)            // s=xx+yy xx yy xy X Y c
        fstp    qword ptr [rdi+\squared]
.if \row
        fld     tbyte ptr [\reg]        // cr xx yy xy X Y ci
        fsubp   st(2), st               // xx t=yy-cr xy X Y ci
        fsubrp  st(1), st               // x'=xx-t xy X Y ci
        fxch    st(1)                   // xy x' X Y ci
        fadd    st(0), st(0)            // xy+xy x' X Y ci
        fadd    st(0), st(4)            // y' x' X Y ci
.else
        fxch    st(1)                   // yy xx xy X Y cr
        fsub    st(0), st(5)            // t=yy-cr xx xy X Y cr
        fsubp   st(1), st               // x'=xx-t xy X Y cr
        fxch    st(1)                   // xy x' X Y cr
        fadd    st(0), st(0)            // xy+xy x' X Y cr
        fld     tbyte ptr [\reg]        // ci 2xy x' X Y cr
        faddp   st(1), st               // y' x' X Y cr
.endif
        fxch    st(3)                   // Y x' X y' c
        fxch    st(1)                   // x' Y X y' c
        fxch    st(2)                   // X Y x' y' c
.endm

// Pushes the next pixel's x = cr and y = ci over a stack whose shared
// coordinate lies at st(2).
.macro LOAD_PIXEL row, reg
.if \row
        fld     st(2)                   // ci . . c
        fld     tbyte ptr [\reg]        // cr ci . . c
.else
        fld     tbyte ptr [\reg]        // ci . . c
        fld     st(3)                   // cr ci . . c
.endif
.endm

.macro KERNEL name, row
        KERNEL_ENTRY \name

        mov     r12, [rdi+VARYING]
        mov     r14, [rdi+OUT]
        mov     r15, [rdi+COUNT]
        mov     rbp, [rdi+BOUND]
        mov     qword ptr [rdi+ACTIVE], 2
        fld     tbyte ptr [rdi+SHARED]  // c
        // Both lanes start as if they had just reached the depth with a
        // pixel whose count goes nowhere: the refills below start the line.
        mov     rax, [rdi+DEPTH]
        mov     [rdi+NEXTSAVE], rax
        mov     [rdi+NEXTSAVE+8], rax
        mov     r9, [rdi+NOMATCH]
        mov     r13, r9
        lea     rdx, [rdi+STARTSINK]
        mov     r10, rdx
        mov     esi, 1
        mov     r11d, 1
        fldz
        fldz
        fldz
        fldz
        jmp     .Ltests\@

        .p2align 4
.Lloop\@:
        LANE    \row, rbx, SQA
        LANE    \row, r8, SQB
.Ltests\@:
        TEST_LANE 0, rsi, r9, .LspecialA\@, .LcycleA\@, .LeventA\@, .LbackA\@
.LafterA\@:
        TEST_LANE 1, r11, r13, .LspecialB\@, .LcycleB\@, .LeventB\@, .LbackB\@, .Lloop\@

// Lane A ended, or may have: its count, then the next pixel or an idle lane.
.LspecialA\@:
        ESCAPE_PATH 0, rsi, rdx, .LbackA\@, .LrefillA\@
.LcycleA\@:
        CHECK_CYCLE 0, 1, 2, rsi, .LbackA\@, .LendedA\@
.LeventA\@:
        SAVE_POINT 0, 0, 1, rsi, r9, .LendedA\@, .LafterA\@
.LendedA\@:
        mov     dword ptr [rdx], 0
.LrefillA\@:
        fstp    st(0)                   // xB yB c
        fstp    st(0)
.LnextA\@:
        test    r15, r15
        jz      .LidleA\@
        TAKE_PIXEL rbx, rdx, .LnanA\@
        START_PIXEL 0, rsi, r9
        LOAD_PIXEL \row, rbx     // cr ci xB yB c
        jmp     .LafterA\@
.LnanA\@:
        NAN_PIXEL rdx, .LnextA\@
.LidleA\@:
        // An idle lane iterates c = (0, shared) into its own sink until the
        // other lane is done; only the first time does it count as ending.
        lea     rax, [rdi+IDLESINK]
        cmp     rdx, rax
        je      .LreidleA\@
        dec     qword ptr [rdi+ACTIVE]
        jz      .Ldone\@
.LreidleA\@:
        lea     rbx, [rdi+ZERO]
        lea     rdx, [rdi+IDLESINK]
        IDLE_LANE 0, rsi, r9
        LOAD_PIXEL \row, rbx
        jmp     .LafterA\@

.LspecialB\@:
        ESCAPE_PATH 1, r11, r10, .LbackB\@, .LrefillB\@
.LcycleB\@:
        CHECK_CYCLE 1, 3, 4, r11, .LbackB\@, .LendedB\@
.LeventB\@:
        SAVE_POINT 1, 2, 3, r11, r13, .LendedB\@, .Lloop\@
.LendedB\@:
        mov     dword ptr [r10], 0
.LrefillB\@:
        fxch    st(2)                   // xB yA xA yB c
        fstp    st(0)                   // yA xA yB c
        fxch    st(2)                   // yB xA yA c
        fstp    st(0)                   // xA yA c
.LnextB\@:
        test    r15, r15
        jz      .LidleB\@
        TAKE_PIXEL r8, r10, .LnanB\@
        START_PIXEL 1, r11, r13
        LOAD_PIXEL \row, r8      // cr ci xA yA c
.LrotateB\@:
        fxch    st(2)                   // xA ci cr yA c
        fxch    st(1)                   // ci xA cr yA c
        fxch    st(3)                   // yA xA cr ci c
        fxch    st(1)                   // xA yA cr ci c
        jmp     .Lloop\@
.LnanB\@:
        NAN_PIXEL r10, .LnextB\@
.LidleB\@:
        lea     rax, [rdi+IDLESINK]
        cmp     r10, rax
        je      .LreidleB\@
        dec     qword ptr [rdi+ACTIVE]
        jz      .Ldone\@
.LreidleB\@:
        lea     r8, [rdi+ZERO]
        lea     r10, [rdi+IDLESINK]
        IDLE_LANE 1, r11, r13
        LOAD_PIXEL \row, r8
        jmp     .LrotateB\@

.Ldone\@:
        KERNEL_EXIT 3                   // the other lane's z and c
#if defined(__ELF__)
        .size   \name, .-\name
#endif
.endm

        KERNEL  QarnX87Row, 1
        KERNEL  QarnX87Column, 0

#if defined(__ELF__)
        .section .note.GNU-stack, "", @progbits
#endif
