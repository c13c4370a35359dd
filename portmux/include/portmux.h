/* The C contract of the HID service library libportmux.so, shared by the library and the program.
 *
 * The program never links the library: it dlopen()s it and resolves the twelve entry points by name.
 * All integers are little-endian. The library keeps no pointer it was given beyond the call, except the
 * callback of a registration. Notifications are delivered on the library's own threads.
 */
#ifndef PORTMUX_H
#define PORTMUX_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Selects one HID collection of the keyboard. 16 bytes. */
typedef struct UnitId {
    uint32_t mask; /* 0x0000000F: vendor, product, usage page and usage must all match */
    uint16_t vendor;
    uint16_t product;
    uint16_t usagePage;
    uint16_t usage;
    uint32_t reserved;
} UnitId;

/* A received report's record; for a consumer-control report, usage points at the 16-bit usage code. */
typedef struct PortmuxReportRecord {
    uint8_t head[28];
    const uint16_t* usage;
} PortmuxReportRecord;

/* One registration as the callback sees it.
 * kind 1: count = received bytes, data = the bytes, report = the report record.
 * kind 0 (CTRL registration): count = number of keyboards now attached. */
typedef struct PortmuxRequestRecord {
    uint32_t tag;
    uint32_t count;
    const uint8_t* data;
    const PortmuxReportRecord* report;
} PortmuxRequestRecord;

enum { PORTMUX_KIND_DEVICE_SET = 0, PORTMUX_KIND_REPORT = 1 };

typedef struct PortmuxNotification {
    uint32_t kind;
    uint32_t reserved;
    const PortmuxRequestRecord* request;
} PortmuxNotification;

/* Returns 1. Runs on a library thread. */
typedef int (*PortmuxCallback)(const PortmuxNotification* n);

/* Registration tags, given back in every notification of the registration. */
#define PORTMUX_TAG_CTRL 0x4354524Cu
#define PORTMUX_TAG_CONS 0x434F4E53u
#define PORTMUX_TAG_LED 0x004C4544u

/* The keyboard and its three collections. */
#define PORTMUX_VENDOR_ID 0x0C45u
#define PORTMUX_PRODUCT_ID 0x8508u
#define PORTMUX_SELECTOR_MASK 0x0000000Fu
#define PORTMUX_PAGE_CONFIG 0xFF1Cu
#define PORTMUX_USAGE_CONFIG 0x0092u
#define PORTMUX_PAGE_CONSUMER 0x000Cu
#define PORTMUX_USAGE_CONSUMER 0x0001u
#define PORTMUX_PAGE_STATUS 0x0008u
#define PORTMUX_USAGE_STATUS 0x0089u

#define PORTMUX_REPORT_SIZE 64u
#define PORTMUX_STATUS_SIZE 2u

/* The twelve entry points. */
int Init(int zero); /* > 0: ready */
int Debug(int level);
int End(void);
int RequestGetDeviceCount(const UnitId* u, PortmuxCallback cb, uint32_t tag, uint32_t check,
                          uint32_t* handle);
int RequestAsyncRead(const UnitId* u, PortmuxCallback cb, uint32_t tag, uint32_t check, uint32_t* handle);
int RequestStatusWrite(const UnitId* u, PortmuxCallback cb, uint32_t tag, const uint8_t* status,
                       uint32_t length, uint32_t check, uint32_t* handle);
int RequestWriteOne(const UnitId* u, PortmuxCallback cb, uint32_t tag, const uint8_t* report, uint32_t length,
                    uint32_t check, uint32_t* handle);
int RequestWrite(const UnitId* u, PortmuxCallback cb, uint32_t tag, const uint8_t* data, uint32_t length,
                 uint32_t check, uint32_t* handle);
int RequestStatusGet(const UnitId* u, PortmuxCallback cb, uint32_t tag, uint32_t check, uint32_t* handle);
int RequestStatusSetFeature(const UnitId* u, PortmuxCallback cb, uint32_t tag, const uint8_t* data,
                            uint32_t length, uint32_t check, uint32_t* handle);
int DeleteRequestFromUnitId(uint32_t handle);
int DeleteRequestFromHandle(uint32_t handle);

