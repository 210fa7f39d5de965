#pragma once
// Whether this build runs under AddressSanitizer, which reserves far more
// address space than a test's memory limit leaves and aborts where the
// program would be told there is no memory.  GCC says so with a macro,
// clang through __has_feature.

#if defined(__SANITIZE_ADDRESS__)
#define VEXOLIN_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VEXOLIN_ADDRESS_SANITIZER 1
#endif
#endif
