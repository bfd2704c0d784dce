// The deep loop's steps on the x87 unit (see x87_plain_steps.h).
//
// The four values that live across iterations, d and dc, stay on the
// register stack; Z_k is read as 80-bit values. Each iteration is the
// loop's own operations in its own grouping, with sums and products
// commuted only where that changes no bit:
//   d2 = dr dr + di di,  z2 = (Zr + dr)^2 + (Zi + di)^2,
//   tr = (Zr + Zr) + dr, ti = (Zi + Zi) + di,
//   dr' = (tr dr - ti di) + dcr,  di' = (tr di + ti dr) + dci,
// or at a lookup point where the table's shortest step is valid (R2 > d2)
// the longest valid one, d' = A d + B dc, searched as the loop searches it.
// The comparisons leave the iteration to the caller wherever the loop might
// do something else: z2 > 4, z2 < d2, or either unordered, and a valid skip
// longer than the iterations left. Each is an exit before the iteration
// changes anything, so the caller redoes it.
//
// Three forms. qarn_deep_plain_steps compares z2 and d2 on the x87 unit, at
// any depth. qarn_deep_plain_steps_sse keeps z and d also as doubles (each
// one rounding of its 80-bit value) and compares their squared moduli in
// SSE, which spares the x87 unit six products, two sums, copies and a load
// of Zi. Those sums S lie within 2^-50 of the 80-bit ones (relative errors
// of 2^-53: the rounding of each part, of each square and of the sum) while
// no double is subnormal, and within 2^-50 plus 3 2^-1075 beyond. So it
// leaves where S(z) >= 4 (1 - 2^-47) (every z2 > 4) and where S(z) <=
// max(S(d) (1 + 2^-47), 2^-999) (every z2 < d2: with d2 below 2^-1000 by
// the second bound, above it by the first, its rounding of 2^-53 too), and
// where either is not a number. A double below its normal range costs the
// store a microcode assist, so that form serves differences of about 2^-500
// and more. qarn_deep_tail_steps serves the orbit's repeating tail, where the
// table has steps from every place of the period: a lookup at every
// iteration (below).
//
// Registers: r11 job   r10 &Z_k   rcx iterations left   rdx until the next
//   lookup point (the tail's form: the place within the period)   r8 m - 1
//   rax iterations done; in the table's search r9 its level, r14 the index
//   there, rbx its step, r12 and r13 the longest valid step and its length
//   (rbx and r12 to r15 are saved); in the tail's form r15 is 1 while an
//   iteration saves a mark.
// x87 stack at the top of the loop: dr di dcr dci.

        .intel_syntax noprefix
        .text

#include "deep/x87_step_offsets.h"

        .set JOB_DR, QARN_STEPS_DR
        .set JOB_DI, QARN_STEPS_DI
        .set JOB_DCR, QARN_STEPS_DCR
        .set JOB_DCI, QARN_STEPS_DCI
        .set JOB_POINTS, QARN_STEPS_POINTS
        .set JOB_LEVELS, QARN_STEPS_LEVELS
        .set JOB_LEVELSEND, QARN_STEPS_LEVELSEND
        .set JOB_FROM, QARN_STEPS_FROM
        .set JOB_SKIPS, QARN_STEPS_SKIPS
        .set JOB_SKIPPED, QARN_STEPS_SKIPPED
        .set JOB_SMALL, QARN_STEPS_SMALL
        .set JOB_STEPS, QARN_STEPS_STEPS
        .set JOB_UNTIL, QARN_STEPS_UNTIL
        .set JOB_FOUR, QARN_STEPS_FOUR
        .set JOB_ZR64, QARN_STEPS_ZR64
        .set JOB_ZI64, QARN_STEPS_ZI64
        .set JOB_DR64, QARN_STEPS_DR64
        .set JOB_DI64, QARN_STEPS_DI64
        .set JOB_NEARFOUR, QARN_STEPS_NEARFOUR
        .set JOB_MARGIN, QARN_STEPS_MARGIN
        .set JOB_TINY, QARN_STEPS_TINY
        .set JOB_TAILBASE, QARN_STEPS_TAILBASE
        .set JOB_TAILLEVELS, QARN_STEPS_TAILLEVELS
        .set JOB_TAILLEVELSEND, QARN_STEPS_TAILLEVELSEND
        .set JOB_PERIOD, QARN_STEPS_PERIOD
        .set JOB_PLACE, QARN_STEPS_PLACE
        .set JOB_MARKPLACE, QARN_STEPS_MARKPLACE
        .set JOB_TESTSLEFT, QARN_STEPS_TESTSLEFT
        .set JOB_FLUSHBELOW, QARN_STEPS_FLUSHBELOW
        .set JOB_MARKRE, QARN_STEPS_MARKRE
        .set JOB_MARKIM, QARN_STEPS_MARKIM
        .set JOB_NEXTMARK, QARN_STEPS_NEXTMARK
        .set JOB_MARKITER, QARN_STEPS_MARKITER
        .set JOB_SAVES, QARN_STEPS_SAVES
        .set POINT, 32          // bytes of an orbit point (two 80-bit values in 16 bytes each)
        .set STEP, 50           // bytes of a skip-table step
        .set RADIUS, 40         // its squared radius

