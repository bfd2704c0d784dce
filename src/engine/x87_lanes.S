// Two interleaved escape-time iterations on the x87 unit.
//
// One iteration of a lane is three multiplications and five additions in
// exactly the grouping of the reference loop; the squared modulus is also
// stored as a double so that the escape test is an integer comparison off the
// floating-point critical path. A double above 4.0 (and not NaN) means the
// 80-bit sum is above 4.0; a double of exactly 4.0 is left to the caller.
//
// Register use:  rdi job       rax scratch
//   lane A: rbx &re  rcx &im  rdx &out  rsi tests so far
//   lane B: r8  &re  r9  &im  r10 &out  r11 tests so far
//   next pixel: r12 &re  r13 &im  r14 &out  r15 pixels left
// x87 stack at the top of the loop: xA yA xB yB.

        .intel_syntax noprefix
        .text

        .set RE, 0
        .set IM, 8
        .set OUT, 16
        .set RESTRIDE, 24
        .set IMSTRIDE, 32
        .set OUTSTRIDE, 40
        .set COUNT, 48
        .set DEPTH, 56
        .set SQA, 64
        .set SQB, 72
        .set BOUND, 80
        .set LIMIT, 88
        .set ACTIVE, 96
        .set NEVER, 104
        .set SINK, 112
        .set ZERO, 128

// One iteration of the lane on top: in  x y X Y,  out  X Y x' y'.
.macro LANE reg_re, reg_im, squared
        fld     st(0)                   // x x y X Y
        fmul    st(0), st(0)            // xx x y X Y
        fld     st(2)                   // y xx x y X Y
        fmul    st(0), st(0)            // yy xx x y X Y
        fxch    st(2)                   // x xx yy y X Y
        fmulp   st(3), st               // xx yy xy X Y
        fld     st(0)                   // xx xx yy xy X Y
        fadd    st(0), st(2)            // s=xx+yy xx yy xy X Y
        fstp    qword ptr [rdi+\squared] // xx yy xy X Y
        fxch    st(1)                   // yy xx xy X Y
        fld     tbyte ptr [\reg_re]     // cr yy xx xy X Y
        fsubr   st(0), st(1)            // yy-cr yy xx xy X Y
        fstp    st(1)                   // t=yy-cr xx xy X Y
        fsubr   st(0), st(1)            // xx-t xx xy X Y
        fstp    st(1)                   // x' xy X Y
        fxch    st(1)                   // xy x' X Y
        fadd    st(0), st(0)            // xy+xy x' X Y
        fld     tbyte ptr [\reg_im]     // ci 2xy x' X Y
        faddp   st(1), st               // y' x' X Y
        fxch    st(3)                   // Y x' X y'
        fxch    st(1)                   // x' Y X y'
        fxch    st(2)                   // X Y x' y'
.endm

        .globl  QarnX87Line
#if defined(__ELF__)
        .type   QarnX87Line, @function
#endif
QarnX87Line:
#if defined(_WIN32)
        push    rdi
        push    rsi
        mov     rdi, rcx
#endif
        push    rbx
        push    rbp
        push    r12
        push    r13
        push    r14
        push    r15

        mov     r12, [rdi+RE]
        mov     r13, [rdi+IM]
        mov     r14, [rdi+OUT]
        mov     r15, [rdi+COUNT]
        // Both lanes start as if they had just reached the depth with a
        // pixel whose count goes nowhere: the refills below start the line.
        lea     rdx, [rdi+SINK]
        mov     r10, rdx
        mov     rsi, [rdi+DEPTH]
        dec     rsi
        mov     r11, rsi
        fldz
        fldz
        fldz
        fldz
        jmp     .Ltests

.Lloop:
        LANE    rbx, rcx, SQA
        LANE    r8, r9, SQB
.Ltests:
        inc     rsi
        mov     rax, [rdi+SQA]
        sub     rax, [rdi+BOUND]
        cmp     rax, [rdi+LIMIT]
        jbe     .LspecialA
        cmp     rsi, [rdi+DEPTH]
        jge     .LdepthA
.LbackA:
        inc     r11
        mov     rax, [rdi+SQB]
        sub     rax, [rdi+BOUND]
        cmp     rax, [rdi+LIMIT]
        jbe     .LspecialB
        cmp     r11, [rdi+DEPTH]
        jge     .LdepthB
        jmp     .Lloop

// Lane A ended: its count, then the next pixel or an idle lane.
.LspecialA:
        test    rax, rax
        jz      .LexactA
        mov     [rdx], esi
        jmp     .LrefillA
.LexactA:
        mov     dword ptr [rdx], -1
        jmp     .LrefillA
.LdepthA:
        mov     dword ptr [rdx], 0
.LrefillA:
        fstp    st(0)                   // xB yB
        fstp    st(0)
        test    r15, r15
        jz      .LidleA
        mov     rbx, r12
        mov     rcx, r13
        mov     rdx, r14
        add     r12, [rdi+RESTRIDE]
        add     r13, [rdi+IMSTRIDE]
        add     r14, [rdi+OUTSTRIDE]
        dec     r15
        xor     esi, esi
        fld     tbyte ptr [rcx]         // ci xB yB
        fld     tbyte ptr [rbx]         // cr ci xB yB
        jmp     .LbackA
.LidleA:
        dec     qword ptr [rdi+ACTIVE]
        jz      .Ldone2
        // An idle lane iterates c = 0, which never ends, into the sink.
        lea     rbx, [rdi+ZERO]
        mov     rcx, rbx
        lea     rdx, [rdi+SINK]
        mov     rsi, [rdi+NEVER]
        fldz
        fldz
        jmp     .LbackA

.LspecialB:
        test    rax, rax
        jz      .LexactB
        mov     [r10], r11d
        jmp     .LrefillB
.LexactB:
        mov     dword ptr [r10], -1
        jmp     .LrefillB
.LdepthB:
        mov     dword ptr [r10], 0
.LrefillB:
        fxch    st(2)                   // xB yA xA yB
        fstp    st(0)                   // yA xA yB
        fxch    st(2)                   // yB xA yA
        fstp    st(0)                   // xA yA
        test    r15, r15
        jz      .LidleB
        mov     r8, r12
        mov     r9, r13
        mov     r10, r14
        add     r12, [rdi+RESTRIDE]
        add     r13, [rdi+IMSTRIDE]
        add     r14, [rdi+OUTSTRIDE]
        dec     r15
        xor     r11d, r11d
        fld     tbyte ptr [r9]          // ci xA yA
        fld     tbyte ptr [r8]          // cr ci xA yA
.LrotateB:
        fxch    st(2)                   // xA ci cr yA
        fxch    st(1)                   // ci xA cr yA
        fxch    st(3)                   // yA xA cr ci
        fxch    st(1)                   // xA yA cr ci
        jmp     .Lloop
.LidleB:
        dec     qword ptr [rdi+ACTIVE]
        jz      .Ldone2
        lea     r8, [rdi+ZERO]
        mov     r9, r8
        lea     r10, [rdi+SINK]
        mov     r11, [rdi+NEVER]
        fldz
        fldz
        jmp     .LrotateB

.Ldone2:
        fstp    st(0)
        fstp    st(0)
        pop     r15
        pop     r14
        pop     r13
        pop     r12
        pop     rbp
        pop     rbx
#if defined(_WIN32)
        pop     rsi
        pop     rdi
#endif
        ret

#if defined(__ELF__)
        .size   QarnX87Line, .-QarnX87Line
        .section .note.GNU-stack, "", @progbits
#endif
