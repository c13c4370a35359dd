// A service library with the twelve entry points and nothing behind them, for the binding tests. Built
// once per variant: STUB_OMIT_<name> leaves that entry point out, STUB_INIT_RESULT sets what Init answers.
#include "portmux/include/portmux.h"

#ifndef STUB_INIT_RESULT
#define STUB_INIT_RESULT 1
#endif

extern "C" {
#ifndef STUB_OMIT_Debug
int Debug(int) {
    return 1;
}
#endif
#ifndef STUB_OMIT_Init
int Init(int) {
    return STUB_INIT_RESULT;
}
#endif
#ifndef STUB_OMIT_End
int End(void) {
    return 1;
}
#endif
#ifndef STUB_OMIT_RequestGetDeviceCount
int RequestGetDeviceCount(const UnitId*, PortmuxCallback, uint32_t, uint32_t, uint32_t*) {
    return 0;
}
#endif
#ifndef STUB_OMIT_DeleteRequestFromUnitId
int DeleteRequestFromUnitId(uint32_t) {
    return 0;
}
#endif
#ifndef STUB_OMIT_DeleteRequestFromHandle
int DeleteRequestFromHandle(uint32_t) {
    return 0;
}
#endif
#ifndef STUB_OMIT_RequestWrite
int RequestWrite(const UnitId*, PortmuxCallback, uint32_t, const uint8_t*, uint32_t, uint32_t, uint32_t*) {
    return 0;
}
#endif
#ifndef STUB_OMIT_RequestWriteOne
int RequestWriteOne(const UnitId*, PortmuxCallback, uint32_t, const uint8_t*, uint32_t, uint32_t, uint32_t*) {
    return 0;
}
#endif
#ifndef STUB_OMIT_RequestStatusWrite
int RequestStatusWrite(const UnitId*, PortmuxCallback, uint32_t, const uint8_t*, uint32_t, uint32_t,
                       uint32_t*) {
    return 0;
}
#endif
#ifndef STUB_OMIT_RequestStatusGet
int RequestStatusGet(const UnitId*, PortmuxCallback, uint32_t, uint32_t, uint32_t*) {
    return 0;
}
#endif
#ifndef STUB_OMIT_RequestAsyncRead
int RequestAsyncRead(const UnitId*, PortmuxCallback, uint32_t, uint32_t, uint32_t*) {
    return 0;
}
#endif
#ifndef STUB_OMIT_RequestStatusSetFeature
int RequestStatusSetFeature(const UnitId*, PortmuxCallback, uint32_t, const uint8_t*, uint32_t, uint32_t,
                            uint32_t*) {
    return 0;
}
#endif
}
