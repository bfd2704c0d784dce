// Three interleaved escape-time iterations on the x87 unit.
//
// One iteration of a lane is three multiplications and five additions in
// exactly the grouping of the reference loop. Three pixels in flight keep the
// adder busy while each pixel waits on its own chain of results; the eight
// x87 registers hold the three pixels' z and two temporaries, so both parts
// of c are read from memory. These kernels serve lines whose coordinates are
// all exactly doubles: a double memory operand gives the same result as the
// 80-bit value and costs far less than an 80-bit load (x87_two_lanes.S
// serves every other line).
//
// The squared modulus is also stored as a double, so that the escape test is
// an integer comparison off the floating-point critical path: a double above
// 4.0 (and not NaN) means the 80-bit sum is above 4.0; a double of exactly
// 4.0 is left to the caller.
//
// A line is `count` pixels sharing one part of c (the imaginary part along a
// row, the real part along a column); the other part of pixel i is element i
// of `varying` and its count goes to element i of `out`.
//
// Registers:  rdi job   rax scratch   rbp bits of 4.0 as a double
//   r12 varying   r14 2 * count   r15 2 * index of the next pixel
//   lane A: rbx 2 * index  rdx &out  rsi tests left
//   lane B: r8             r10       r11
//   lane C: rcx            r13       r9
// x87 stack at the top of the loop: xA yA xB yB xC yC.

        .intel_syntax noprefix
        .text

#include "x87_kernel_frame.inc"

// The real part (row) or imaginary part (column) of the lane's pixel.
.macro VARYING_OPERAND wide, idx
  .if \wide
        tbyte ptr [r12+\idx*8]
  .else
        qword ptr [r12+\idx*4]
  .endif
.endm

// One iteration of the lane on top:  in  x y P Q R S,  out  P Q R S x' y'.
.macro LANE row, wide, idx, squared
        fld     st(1)                   // y x y . . . .
        fmul    st(0), st(1)            // xy x y
        fxch    st(2)                   // y x xy
        fmul    st(0), st(0)            // yy x xy
        fxch    st(1)                   // x yy xy
        fmul    st(0), st(0)            // xx yy xy
        fld     st(0)                   // xx xx yy xy
        fadd    st(0), st(2)            // s=xx+yy xx yy xy
        fstp    qword ptr [rdi+\squared]
  .if \wide
    .if \row
        fld     tbyte ptr [r12+\idx*8]  // cr xx yy xy
    .else
        fld     tbyte ptr [rdi+SHARED]
    .endif
        fsubp   st(2), st               // xx t=yy-cr xy
        fsubrp  st(1), st               // x'=xx-t xy
        fxch    st(1)                   // xy x'
        fadd    st(0), st(0)            // xy+xy x'
    .if \row
        fld     tbyte ptr [rdi+SHARED]  // ci 2xy x'
    .else
        fld     tbyte ptr [r12+\idx*8]
    .endif
        faddp   st(1), st               // y' x'
  .else
        fxch    st(1)                   // yy xx xy
    .if \row
        fsub    qword ptr [r12+\idx*4]  // t=yy-cr xx xy
    .else
        fsub    qword ptr [rdi+SHARED64]
    .endif
        fsubp   st(1), st               // x'=xx-t xy
        fxch    st(1)                   // xy x'
        fadd    st(0), st(0)            // xy+xy x'
    .if \row
        fadd    qword ptr [rdi+SHARED64] // y' x'
    .else
        fadd    qword ptr [r12+\idx*4]
    .endif
  .endif
        fxch    st(5)                   // y' x' P Q R S  ->  P Q R S x' y'
        fxch    st(1)
        fxch    st(4)
        fxch    st(2)
        fxch    st(1)
        fxch    st(3)
        fxch    st(1)
.endm

// Replaces the z of a lane by c of its new pixel; the slots are the lane's
// places once one more value has been pushed.
.macro LOAD_PIXEL row, wide, idx, xslot, yslot
  .if \row
    .if \wide
        fld     tbyte ptr [r12+\idx*8]
    .else
        fld     qword ptr [r12+\idx*4]
    .endif
        fstp    st(\xslot)
        fld     tbyte ptr [rdi+SHARED]
        fstp    st(\yslot)
  .else
        fld     tbyte ptr [rdi+SHARED]
        fstp    st(\xslot)
    .if \wide
        fld     tbyte ptr [r12+\idx*8]
    .else
        fld     qword ptr [r12+\idx*4]
    .endif
        fstp    st(\yslot)
  .endif