.macro ENTRY name
        .globl  \name
#if defined(__ELF__)
        .type   \name, @function
#endif
        .p2align 4
\name:
#if defined(_WIN32)
        mov     r11, rcx
#else
        mov     r11, rdi
#endif
        xor     eax, eax
        mov     rcx, [r11+JOB_STEPS]
        test    rcx, rcx
        jz      .Lreturn\@
        push    rbx
        push    r12
        push    r13
        push    r14
        push    r15
        mov     r10, [r11+JOB_POINTS]
        mov     r8, [r11+JOB_FROM]
        mov     rdx, [r11+JOB_UNTIL]
        fld     tbyte ptr [r11+JOB_DCI]
        fld     tbyte ptr [r11+JOB_DCR]
        fld     tbyte ptr [r11+JOB_DI]
        fld     tbyte ptr [r11+JOB_DR]      // dr di dcr dci
        jmp     1f
.Lreturn\@:
        ret
1:
.endm

// d2 on top of the four values, and the lookup point's test of it.
.macro SQUARES lookup
        fld     st(0)
        fmul    st(0), st(0)            // dr2 dr di dcr dci
        fld     st(2)
        fmul    st(0), st(0)            // di2 dr2 dr di dcr dci
        faddp   st(1), st               // d2 dr di dcr dci
        dec     rdx
        jz      \lookup
.endm

// From  ti tr dr di dcr dci  to the next  dr di dcr dci, and the loop.
.macro UPDATE loop, done, keep=0, tail=0
        fld     st(1)
        fmul    st(0), st(3)            // tr.dr ti tr dr di dcr dci
        fld     st(1)
        fmul    st(0), st(5)            // ti.di tr.dr ti tr dr di dcr dci
        fsubp   st(1), st               // tr.dr-ti.di ti tr dr di dcr dci
        fadd    st(0), st(5)            // dr' ti tr dr di dcr dci
        fxch    st(1)
        fmulp   st(3), st               // dr' tr ti.dr di dcr dci
        fxch    st(1)
        fmulp   st(3), st               // dr' ti.dr tr.di dcr dci
        fxch    st(1)
        faddp   st(2), st               // dr' tr.di+ti.dr dcr dci
        fxch    st(1)
        fadd    st(0), st(3)            // di' dr' dcr dci
  .if \keep
        fst     qword ptr [r11+JOB_DI64]
  .endif
        fxch    st(1)                   // dr' di' dcr dci
  .if \keep
        fst     qword ptr [r11+JOB_DR64]
  .endif
        add     r10, POINT
  .if \tail
        inc     rdx                     // the next place, from the first again after the period
        cmp     rdx, [r11+JOB_PERIOD]
        jb      1f
        xor     edx, edx
        mov     r10, [r11+JOB_TAILBASE]
1:
  .else
        inc     r8
  .endif
        inc     rax
        dec     rcx
        jnz     \loop
        jmp     \done
.endm

// The step at index `index` of the level at r9 into rbx, its squared
// radius compared with d2 (on top): R2 > d2 leaves neither CF nor ZF.
.macro STEP_AT index
        imul    rbx, \index, STEP
        add     rbx, [r9]
        fld     tbyte ptr [rbx+RADIUS]
        fcomip  st(0), st(1)
.endm

