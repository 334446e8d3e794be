#pragma once

// Export macro of the ktrt library. CMake defines ktrt_EXPORTS while the
// library itself is built; everything not marked KTRT_API stays hidden.
#if defined(_WIN32)
#if defined(ktrt_EXPORTS)
#define KTRT_API __declspec(dllexport)
#else
#define KTRT_API __declspec(dllimport)
#endif
#else
#define KTRT_API __attribute__((visibility("default")))
#endif
