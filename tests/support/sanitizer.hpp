// SPDX-License-Identifier: MIT
// VARNELO_SANITIZED is defined in AddressSanitizer and ThreadSanitizer builds, whose shadow
// memory makes limits on memory and address space meaningless.
#pragma once

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VARNELO_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VARNELO_SANITIZED 1
#endif
#endif
