// The vector loops behind the alpha combination, for x86 processors. Each combines whole 64-byte
// lines of output (16 pixels) into an output that starts on a 64-byte boundary and returns how
// many pixels it combined; the caller does the unaligned head and the tail. With stream, the
// output goes past the caches (the caller fences afterwards).
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__i386__) || defined(__x86_64__)
#define NXR_ALPHA_VECTOR_KERNELS 1

namespace nxr {

// SSE2, which every processor the runtime supports has.
size_t combineLinesSse2(const uint32_t* white, const uint32_t* black, uint32_t* out, size_t count,
                        bool stream);
// AVX2: half the loads of the SSE2 loop, which is what limits it when the frames are in the
// cache. Only on processors and systems that support it.
size_t combineLinesAvx2(const uint32_t* white, const uint32_t* black, uint32_t* out, size_t count,
                        bool stream);
bool processorHasAvx2();

}  // namespace nxr
#endif