// The skip at r12 (d2 on top): d = A d + B dc in the loop's grouping; with
// `keep` the doubles of d too.
.macro SKIP keep=0
        fstp    st(0)                   // dr di dcr dci
        fld     tbyte ptr [r12]         // ar dr di dcr dci
        fld     st(0)
        fmul    st(0), st(2)            // ar.dr ar dr di dcr dci
        fld     tbyte ptr [r12+10]      // ai ar.dr ar dr di dcr dci
        fld     st(0)
        fmul    st(0), st(5)            // ai.di ai ar.dr ar dr di dcr dci
        fsubp   st(2), st               // ai P ar dr di dcr dci
        fmulp   st(3), st               // P ar ai.dr di dcr dci
        fxch    st(1)
        fmulp   st(3), st               // P ai.dr ar.di dcr dci
        fxch    st(1)
        faddp   st(2), st               // P Pi dcr dci
        fld     tbyte ptr [r12+20]
        fmul    st(0), st(3)            // br.dcr P Pi dcr dci
        fld     tbyte ptr [r12+30]
        fmul    st(0), st(5)            // bi.dci br.dcr P Pi dcr dci
        fsubp   st(1), st
        faddp   st(1), st               // dr' Pi dcr dci
        fld     tbyte ptr [r12+20]
        fmul    st(0), st(4)            // br.dci dr' Pi dcr dci
        fld     tbyte ptr [r12+30]
        fmul    st(0), st(4)            // bi.dcr br.dci dr' Pi dcr dci
        faddp   st(1), st
        faddp   st(2), st               // dr' di' dcr dci
  .if \keep
        fst     qword ptr [r11+JOB_DR64]
        fld     st(1)
        fstp    qword ptr [r11+JOB_DI64]
  .endif
.endm

// Leaves to `done` where the part at st(at) of the new d is below
// FlushBelow in magnitude (0 and -0 included), for the caller to flush;
// the 80-bit bound (a microcoded load on AMD) is asked only for parts below
// 2^-1000 (a double). A part not a number goes on, as the caller's flush
// would keep it.
.macro TINY_PART at, done
        fld     st(\at)
        fabs
        fld     qword ptr [r11+JOB_SMALL]
        fcomip  st(0), st(1)            // 2^-1000 > |part|: neither CF nor ZF
        jbe     .Lkept\@
        fld     tbyte ptr [r11+JOB_FLUSHBELOW]
        fcomip  st(0), st(1)            // FlushBelow > |part|
        jbe     .Lkept\@
        fstp    st(0)
        jmp     \done
.Lkept\@:
        fstp    st(0)
.endm

// After a skip: on at `loop`, or at `done` where nothing is left or a part
// of d is below FlushBelow (the caller flushes it).
.macro SKIP_END loop, done
        TINY_PART 0, \done
        TINY_PART 1, \done
        test    rcx, rcx
        jnz     \loop
        jmp     \done
.endm

// A lookup point (d2 on top; the next one is 4 iterations on): the longest
// valid step, searched as the loop does, from the shortest up while m - 1 is
// a multiple of the next length (the index there even), the table has it
// and d2 is below its squared radius. None: on at `back`, d2 on top. One
// longer than the iterations left: to `exit`, d2 on top. Otherwise the skip,
// d = A d + B dc in the loop's grouping, then on at `loop` (or at `done`
// where nothing is left or a part of d is below FlushBelow); with `keep` the
// doubles of d too.
.macro SEARCH back, exit, loop, done, keep=0
        mov     edx, 4
        mov     r9, [r11+JOB_LEVELS]
        mov     r14, r8
        shr     r14, 2
        cmp     r14, [r9+8]
        jae     \back
        STEP_AT r14
        jbe     \back
        mov     r12, rbx
        mov     r13d, 4
1:
        add     r9, 16
        cmp     r9, [r11+JOB_LEVELSEND]
        jae     2f
        test    r14, 1
        jnz     2f
        shr     r14, 1
        cmp     r14, [r9+8]
        jae     2f
        STEP_AT r14
        jbe     2f
        mov     r12, rbx
        add     r13, r13
        jmp     1b
2:
        cmp     r13, rcx
        ja      \exit
        SKIP    \keep
        add     rax, r13
        sub     rcx, r13
        add     r8, r13
        shl     r13, 5                  // bytes of orbit points
        add     r10, r13
        shr     r13, 5
        inc     qword ptr [r11+JOB_SKIPS]
        add     [r11+JOB_SKIPPED], r13
        mov     edx, 1                  // the skip ends at a lookup point
        SKIP_END \loop, \done
.endm

// Pops `values` registers above the four, stores d and returns.
.macro RETURN values
        .rept   \values
        fstp    st(0)
        .endr
        fstp    tbyte ptr [r11+JOB_DR]
        fstp    tbyte ptr [r11+JOB_DI]
        fstp    st(0)
        fstp    st(0)
        pop     r15
        pop     r14
        pop     r13
        pop     r12
        pop     rbx
        ret
.endm

