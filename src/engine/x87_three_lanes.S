// Three interleaved escape-time iterations on the x87 unit.
//
// One iteration of a lane is three multiplications and five additions in
// exactly the grouping of the reference loop. Three pixels in flight keep the
// adder busy while each pixel waits on its own chain of results; the eight
// x87 registers hold the three pixels' z and two temporaries, so both parts
// of c are read from memory. These kernels serve lines whose coordinates are
// all exactly doubles (a double memory operand gives the same result as the
// 80-bit value and costs far less than an 80-bit load) or all exactly sums
// of two doubles (SPLIT, below); x87_two_lanes.S serves every other line.
//
// Two forms of the iteration. The exchanging form, which the renderer runs
// on every x86-64 core, brings each lane's parts to the top of the stack with
// register exchanges: AMD's cores execute them for free and Intel's Golden
// Cove removes them at renaming. The fixed-register form keeps each lane's z
// in fixed registers and never exchanges; it is run only when asked for by
// name, for cores that issue one exchange a cycle (Intel's older Xeons).
//
// The escape test is an integer comparison off the floating-point critical
// path. The fixed-register form adds the squared modulus on the x87 and
// stores it as a double: a double above 4.0 (and not NaN) means the 80-bit
// sum is above 4.0; a double of exactly 4.0 is left to the caller. The
// exchanging form stores the doubles of xx and yy instead and adds them in
// SSE, sparing the x87 unit an addition and a copy on every iteration, with
// the margin of x87_two_lanes.S around 4.0 left to the caller.
//
// A line is `count` pixels sharing one part of c (the imaginary part along a
// row, the real part along a column); the other part of pixel i is element i
// of `varying` and its count goes to element i of `out`.
//
// Registers:  rdi job   rax scratch   rbp bits of 4.0 (exchanging: 4 (1 - 2^-50)) as a double
//   r12 varying   r14 2 * count   r15 2 * index of the next pixel
//   lane A: rbx 2 * index  rdx &out  rsi tests left before its next event
//   lane B: r8             r10       r11
//   lane C: rcx            r13       r9
// x87 stack at the top of the loop: xA yA xB yB xC yC (the exchanging form
// has yA xA yB xB yC xC half-way through it).

        .intel_syntax noprefix
        .text

#include "x87_kernel_frame.inc"

// SPLIT, set before each kernel: 0 where every coordinate is a double, read
// as a memory operand; 1 where each is a pair of doubles (hi, lo) whose sum,
// one exact addition, is the 80-bit coordinate.

// Pushes the lane's varying coordinate, or the shared one.
.macro LOAD_VARYING idx
  .if SPLIT
        fld     qword ptr [r12+\idx*8]
        fadd    qword ptr [r12+\idx*8+8]
  .else
        fld     qword ptr [r12+\idx*4]
  .endif
.endm
.macro LOAD_SHARED
  .if SPLIT
        fld     qword ptr [rdi+SHAREDSPLIT]
        fadd    qword ptr [rdi+SHAREDSPLIT+8]
  .else
        fld     qword ptr [rdi+SHARED64]
  .endif
.endm

// st(0) - cr and st(0) + ci, the parts of the lane's c as memory operands,
// or rebuilt in st(0) first (one register more).
.macro FSUB_CR row, idx
  .if SPLIT
    .if \row
        LOAD_VARYING \idx
    .else
        LOAD_SHARED
    .endif
        fsubp   st(1), st
  .elseif \row
        fsub    qword ptr [r12+\idx*4]
  .else
        fsub    qword ptr [rdi+SHARED64]
  .endif
.endm
.macro FADD_CI row, idx
  .if SPLIT
    .if \row
        LOAD_SHARED
    .else
        LOAD_VARYING \idx
    .endif
        faddp   st(1), st
  .elseif \row
        fadd    qword ptr [rdi+SHARED64]
  .else
        fadd    qword ptr [r12+\idx*4]
  .endif
.endm