/* The same signatures as pointer types, for the program's dlsym() table. */
typedef int (*PortmuxInitFn)(int);
typedef int (*PortmuxDebugFn)(int);
typedef int (*PortmuxEndFn)(void);
typedef int (*PortmuxGetDeviceCountFn)(const UnitId*, PortmuxCallback, uint32_t, uint32_t, uint32_t*);
typedef int (*PortmuxAsyncReadFn)(const UnitId*, PortmuxCallback, uint32_t, uint32_t, uint32_t*);
typedef int (*PortmuxStatusWriteFn)(const UnitId*, PortmuxCallback, uint32_t, const uint8_t*, uint32_t,
                                    uint32_t, uint32_t*);
typedef int (*PortmuxWriteOneFn)(const UnitId*, PortmuxCallback, uint32_t, const uint8_t*, uint32_t, uint32_t,
                                 uint32_t*);
typedef int (*PortmuxWriteFn)(const UnitId*, PortmuxCallback, uint32_t, const uint8_t*, uint32_t, uint32_t,
                              uint32_t*);
typedef int (*PortmuxStatusGetFn)(const UnitId*, PortmuxCallback, uint32_t, uint32_t, uint32_t*);
typedef int (*PortmuxStatusSetFeatureFn)(const UnitId*, PortmuxCallback, uint32_t, const uint8_t*, uint32_t,
                                         uint32_t, uint32_t*);
typedef int (*PortmuxDeleteFn)(uint32_t);

/* The check table: T[b] = (167 * b + 13) mod 256, a permutation of the byte values. */
#define PORTMUX_CHECK_ENTRY(b) ((uint8_t)((167u * (unsigned)(b) + 13u) & 0xFFu))
#define PORTMUX_CHECK_ROW(b)                                                                                 \
    PORTMUX_CHECK_ENTRY(b), PORTMUX_CHECK_ENTRY(b + 1), PORTMUX_CHECK_ENTRY(b + 2),                          \
        PORTMUX_CHECK_ENTRY(b + 3), PORTMUX_CHECK_ENTRY(b + 4), PORTMUX_CHECK_ENTRY(b + 5),                  \
        PORTMUX_CHECK_ENTRY(b + 6), PORTMUX_CHECK_ENTRY(b + 7)
static const uint8_t portmuxCheckTable[256] = {
    PORTMUX_CHECK_ROW(0),   PORTMUX_CHECK_ROW(8),   PORTMUX_CHECK_ROW(16),  PORTMUX_CHECK_ROW(24),
    PORTMUX_CHECK_ROW(32),  PORTMUX_CHECK_ROW(40),  PORTMUX_CHECK_ROW(48),  PORTMUX_CHECK_ROW(56),
    PORTMUX_CHECK_ROW(64),  PORTMUX_CHECK_ROW(72),  PORTMUX_CHECK_ROW(80),  PORTMUX_CHECK_ROW(88),
    PORTMUX_CHECK_ROW(96),  PORTMUX_CHECK_ROW(104), PORTMUX_CHECK_ROW(112), PORTMUX_CHECK_ROW(120),
    PORTMUX_CHECK_ROW(128), PORTMUX_CHECK_ROW(136), PORTMUX_CHECK_ROW(144), PORTMUX_CHECK_ROW(152),
    PORTMUX_CHECK_ROW(160), PORTMUX_CHECK_ROW(168), PORTMUX_CHECK_ROW(176), PORTMUX_CHECK_ROW(184),
    PORTMUX_CHECK_ROW(192), PORTMUX_CHECK_ROW(200), PORTMUX_CHECK_ROW(208), PORTMUX_CHECK_ROW(216),
    PORTMUX_CHECK_ROW(224), PORTMUX_CHECK_ROW(232), PORTMUX_CHECK_ROW(240), PORTMUX_CHECK_ROW(248),
};
#undef PORTMUX_CHECK_ROW

/* One argument block of a check value. */
typedef struct PortmuxBlock {
    const void* data;
    size_t length;
} PortmuxBlock;

/* Adds T[b] for every byte b of the block to sum (unsigned, wrapping). */
static inline uint32_t portmuxCheckAdd(uint32_t sum, const void* data, size_t length) {
    const uint8_t* p = (const uint8_t*)data;
    for (size_t i = 0; i < length; ++i) {
        sum += portmuxCheckTable[p[i]];
    }
    return sum;
}

