// The deep loop kernel's plain step (its doubles form: z and d also stored
// as doubles, the tests in SSE) with the chain from one step's d to the
// next broken: each round starts from fresh values (loaded as doubles), so
// that rounds overlap and the time a round is the step's throughput on
// this core rather than its latency. The same instructions as the kernel's
// step, without its exits (the comparisons are made, their branches left
// out) and its bookkeeping.
//
// uint64_t qarn_bench_x87_step_rounds(struct Block* block, uint64_t rounds)
// Block (bytes): 0 Zr, 16 Zi (80-bit), 32 and 48 unused, 64 d's
// doubles (2), 80 z's doubles (2), 96 the fresh dr and di as doubles (2),
// 112 margin, 120 tiny, 128 near four.

        .intel_syntax noprefix
        .text
        .globl  qarn_bench_x87_step_rounds
#if defined(__ELF__)
        .type   qarn_bench_x87_step_rounds, @function
#endif
        .p2align 6
qarn_bench_x87_step_rounds:
#if defined(_WIN32)
        mov     r8, rcx
        mov     r9, rdx
#else
        mov     r8, rdi
        mov     r9, rsi
#endif
        mov     rax, r9
        .p2align 6
1:
        fld     qword ptr [r8+104]
        fld     qword ptr [r8+104]
        fld     qword ptr [r8+104]
        fld     qword ptr [r8+96]       // dr di dcr dci (fresh, one cheap load each)
        movsd   xmm2, qword ptr [r8+64]
        mulsd   xmm2, xmm2
        movsd   xmm1, qword ptr [r8+72]
        mulsd   xmm1, xmm1
        addsd   xmm2, xmm1
        mulsd   xmm2, qword ptr [r8+112]
        maxsd   xmm2, qword ptr [r8+120]
        fld     tbyte ptr [r8]
        fld     st(0)
        fadd    st(0), st(2)
        fstp    qword ptr [r8+80]
        fadd    st(0), st(0)
        fadd    st(0), st(1)            // tr dr di dcr dci
        fld     tbyte ptr [r8+16]
        fld     st(0)
        fadd    st(0), st(4)
        fstp    qword ptr [r8+88]
        fadd    st(0), st(0)
        fadd    st(0), st(3)            // ti tr dr di dcr dci
        movsd   xmm0, qword ptr [r8+80]
        mulsd   xmm0, xmm0
        movsd   xmm1, qword ptr [r8+88]
        mulsd   xmm1, xmm1
        addsd   xmm0, xmm1
        comisd  xmm0, qword ptr [r8+128]
        comisd  xmm0, xmm2
        fld     st(1)
        fmul    st(0), st(3)
        fld     st(1)
        fmul    st(0), st(5)
        fsubp   st(1), st
        fadd    st(0), st(5)
        fxch    st(1)
        fmulp   st(3), st
        fxch    st(1)
        fmulp   st(3), st
        fxch    st(1)
        faddp   st(2), st
        fxch    st(1)
        fadd    st(0), st(3)            // di' dr' dcr dci
        fst     qword ptr [r8+72]
        fxch    st(1)
        fst     qword ptr [r8+64]
        fstp    st(0)
        fstp    st(0)
        fstp    st(0)
        fstp    st(0)
        dec     r9
        jnz     1b
        ret

#if defined(__ELF__)
        .section .note.GNU-stack, "", @progbits
#endif
