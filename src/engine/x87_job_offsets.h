// Byte offsets of X87LineJob's fields, the one list both the kernels'
// assembly (x87_kernel_frame.inc) and the C++ layout checks (x87_lanes.h)
// read. Plain definitions only: the assembler includes this file too.
#pragma once

#define QARN_JOB_VARYING             0
#define QARN_JOB_OUT                 8
#define QARN_JOB_COUNT               16
#define QARN_JOB_DEPTH               24
#define QARN_JOB_SHARED              32
#define QARN_JOB_SHARED64            48
#define QARN_JOB_SQUARED             56
#define QARN_JOB_BOUND               80
#define QARN_JOB_INFINITY            88
#define QARN_JOB_ACTIVE              96
#define QARN_JOB_NEVER               104
#define QARN_JOB_IDLESINK            112
#define QARN_JOB_STARTSINK           116
#define QARN_JOB_NOMATCH             120
#define QARN_JOB_ZERO                128
#define QARN_JOB_NEARBOUND           144
#define QARN_JOB_FARBOUND            152
#define QARN_JOB_SAVEDX              160
#define QARN_JOB_SAVEDY              208
#define QARN_JOB_SAVEDSQ             256
#define QARN_JOB_NEXTSAVE            280
#define QARN_JOB_SKIPPED             304
#define QARN_JOB_SHAREDSQUARE        312
#define QARN_JOB_SURELYOUT           320
#define QARN_JOB_SQUARES             328
#define QARN_JOB_SHAREDSPLIT         376
#define QARN_JOB_STATES              392
#define QARN_JOB_LANESTATE           400
#define QARN_JOB_STATEFROM           448
#define QARN_JOB_STATEFROMTOP        472
#define QARN_JOB_STATEFROMSLOPE      480
#define QARN_JOB_ONE                 488
#define QARN_JOB_SHAREDPLUSONESQUARE 496
#define QARN_JOB_PERIODTWODISK       504
#define QARN_JOB_LASTSAVE            512
#define QARN_JOB_LOOKSLEFT           536
