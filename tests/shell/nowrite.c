/* A USB library that lacks _MPUSBWrite, for the binding's failure path. */
#include <stdint.h>

#define EXPORT __attribute__((visibility("default")))

EXPORT uint32_t mpusbOpen(uint32_t i, const char* id, const char* ep, uint32_t d,
                          uint32_t r) __asm__("_MPUSBOpen");
EXPORT uint32_t mpusbClose(uint32_t h) __asm__("_MPUSBClose");
EXPORT uint32_t mpusbVersion(void) __asm__("_MPUSBGetDLLVersion");
EXPORT uint32_t mpusbCount(const char* id) __asm__("_MPUSBGetDeviceCount");
EXPORT uint32_t mpusbRead(uint32_t h, void* p, uint32_t n, uint32_t* c,
                          uint32_t t) __asm__("_MPUSBRead");

uint32_t mpusbOpen(uint32_t i, const char* id, const char* ep, uint32_t d, uint32_t r) {
    (void)i, (void)id, (void)ep, (void)d, (void)r;
    return 0xFFFFFFFFu;
}
uint32_t mpusbClose(uint32_t h) {
    return h == 0;
}
uint32_t mpusbVersion(void) {
    return 1;
}
uint32_t mpusbCount(const char* id) {
    return id == 0;
}
uint32_t mpusbRead(uint32_t h, void* p, uint32_t n, uint32_t* c, uint32_t t) {
    (void)h, (void)p, (void)n, (void)c, (void)t;
    return 0;
}
