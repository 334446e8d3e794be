#pragma once

// Export macro of the ktstd stand-in library. CMake defines ktrt_ktstd_EXPORTS
// while the library itself is built.
#if defined(_WIN32)
#if defined(ktrt_ktstd_EXPORTS)
#define KTSTD_API __declspec(dllexport)
#else
#define KTSTD_API __declspec(dllimport)
#endif
#else
#define KTSTD_API __attribute__((visibility("default")))
#endif