/* The check value over a list of byte blocks. */
static inline uint32_t portmuxCheckValue(const PortmuxBlock* blocks, size_t count) {
    uint32_t sum = 0;
    for (size_t i = 0; i < count; ++i) {
        sum = portmuxCheckAdd(sum, blocks[i].data, blocks[i].length);
    }
    return sum;
}

/* The check value of one call: the UnitId's 16 bytes, the callback argument as passed (the pointer's
 * bytes, little-endian, all zero for a null callback), the tag's 4 bytes, then the payload. */
static inline uint32_t portmuxCheckCall(const UnitId* u, PortmuxCallback cb, uint32_t tag,
                                        const uint8_t* payload, size_t payloadLength) {
    uint8_t unitBytes[16];
    uint8_t cbBytes[sizeof(void*)];
    uint8_t tagBytes[4];
    uintptr_t cbValue = (uintptr_t)cb;
    unitBytes[0] = (uint8_t)u->mask;
    unitBytes[1] = (uint8_t)(u->mask >> 8);
    unitBytes[2] = (uint8_t)(u->mask >> 16);
    unitBytes[3] = (uint8_t)(u->mask >> 24);
    unitBytes[4] = (uint8_t)u->vendor;
    unitBytes[5] = (uint8_t)(u->vendor >> 8);
    unitBytes[6] = (uint8_t)u->product;
    unitBytes[7] = (uint8_t)(u->product >> 8);
    unitBytes[8] = (uint8_t)u->usagePage;
    unitBytes[9] = (uint8_t)(u->usagePage >> 8);
    unitBytes[10] = (uint8_t)u->usage;
    unitBytes[11] = (uint8_t)(u->usage >> 8);
    unitBytes[12] = (uint8_t)u->reserved;
    unitBytes[13] = (uint8_t)(u->reserved >> 8);
    unitBytes[14] = (uint8_t)(u->reserved >> 16);
    unitBytes[15] = (uint8_t)(u->reserved >> 24);
    for (size_t i = 0; i < sizeof cbBytes; ++i) {
        cbBytes[i] = (uint8_t)(cbValue >> (8u * i));
    }
    for (size_t i = 0; i < 4; ++i) {
        tagBytes[i] = (uint8_t)(tag >> (8u * i));
    }
    uint32_t sum = portmuxCheckAdd(0, unitBytes, sizeof unitBytes);
    sum = portmuxCheckAdd(sum, cbBytes, sizeof cbBytes);
    sum = portmuxCheckAdd(sum, tagBytes, sizeof tagBytes);
    return payload ? portmuxCheckAdd(sum, payload, payloadLength) : sum;
}

#ifdef __cplusplus
} /* extern "C" */

#include <initializer_list>
#include <span>

namespace portmux {

/* The check value over a list of byte blocks, summed in order. */
inline uint32_t checkValue(std::initializer_list<std::span<const uint8_t>> blocks) {
    uint32_t sum = 0;
    for (auto block : blocks) {
        sum = portmuxCheckAdd(sum, block.data(), block.size());
    }
    return sum;
}

inline constexpr UnitId kConfigUnit{PORTMUX_SELECTOR_MASK, PORTMUX_VENDOR_ID,    PORTMUX_PRODUCT_ID,
                                    PORTMUX_PAGE_CONFIG,   PORTMUX_USAGE_CONFIG, 0};
inline constexpr UnitId kConsumerUnit{PORTMUX_SELECTOR_MASK, PORTMUX_VENDOR_ID,      PORTMUX_PRODUCT_ID,
                                      PORTMUX_PAGE_CONSUMER, PORTMUX_USAGE_CONSUMER, 0};
inline constexpr UnitId kStatusUnit{PORTMUX_SELECTOR_MASK, PORTMUX_VENDOR_ID,    PORTMUX_PRODUCT_ID,
                                    PORTMUX_PAGE_STATUS,   PORTMUX_USAGE_STATUS, 0};

static_assert(sizeof(UnitId) == 16, "UnitId is 16 bytes on the wire");
static_assert(offsetof(PortmuxReportRecord, usage) == (sizeof(void*) == 8 ? 32 : 28),
              "usage pointer at 28, aligned for the pointer size");
static_assert(offsetof(PortmuxRequestRecord, data) == 8 && offsetof(PortmuxRequestRecord, report) == 16,
              "request record layout");
static_assert(offsetof(PortmuxNotification, request) == 8, "notification layout");

} // namespace portmux
#endif

#endif /* PORTMUX_H */
