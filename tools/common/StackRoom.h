#pragma once

namespace ktrt_tool {

/// The lowest stack address that a recursion starting in the caller's frame
/// may reach: a quarter of the stack left below it (at most 64 MB), so that
/// walking and destroying what the recursion built still has room. Readers
/// that recurse once per nested node compare their frame address with it and
/// stop before the stack runs out, whatever a frame costs in this build.
const char* stackLimitFromHere();

/// The address of the calling function's frame, to compare with
/// stackLimitFromHere().
inline const char* frameAddress() {
    return static_cast<const char*>(__builtin_frame_address(0));
}

} // namespace ktrt_tool
