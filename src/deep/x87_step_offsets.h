// Byte offsets of X87StepJob's fields, the one list both the deep loop's
// x87 kernel (x87_plain_steps.S) and the C++ layout checks
// (x87_plain_steps.h) read. Plain definitions only: the assembler includes
// this file too.
#pragma once

#define QARN_STEPS_DR       0
#define QARN_STEPS_DI       16
#define QARN_STEPS_DCR      32
#define QARN_STEPS_DCI      48
#define QARN_STEPS_POINTS   64
#define QARN_STEPS_LOOKUP   72
#define QARN_STEPS_LOOKUPS  80
#define QARN_STEPS_STEPS    88
#define QARN_STEPS_UNTIL    96
#define QARN_STEPS_FOUR     104
#define QARN_STEPS_ZR64     112
#define QARN_STEPS_ZI64     120
#define QARN_STEPS_DR64     128
#define QARN_STEPS_DI64     136
#define QARN_STEPS_NEARFOUR 144
#define QARN_STEPS_MARGIN   152
#define QARN_STEPS_TINY     160