// One iteration of the lane whose x and y stay in st(X) and st(X+1), where
// x1, x2, x3 are X+1, X+2, X+3; the other lanes' registers are not touched.
.macro LANE_FIXED row, idx, squared, x1, x2, x3, lane
        fld     st(\x1)                 // y
        KEEP_STATE \lane, 1
        fmul    st(0), st(\x1)          // xy
        fld     st(\x1)                 // x xy
        KEEP_STATE \lane, 0
        fmulp   st(\x2), st             // xy          X: xx
        fld     st(\x2)                 // y xy
        fmulp   st(\x3), st             // xy          Y: yy
        fld     st(\x1)                 // xx xy
        fadd    st(0), st(\x3)          // s=xx+yy xy
        fstp    qword ptr [rdi+\squared]
        fadd    st(0), st(0)            // xy+xy
        FADD_CI \row, \idx              // y'
        fld     st(\x2)                 // yy y'
        FSUB_CR \row, \idx              // t=yy-cr y'
        fsubp   st(\x2), st             // y'          X: x'=xx-t
        fstp    st(\x2)                 //             Y: y'
.endm

// One iteration of the lane whose x and y are at st(p) and st(q), where p1
// and q1 are p+1 and q+1:  out  y' at st(p) and x' at st(q), every other
// register in place. The lanes' parts thus change places on every iteration
// and are back after two, for two exchanges a lane instead of the seven that
// keeping each lane's x above its y would take. The squared modulus is left
// to the lane's tests: xx and yy are stored as doubles, and the tests add
// them in SSE (see x87_two_lanes.S), which spares the x87 unit an addition
// and a copy on every iteration.
.macro LANE_SWAPPING row, idx, lane, p, q, p1, q1
        fld     st(\q)                  // y
        KEEP_STATE \lane, 1
        fmul    st(0), st(\p1)          // xy
        fadd    st(0), st(0)            // xy+xy
        FADD_CI \row, \idx              // y'
        fxch    st(\p1)                 // x            y' in x's place
        KEEP_STATE \lane, 0
        fmul    st(0), st(0)            // xx
        KEEP_SQUARE \lane, 0
        fxch    st(\q1)                 // y            xx in y's place
        fmul    st(0), st(0)            // yy
        KEEP_SQUARE \lane, 1
        FSUB_CR \row, \idx              // t=yy-cr
        fsubp   st(\q1), st             //              x'=xx-t in y's place
.endm

// Replaces the z of a lane by c of its new pixel; the slots are the lane's
// places once one more value has been pushed.
.macro LOAD_PIXEL row, idx, xslot, yslot
  .if \row
        LOAD_VARYING \idx
        fstp    st(\xslot)
        LOAD_SHARED
        fstp    st(\yslot)
  .else
        LOAD_SHARED
        fstp    st(\xslot)
        LOAD_VARYING \idx
        fstp    st(\yslot)
  .endif
.endm

// Without STATE_EVERY: the state of a pixel that escaped at test n > 1 (n in
// rax) before its lane looked ahead, z_n, rebuilt from the last save point.
// The save at test s kept z_(s+1), the state the lane's registers held
// there, as 80-bit values and as doubles; z_n is n - 1 - s iterations
// further. The lane takes them in the loop beside the other lanes, as it did
// the first time (the same operations on the same values, and tests that
// cannot end the pixel, since they did not end it then): its registers get
// z_(s+1) back, its tests left until its next save n - 1 - s, and that save
// marked REPLAYED, so that it writes the lane's registers out as the state
// (see SAVE_POINT). That is none where n - 1 is a save point, at most
// LOOKFROM / 2 - 1 before the look-ahead starts (on the whole set, 0.6 for
// each pixel that escapes after test 1), and fewer than n / 2 for the rare
// pixel that stopped looking ahead (or never did: inside NEAR_ESCAPE's
// disk), under half of what the caller's exact count would take. No side
// path runs meanwhile: a lane that replays has the bound in rbp, as every
// lane before its look-ahead and after it stopped. An idle lane's or the
// start's escape (their counts go to sinks) needs no state. `rem`, free once
// the pixel has ended, counts the iterations; the loop goes on at `back`.
.macro REPLAY_STATE entry, lane, x1, y1, out, rem, refill, back
\entry:
        mov     \rem, \out
        sub     \rem, [rdi+OUT]
        shr     \rem, 2                 // the pixel's index; a sink's is out of range
        cmp     \rem, [rdi+COUNT]
        jae     \refill
        mov     [\out], eax
        sub     rax, [rdi+LASTSAVE+8*\lane]
        dec     rax                     // the iterations from the saved state
        jz      .Lwrite\@               // its doubles are the state
        lea     \rem, [rax+1]           // the loop counts one off before it tests
        mov     qword ptr [rdi+NEXTSAVE+8*\lane], REPLAYED
        fld     tbyte ptr [rdi+SAVEDX+16*\lane]
        fstp    st(\x1)
        fld     tbyte ptr [rdi+SAVEDY+16*\lane]
        fstp    st(\y1)
        jmp     \back
