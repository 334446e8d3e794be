#include "common/StackRoom.h"

#include <algorithm>
#include <cstddef>

#include <pthread.h>

namespace ktrt_tool {

const char* stackLimitFromHere() {
    const char* here = static_cast<const char*>(__builtin_frame_address(0));
    std::size_t room = 1u << 20;
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
        void* low = nullptr;
        std::size_t size = 0;
        if (pthread_attr_getstack(&attributes, &low, &size) == 0 && here > low)
            room = static_cast<std::size_t>(here - static_cast<const char*>(low));
        pthread_attr_destroy(&attributes);
    }
    constexpr std::size_t most = std::size_t(64) << 20;
    return here - std::min(room / 4, most);
}

} // namespace ktrt_tool