.endm

// The escape and depth tests of one lane after an iteration.
.macro TEST_LANE squared, rem, special, depth_reached, back
        cmp     [rdi+\squared], rbp
        jae     \special
\back:
        dec     \rem
        jz      \depth_reached
.endm

// A lane's pixel ended, or may have: its count, then the next pixel, or an
// idle lane iterating z = 0 into a sink until the others are done.
.macro END_LANE row, wide, idx, out, rem, squared, xslot, yslot, special, depth_reached, back, continue
\special:
        mov     rax, [rdi+\squared]
        cmp     rax, rbp
        je      1f
        cmp     rax, [rdi+INFINITY]
        ja      \back                   // not a number: never escapes
        mov     rax, [rdi+DEPTH]
        sub     rax, \rem
        inc     rax                     // the number of this test
        mov     [\out], eax
        jmp     2f
1:      mov     dword ptr [\out], -1    // exactly 4.0 as a double: the caller decides
        jmp     2f
\depth_reached:
        mov     dword ptr [\out], 0
2:      cmp     r15, r14
        jae     3f
        mov     \idx, r15
        mov     rax, [rdi+OUT]
        lea     \out, [rax+r15*2]
        add     r15, 2
        mov     \rem, [rdi+DEPTH]
        LOAD_PIXEL \row, \wide, \idx, \xslot, \yslot
        jmp     \continue
3:      lea     rax, [rdi+IDLESINK]
        cmp     \out, rax
        je      4f
        dec     qword ptr [rdi+ACTIVE]
        jz      .Ldone\@
4:      lea     \out, [rdi+IDLESINK]
        mov     \rem, [rdi+NEVER]
        fldz
        fstp    st(\xslot)
        fldz
        fstp    st(\yslot)
        jmp     \continue
.Ldone\@:
        jmp     .LfinishThree
.endm

.macro KERNEL name, row, wide
        KERNEL_ENTRY \name

        mov     r12, [rdi+VARYING]
        mov     r14, [rdi+COUNT]
        add     r14, r14
        xor     r15d, r15d
        mov     rbp, [rdi+BOUND]
        mov     qword ptr [rdi+ACTIVE], 3
        // Every lane starts as if it had just reached the depth with a pixel
        // whose count goes to the sink: the refills start the line.
        lea     rdx, [rdi+STARTSINK]
        mov     r10, rdx
        mov     r13, rdx
        xor     ebx, ebx
        xor     r8d, r8d
        xor     ecx, ecx
        mov     esi, 1
        mov     r11d, 1
        mov     r9d, 1
        fldz
        fldz
        fldz
        fldz
        fldz
        fldz
        jmp     .Ltests\@

        .p2align 4
.Lloop\@:
        LANE    \row, \wide, rbx, SQA
        LANE    \row, \wide, r8, SQB
        LANE    \row, \wide, rcx, SQC
.Ltests\@:
        TEST_LANE SQA, rsi, .LspecialA\@, .LdepthA\@, .LbackA\@
.LafterA\@:
        TEST_LANE SQB, r11, .LspecialB\@, .LdepthB\@, .LbackB\@
.LafterB\@:
        TEST_LANE SQC, r9, .LspecialC\@, .LdepthC\@, .LbackC\@
        jmp     .Lloop\@

        END_LANE \row, \wide, rbx, rdx, rsi, SQA, 1, 2, .LspecialA\@, .LdepthA\@, .LbackA\@, .LafterA\@
        END_LANE \row, \wide, r8, r10, r11, SQB, 3, 4, .LspecialB\@, .LdepthB\@, .LbackB\@, .LafterB\@
        END_LANE \row, \wide, rcx, r13, r9, SQC, 5, 6, .LspecialC\@, .LdepthC\@, .LbackC\@, .Lloop\@

#if defined(__ELF__)
        .size   \name, .-\name
#endif
.endm

        KERNEL  QarnX87RowDouble, 1, 0
        KERNEL  QarnX87ColumnDouble, 0, 0

// Shared exit of the kernels: the x87 stack holds the six values of z.
.LfinishThree:
        KERNEL_EXIT 6

#if defined(__ELF__)
        .section .note.GNU-stack, "", @progbits
#endif