.Lwrite\@:
        WRITE_STATE \lane, \out
        jmp     \refill
.endm

// A lane's pixel ended, or may have: its count, then the next pixel, or an
// idle lane iterating z = 0 into a sink until the others are done.
// The lane's x and y lie at st(x) and st(y), and at st(x1) and st(y1) once
// one more value has been pushed.
.macro END_LANE row=, lane=, x=, y=, x1=, y1=, idx=, out=, rem=, saved=, special=, cycle=, event=, back=, \
                continue=, upto=, resume=
\special:
  .if STATE && !STATE_EVERY
        cmp     rax, rbp
        jae     .Lescape\@
        LOOK_AHEAD \lane, \x, \y, \rem, \out, \resume, .Lrefill\@
.Lescape\@:
  .endif
        ESCAPE_PATH \lane, \rem, \out, \back, .Lrefill\@, \upto, .Lreplay\@
  .if STATE && !STATE_EVERY
        REPLAY_STATE .Lreplay\@, \lane, \x1, \y1, \out, \rem, .Lrefill\@, \back
  .endif
\cycle:
        CHECK_CYCLE \lane, \x1, \y1, \rem, \back, .Lended\@
\event:
        SAVE_POINT \lane, \x, \y, \rem, \saved, .Lended\@, \continue, \idx, \row, .Lreplayed\@
  .if STATE && !STATE_EVERY
.Lreplayed\@:                            // the replay's end: z_n in the lane's places
        fld     st(\x)
        fstp    qword ptr [rdi+LANESTATE+16*\lane]
        fld     st(\y)
        fstp    qword ptr [rdi+LANESTATE+16*\lane+8]
        WRITE_STATE \lane, \out
        jmp     .Lrefill\@
  .endif
.Lended\@:
        mov     dword ptr [\out], 0
.Lrefill\@:
        cmp     r15, r14
        jae     .Lidle\@
        // A pixel that surely escapes at its first test (the squared modulus
        // in doubles, with a margin) gets its count without entering a lane.
  .if SPLIT
        movsd   xmm0, qword ptr [r12+r15*8]  // hi: within 2^-52 of the coordinate
  .else
        movsd   xmm0, qword ptr [r12+r15*4]
  .endif
        mulsd   xmm0, xmm0
        addsd   xmm0, qword ptr [rdi+SHAREDSQUARE]
        comisd  xmm0, qword ptr [rdi+SURELYOUT]
        jbe     .Lload\@
        mov     rax, [rdi+OUT]
        mov     dword ptr [rax+r15*2], 1
        add     r15, 2
        jmp     .Lrefill\@
.Lload\@:
  .if STATE && !STATE_EVERY
        mov     [rdi+STATEFROM+8*\lane], rbp    // no look-ahead before test LOOKFROM
  .endif
        mov     \idx, r15
        mov     rax, [rdi+OUT]
        lea     \out, [rax+r15*2]
        add     r15, 2
        START_PIXEL \lane, \rem, \saved
        LOAD_PIXEL \row, \idx, \x1, \y1
        jmp     \continue
.Lidle\@:
        IDLE_LANE \lane, \rem, \saved, \out, .LfinishThree
        fldz
        fstp    st(\x1)
        fldz
        fstp    st(\y1)
        jmp     \continue