// The x87 comparisons' form, d2 on top: z = Z + d, its tests (to `three`
// or `two`, with that many values above the four), and t = 2 Z + d.
//   in  d2 dr di dcr dci,  out  ti tr dr di dcr dci
.macro TESTS_AND_TERMS three, two
        fld     tbyte ptr [r10]         // Zr d2 dr di dcr dci
        fld     st(0)
        fadd    st(0), st(3)            // zr Zr d2 dr di dcr dci
        fmul    st(0), st(0)            // zr2 Zr d2 ...
        fxch    st(1)
        fadd    st(0), st(0)
        fadd    st(0), st(3)            // tr zr2 d2 dr di dcr dci
        fld     tbyte ptr [r10+16]      // Zi tr zr2 d2 dr di dcr dci
        fadd    st(0), st(5)            // zi
        fmul    st(0), st(0)            // zi2 tr zr2 d2 ...
        faddp   st(2), st               // tr z2 d2 dr di dcr dci
        fld     qword ptr [r11+JOB_FOUR]
        fcomip  st(0), st(2)            // 4 < z2, or unordered: CF
        jb      \three
        fxch    st(1)
        fcomip  st(0), st(2)            // z2 < d2, or unordered: CF
        jb      \two
        fxch    st(1)
        fstp    st(0)                   // tr dr di dcr dci
        fld     tbyte ptr [r10+16]
        fadd    st(0), st(0)
        fadd    st(0), st(3)            // ti tr dr di dcr dci
.endm

        ENTRY   qarn_deep_plain_steps
        .p2align 4
.Lloop:
        SQUARES .Llookup
.Lsquared:
        TESTS_AND_TERMS .Levent3, .Levent2
        UPDATE  .Lloop, .Ldone
.Llookup:
        SEARCH  .Lsquared, .Levent1, .Lloop, .Ldone
.Levent3:
        fstp    st(0)
.Levent2:
        fstp    st(0)
.Levent1:
        RETURN  1
.Ldone:
        RETURN  0

// re^2 + im^2 of two doubles of the job into `to` (xmm1 is overwritten).
.macro SUM_OF_SQUARES to, re, im
        movsd   \to, qword ptr [r11+\re]
        mulsd   \to, \to
        movsd   xmm1, qword ptr [r11+\im]
        mulsd   xmm1, xmm1
        addsd   \to, xmm1
.endm

        ENTRY   qarn_deep_plain_steps_sse
        fst     qword ptr [r11+JOB_DR64]
        fld     st(1)
        fstp    qword ptr [r11+JOB_DI64]
        .p2align 4
.Lsseloop:
        dec     rdx
        jz      .Lsselookup
.Lssetested:
        SUM_OF_SQUARES xmm2, JOB_DR64, JOB_DI64
        mulsd   xmm2, qword ptr [r11+JOB_MARGIN]
        maxsd   xmm2, qword ptr [r11+JOB_TINY]  // the bound of a rebase
        fld     tbyte ptr [r10]         // Zr dr di dcr dci
        fld     st(0)
        fadd    st(0), st(2)            // zr Zr dr di dcr dci
        fstp    qword ptr [r11+JOB_ZR64]
        fadd    st(0), st(0)
        fadd    st(0), st(1)            // tr dr di dcr dci
        fld     tbyte ptr [r10+16]      // Zi tr dr di dcr dci
        fld     st(0)
        fadd    st(0), st(4)            // zi Zi tr dr di dcr dci
        fstp    qword ptr [r11+JOB_ZI64]
        fadd    st(0), st(0)
        fadd    st(0), st(3)            // ti tr dr di dcr dci
        SUM_OF_SQUARES xmm0, JOB_ZR64, JOB_ZI64
        comisd  xmm0, qword ptr [r11+JOB_NEARFOUR]
        jae     .Lsseevent2             // perhaps beyond 4
        comisd  xmm0, xmm2
        jbe     .Lsseevent2             // perhaps below d2, or unordered
        UPDATE  .Lsseloop, .Lssedone, 1

// A lookup point: d2 on the x87 for the exact test of the radius.
.Lsselookup:
        fld     st(0)
        fmul    st(0), st(0)
        fld     st(2)
        fmul    st(0), st(0)
        faddp   st(1), st               // d2 dr di dcr dci
        SEARCH  .Lssepop, .Lsseevent1, .Lsseloop, .Lssedone, 1
.Lssepop:
        fstp    st(0)
        jmp     .Lssetested
.Lsseevent2:
        RETURN  2
.Lsseevent1:
        RETURN  1
.Lssedone:
        RETURN  0

