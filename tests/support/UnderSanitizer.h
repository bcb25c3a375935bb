#pragma once

// OSTRALINE_TEST_UNDER_ASAN is defined in a build with the address sanitizer (clang or gcc).
// The sanitizer keeps freed memory in quarantine, adds shadow memory and slows every step:
// tests give memory bounds and timing their own margins there.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OSTRALINE_TEST_UNDER_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define OSTRALINE_TEST_UNDER_ASAN 1
#endif