.endm

// `upto` as for ESCAPE_PATH: the fixed-register form adds the squared
// modulus on the x87 and leaves only a double of exactly 4.0 to the caller.
// `every` 1: with STATE, the exchanging form keeps the state on every
// iteration too, rather than by replays and look-ahead.
.macro KERNEL name, row, fixed, upto, every=0
        // The fixed form has no spare register for the side path's copies,
        // and keeps the state on every iteration.
        .set    STATE_EVERY, STATE && (\fixed || \every)
        .set    SQUARES_OF_STATE, 0
        KERNEL_ENTRY \name

        mov     r12, [rdi+VARYING]
        mov     r14, [rdi+COUNT]
        add     r14, r14
        xor     r15d, r15d
  .if \fixed
        mov     rbp, [rdi+BOUND]
  .else
        mov     rbp, [rdi+NEARBOUND]
  .endif
        mov     qword ptr [rdi+ACTIVE], 3
        // Every lane starts as if it had just reached the depth with a pixel
        // whose count goes to the sink: the refills start the line.
        mov     rax, [rdi+DEPTH]
        mov     [rdi+NEXTSAVE], rax
        mov     [rdi+NEXTSAVE+8], rax
        mov     [rdi+NEXTSAVE+16], rax
        mov     rax, [rdi+NOMATCH]
        mov     [rdi+SAVEDSQ], rax
        mov     [rdi+SAVEDSQ+8], rax
        mov     [rdi+SAVEDSQ+16], rax
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
  .if \fixed
        LANE_FIXED \row, rbx, SQA, 1, 2, 3, 0
        LANE_FIXED \row, r8, SQB, 3, 4, 5, 1
        LANE_FIXED \row, rcx, SQC, 5, 6, 7, 2
  .else
        // Each lane's y above its x after this round, and back after the next.
        LANE_SWAPPING \row, rbx, 0, 0, 1, 1, 2
        LANE_SWAPPING \row, r8, 1, 2, 3, 3, 4
        LANE_SWAPPING \row, rcx, 2, 4, 5, 5, 6
        TEST_LANE lane=0, rem=rsi, saved=[rdi+SAVEDSQ+0], special=.LspecialSA\@, cycle=.LcycleSA\@, \
                  event=.LeventSA\@, back=.LbackSA\@, sum=1, resume=.LresumeSA\@
.LafterSA\@:
        TEST_LANE lane=1, rem=r11, saved=[rdi+SAVEDSQ+8], special=.LspecialSB\@, cycle=.LcycleSB\@, \
                  event=.LeventSB\@, back=.LbackSB\@, sum=1, resume=.LresumeSB\@
.LafterSB\@:
        TEST_LANE lane=2, rem=r9, saved=[rdi+SAVEDSQ+16], special=.LspecialSC\@, cycle=.LcycleSC\@, \
                  event=.LeventSC\@, back=.LbackSC\@, sum=1, resume=.LresumeSC\@
.LafterSC\@:
        LANE_SWAPPING \row, rbx, 0, 1, 0, 2, 1
        LANE_SWAPPING \row, r8, 1, 3, 2, 4, 3
        LANE_SWAPPING \row, rcx, 2, 5, 4, 6, 5
  .endif
.Ltests\@:
        TEST_LANE lane=0, rem=rsi, saved=[rdi+SAVEDSQ+0], special=.LspecialA\@, cycle=.LcycleA\@, \
                  event=.LeventA\@, back=.LbackA\@, sum=1-\fixed, resume=.LresumeA\@
.LafterA\@:
        TEST_LANE lane=1, rem=r11, saved=[rdi+SAVEDSQ+8], special=.LspecialB\@, cycle=.LcycleB\@, \
                  event=.LeventB\@, back=.LbackB\@, sum=1-\fixed, resume=.LresumeB\@