// The watch's save of a mark at this test, once nothing can leave the
// iteration to the caller any more (a possible escape or rebase, a step too
// long): the place, d (at st(re) and st(im)), the iterations before
// this one; the test of the next save is twice this one's, T, so T - 1 tests
// lie between them.
.macro SAVE_MARK re, im
        fld     st(\re)
        fstp    tbyte ptr [r11+JOB_MARKRE]
        fld     st(\im)
        fstp    tbyte ptr [r11+JOB_MARKIM]
        mov     [r11+JOB_MARKPLACE], rdx
        mov     [r11+JOB_MARKITER], rax
        mov     r8, [r11+JOB_NEXTMARK]
        lea     r15, [r8-1]
        mov     [r11+JOB_TESTSLEFT], r15
        add     r8, r8
        mov     [r11+JOB_NEXTMARK], r8
        inc     qword ptr [r11+JOB_SAVES]
        xor     r15d, r15d
.endm

// The tail's form: at every iteration the longest valid step from the
// place p of Z_m within the tail's first period (rdx), as the loop searches
// it, Z read at that place, the tests on the x87 unit. A valid step longer
// than the iterations left goes back to the caller, which decides; so does a
// test at the mark's place with d equal to the mark's, and the test of a
// mark's save where the caller owes one from before. Other saves it makes
// itself (SAVE_MARK).
        ENTRY   qarn_deep_tail_steps
        xor     r15d, r15d
        mov     rdx, [r11+JOB_PLACE]
        mov     r10, rdx
        shl     r10, 5
        add     r10, [r11+JOB_TAILBASE]
        .p2align 4
.Ltloop:
        cmp     rdx, [r11+JOB_MARKPLACE]
        jne     .Ltunmarked
        // At the mark's place the watch matches only a d equal to the
        // mark's: the caller takes that test (and one not a number).
        fld     tbyte ptr [r11+JOB_MARKRE]
        fcomip  st(0), st(1)            // the mark's dr = dr, or unordered: ZF
        jne     .Ltunmarked
        fld     tbyte ptr [r11+JOB_MARKIM]
        fcomip  st(0), st(2)
        je      .Ltevent0
.Ltunmarked:
        sub     qword ptr [r11+JOB_TESTSLEFT], 1
        jnb     .Lttest
        // This test saves a mark: here where it is known when (r15 says so
        // until the iteration completes, see SAVE_MARK), else by the caller.
        cmp     qword ptr [r11+JOB_NEXTMARK], 0
        je      .Ltevent0
        mov     r15d, 1
.Lttest:
        fld     st(0)
        fmul    st(0), st(0)            // dr2 dr di dcr dci
        fld     st(2)
        fmul    st(0), st(0)            // di2 dr2 dr di dcr dci
        faddp   st(1), st               // d2 dr di dcr dci
        mov     r9, [r11+JOB_TAILLEVELS]
        STEP_AT rdx
        ja      .Ltfound
        TESTS_AND_TERMS .Ltevent3, .Ltevent2
        test    r15d, r15d
        jnz     .Ltsaveplain
.Ltplain:
        UPDATE  .Ltloop, .Ltdone, 0, 1
.Ltsaveplain:
        SAVE_MARK 2, 3                  // ti tr dr di dcr dci
        jmp     .Ltplain
.Ltfound:
        mov     r12, rbx
        mov     r13d, 4
        mov     r14, r9
1:
        add     r9, 16
        cmp     r9, [r11+JOB_TAILLEVELSEND]
        jae     2f
        STEP_AT rdx
        jbe     2f
        lea     r8, [r13+r13]
        cmp     r8, rcx
        ja      .Ltevent1
        mov     r12, rbx
        mov     r13, r8
        mov     r14, r9
        jmp     1b
2:
        cmp     r13, rcx
        ja      .Ltevent1
        test    r15d, r15d
        jz      4f
        SAVE_MARK 1, 2                  // d2 dr di dcr dci
4:
        SKIP
        add     rax, r13
        sub     rcx, r13
        inc     qword ptr [r11+JOB_SKIPS]
        add     [r11+JOB_SKIPPED], r13
        add     rdx, [r14+8]            // the length modulo the period
        cmp     rdx, [r11+JOB_PERIOD]
        jb      3f
        sub     rdx, [r11+JOB_PERIOD]
3:
        mov     r10, rdx
        shl     r10, 5
        add     r10, [r11+JOB_TAILBASE]
        SKIP_END .Ltloop, .Ltdone
.Ltevent3:
        fstp    st(0)
.Ltevent2:
        fstp    st(0)
.Ltevent1:
        mov     [r11+JOB_PLACE], rdx
        RETURN  1
.Ltevent0:
        mov     [r11+JOB_PLACE], rdx
        RETURN  0
.Ltdone:
        mov     [r11+JOB_PLACE], rdx
        RETURN  0


#if defined(__ELF__)
        .section .note.GNU-stack, "", @progbits
#endif
