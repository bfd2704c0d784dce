// Two interleaved escape-time iterations on the x87 unit, for lines of any
// 80-bit coordinates: those that x87_three_lanes.S does not take, whose
// coordinates are not all doubles or sums of two doubles (beyond a double's
// exponent range, subnormal, not a number).
//
// A line of pixels shares one coordinate (the imaginary part along a row,
// the real part along a column); it stays in a register for the whole line.
// Each lane keeps its pixel's other coordinate in a register too, read once
// when the pixel starts: the iteration itself touches memory only to store
// doubles (an 80-bit load is microcoded on some cores and costs more than
// the arithmetic).
//
// One iteration of a lane is three multiplications and four additions in
// exactly the grouping of the reference loop. The fifth addition, the
// squared modulus xx + yy, decides only the comparison with 4.0: the x87
// stores xx and yy as doubles and the lane's tests add them in SSE, off the
// x87 unit and its registers. That sum is within 2^-51 of the exact one, so
// a sum below 4 (1 - 2^-50) means the 80-bit sum is not above 4.0 and a sum
// above 4 (1 + 2^-50) (and not NaN) means it is; a sum between the two is
// left to the caller, who decides the pixel with the exact comparison.
//
// Register use:  rdi job   rax scratch   rbp bits of 4 (1 - 2^-50)
//   lane A: rdx &out  rsi tests left before its next event  r9 saved squared modulus
//   lane B: r10 &out  r11 ...                                r13 ...
//   next pixel: r12 &varying  r14 &out  r15 pixels left
// x87 stack at the top of the loop: xA yA xB yB vA vB c, where v is a lane's
// varying coordinate and c the shared one.

        .intel_syntax noprefix
        .text

#include "x87_kernel_frame.inc"

// One iteration of the lane on top:  in  x y X Y vA vB c,  out  X Y x' y' vA vB c,
// where v is the lane's own varying coordinate, vA or vB.
// Row: v = cr, c = ci; column: v = ci, c = cr.
.macro LANE row, lane
        PRODUCTS \lane                  // yy xy xx X Y vA vB c
.if \row
  .if \lane
        fsub    st(0), st(6)            // t=yy-cr xy xx X Y vA vB ci
  .else
        fsub    st(0), st(5)
  .endif
        fsubp   st(2), st               // xy x'=xx-t X Y vA vB ci
        fadd    st(0), st(0)            // xy+xy x'
        fadd    st(0), st(6)            // y'=(xy+xy)+ci x' X Y vA vB ci
.else
        fsub    st(0), st(7)            // t=yy-cr xy xx X Y vA vB cr
        fsubp   st(2), st               // xy x'=xx-t X Y vA vB cr
        fadd    st(0), st(0)            // xy+xy x'
  .if \lane
        fadd    st(0), st(5)            // y'=(xy+xy)+ci x' X Y vA vB cr
  .else
        fadd    st(0), st(4)
  .endif
.endif
        fxch    st(3)                   // Y x' X y'
        fxch    st(1)                   // x' Y X y'
        fxch    st(2)                   // X Y x' y'
.endm

// Sets the z and v of a lane to a new pixel's, from its varying part pushed
// on top: x = cr and y = ci, v the varying part. x1, x2 and v1 are the places
// of the lane's x, y and v under the pushed value.
.macro LOAD_PIXEL row, x1, x2, v1
        fst     st(\v1)                 // v
.if \row
        fstp    st(\x1)                 // x = cr
        fld     st(6)
        fstp    st(\x2)                 // y = ci
.else
        fstp    st(\x2)                 // y = ci
        fld     st(6)
        fstp    st(\x1)                 // x = cr
.endif
.endm

// A lane's pixel ended, or may have: its count, then the next pixel, or an
// idle lane iterating c = (0, shared). The lane's x and y
// lie at st(x) and st(x1), and at st(x1) and st(x2) once one more value has
// been pushed, when its v lies at st(v1).
.macro END_LANE row=, lane=, x=, x1=, x2=, v1=, out=, rem=, saved=, special=, cycle=, event=, back=, continue=
\special:
        ESCAPE_PATH \lane, \rem, \out, \back, .Lnext\@, [rdi+FARBOUND]
\cycle:
        CHECK_CYCLE \lane, \x1, \x2, \rem, \back, .Lended\@
\event:
        SAVE_POINT \lane, \x, \x1, \rem, \saved, .Lended\@, \continue
.Lended\@:
        mov     dword ptr [\out], 0
.Lnext\@:
        test    r15, r15
        jz      .Lidle\@
        TAKE_PIXEL \out, .Lnan\@
        START_PIXEL \lane, \rem, \saved
        LOAD_PIXEL \row, \x1, \x2, \v1
        jmp     \continue
.Lnan\@:
        NAN_PIXEL \out, .Lnext\@
.Lidle\@:
        IDLE_LANE \lane, \rem, \saved, \out, .Ldone
        fldz
        LOAD_PIXEL \row, \x1, \x2, \v1
        jmp     \continue
.endm

.macro KERNEL name, row
        KERNEL_ENTRY \name

        mov     r12, [rdi+VARYING]
        mov     r14, [rdi+OUT]
        mov     r15, [rdi+COUNT]
        mov     rbp, [rdi+NEARBOUND]
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
        .rept   6
        fldz
        .endr
        jmp     .Ltests\@

        .p2align 4
.Lloop\@:
        LANE    \row, 0
        LANE    \row, 1
.Ltests\@:
        TEST_LANE lane=0, rem=rsi, saved=r9, special=.LspecialA\@, cycle=.LcycleA\@, event=.LeventA\@, \
                  back=.LbackA\@, sum=1
.LafterA\@:
        TEST_LANE lane=1, rem=r11, saved=r13, special=.LspecialB\@, cycle=.LcycleB\@, event=.LeventB\@, \
                  back=.LbackB\@, loop=.Lloop\@, sum=1

        END_LANE row=\row, lane=0, x=0, x1=1, x2=2, v1=5, out=rdx, rem=rsi, saved=r9, special=.LspecialA\@, \
                 cycle=.LcycleA\@, event=.LeventA\@, back=.LbackA\@, continue=.LafterA\@
        END_LANE row=\row, lane=1, x=2, x1=3, x2=4, v1=6, out=r10, rem=r11, saved=r13, special=.LspecialB\@, \
                 cycle=.LcycleB\@, event=.LeventB\@, back=.LbackB\@, continue=.Lloop\@
#if defined(__ELF__)
        .size   \name, .-\name
#endif
.endm

        .set    STATE, 0
        .set    STATE_EVERY, 0
        .set    SQUARES_OF_STATE, 0
        KERNEL  QarnX87Row, 1
        KERNEL  QarnX87Column, 0
        .set    STATE, 1
        .set    STATE_EVERY, 1
        .set    SQUARES_OF_STATE, 1
        KERNEL  QarnX87RowState, 1
        KERNEL  QarnX87ColumnState, 0

// Shared exit of the kernels: the x87 stack holds both lanes and c.
.Ldone:
        KERNEL_EXIT 7

#if defined(__ELF__)
        .section .note.GNU-stack, "", @progbits
#endif
