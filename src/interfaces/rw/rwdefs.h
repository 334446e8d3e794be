#pragma once

// Export macro of the RW stand-in library. CMake defines ktrt_rw_EXPORTS while
// the library itself is built.
#if defined(_WIN32)
#if defined(ktrt_rw_EXPORTS)
#define RW_API __declspec(dllexport)
#else
#define RW_API __declspec(dllimport)
#endif
#else
#define RW_API __attribute__((visibility("default")))
#endif
