#pragma once

// Whether this build runs under AddressSanitizer: then its allocator takes every allocation, and code that
// keeps freed memory for reuse hands it back instead, so that a use after release is still caught.
namespace rw {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#else
inline constexpr bool kAddressSanitizer = false;
#endif

}  // namespace rw
