#pragma once

// Export macro of the ktrld stand-in library. CMake defines ktrt_ktrld_EXPORTS
// while the library itself is built.
#if defined(_WIN32)
#if defined(ktrt_ktrld_EXPORTS)
#define KTRLD_API __declspec(dllexport)
#else
#define KTRLD_API __declspec(dllimport)
#endif
#else
#define KTRLD_API __attribute__((visibility("default")))
#endif
