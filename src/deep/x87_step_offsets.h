// Byte offsets of X87StepJob's fields, the one list both the deep loop's
// x87 kernel (x87_plain_steps.S) and the C++ layout checks
// (x87_plain_steps.h) read. Plain definitions only: the assembler includes
// this file too.
#pragma once

#define QARN_STEPS_DR        0
#define QARN_STEPS_DI        16
#define QARN_STEPS_DCR       32
#define QARN_STEPS_DCI       48
#define QARN_STEPS_POINTS    64
#define QARN_STEPS_LEVELS    72
#define QARN_STEPS_LEVELSEND 80
#define QARN_STEPS_FROM      88
#define QARN_STEPS_STEPS     96
#define QARN_STEPS_UNTIL     104
#define QARN_STEPS_SKIPS     112
#define QARN_STEPS_SKIPPED   120
#define QARN_STEPS_FOUR      128
#define QARN_STEPS_SMALL     136
#define QARN_STEPS_ZR64      144
#define QARN_STEPS_ZI64      152
#define QARN_STEPS_DR64      160
#define QARN_STEPS_DI64      168
#define QARN_STEPS_NEARFOUR  176
#define QARN_STEPS_MARGIN    184
#define QARN_STEPS_TINY      192
#define QARN_STEPS_TAILBASE  200
#define QARN_STEPS_TAILLEVELS 208
#define QARN_STEPS_TAILLEVELSEND 216
#define QARN_STEPS_PERIOD    224
#define QARN_STEPS_PLACE     232
#define QARN_STEPS_MARKPLACE 240
#define QARN_STEPS_TESTSLEFT 248
#define QARN_STEPS_FLUSHBELOW 256
#define QARN_STEPS_MARKRE     272
#define QARN_STEPS_MARKIM     288
#define QARN_STEPS_NEXTMARK   304
#define QARN_STEPS_MARKITER   312
#define QARN_STEPS_SAVES      320
