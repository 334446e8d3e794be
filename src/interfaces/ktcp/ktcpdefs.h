#pragma once

// Export macro of the component library stand-in. CMake defines
// ktrt_ktcp_EXPORTS while the library itself is built.
#if defined(_WIN32)
#if defined(ktrt_ktcp_EXPORTS)
#define KTCP_API __declspec(dllexport)
#else
#define KTCP_API __declspec(dllimport)
#endif
#else
#define KTCP_API __attribute__((visibility("default")))
#endif