.LafterB\@:
        TEST_LANE lane=2, rem=r9, saved=[rdi+SAVEDSQ+16], special=.LspecialC\@, cycle=.LcycleC\@, \
                  event=.LeventC\@, back=.LbackC\@, loop=.Lloop\@, sum=1-\fixed, resume=.LresumeC\@

        END_LANE row=\row, lane=0, x=0, y=1, x1=1, y1=2, idx=rbx, out=rdx, rem=rsi, \
                 saved=[rdi+SAVEDSQ], special=.LspecialA\@, cycle=.LcycleA\@, event=.LeventA\@, back=.LbackA\@, \
                 continue=.LafterA\@, upto=\upto, resume=.LresumeA\@
        END_LANE row=\row, lane=1, x=2, y=3, x1=3, y1=4, idx=r8, out=r10, rem=r11, \
                 saved=[rdi+SAVEDSQ+8], special=.LspecialB\@, cycle=.LcycleB\@, event=.LeventB\@, back=.LbackB\@, \
                 continue=.LafterB\@, upto=\upto, resume=.LresumeB\@
        END_LANE row=\row, lane=2, x=4, y=5, x1=5, y1=6, idx=rcx, out=r13, rem=r9, \
                 saved=[rdi+SAVEDSQ+16], special=.LspecialC\@, cycle=.LcycleC\@, event=.LeventC\@, back=.LbackC\@, \
                 continue=.Lloop\@, upto=\upto, resume=.LresumeC\@
  .if !\fixed
        // The same for the lanes with y above x.
        END_LANE row=\row, lane=0, x=1, y=0, x1=2, y1=1, idx=rbx, out=rdx, rem=rsi, \
                 saved=[rdi+SAVEDSQ], special=.LspecialSA\@, cycle=.LcycleSA\@, event=.LeventSA\@, back=.LbackSA\@, \
                 continue=.LafterSA\@, upto=\upto, resume=.LresumeSA\@
        END_LANE row=\row, lane=1, x=3, y=2, x1=4, y1=3, idx=r8, out=r10, rem=r11, \
                 saved=[rdi+SAVEDSQ+8], special=.LspecialSB\@, cycle=.LcycleSB\@, event=.LeventSB\@, back=.LbackSB\@, \
                 continue=.LafterSB\@, upto=\upto, resume=.LresumeSB\@
        END_LANE row=\row, lane=2, x=5, y=4, x1=6, y1=5, idx=rcx, out=r13, rem=r9, \
                 saved=[rdi+SAVEDSQ+16], special=.LspecialSC\@, cycle=.LcycleSC\@, event=.LeventSC\@, back=.LbackSC\@, \
                 continue=.LafterSC\@, upto=\upto, resume=.LresumeSC\@
  .endif

#if defined(__ELF__)
        .size   \name, .-\name
#endif
.endm

// The six kernels of one STATE: doubles in fixed registers and exchanging,
// then split coordinates, exchanging only (rebuilding a coordinate takes a
// register, which the fixed form has not got). With `every` 1, the four
// exchanging ones alone (the fixed form keeps every state already).
.macro KERNEL_SET suffix, every=0
        .set    SPLIT, 0
  .if !\every
        KERNEL  QarnX87RowDouble\suffix, 1, 1, rbp
        KERNEL  QarnX87ColumnDouble\suffix, 0, 1, rbp
  .endif
        KERNEL  QarnX87RowDoubleExchanging\suffix, 1, 0, [rdi+FARBOUND], \every
        KERNEL  QarnX87ColumnDoubleExchanging\suffix, 0, 0, [rdi+FARBOUND], \every
        .set    SPLIT, 1
        KERNEL  QarnX87RowSplitExchanging\suffix, 1, 0, [rdi+FARBOUND], \every
        KERNEL  QarnX87ColumnSplitExchanging\suffix, 0, 0, [rdi+FARBOUND], \every
.endm

        .set    STATE, 0
        KERNEL_SET
        // The same, keeping the escape states.
        .set    STATE, 1
        KERNEL_SET State
        // The exchanging ones again, keeping every state.
        KERNEL_SET EveryState, 1

// Shared exit of the kernels: the x87 stack holds the six values of z.
.LfinishThree:
        KERNEL_EXIT 6

#if defined(__ELF__)
        .section .note.GNU-stack, "", @progbits
#endif
