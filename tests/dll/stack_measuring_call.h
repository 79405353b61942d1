// Calls an export exactly as a 32-bit host does and measures how far ESP moved: the test
// that a __stdcall export removes exactly its own argument bytes. i686 builds only.
#pragma once

#include <cstdint>

#if defined(_M_IX86) || defined(__i386__)
// Calls function as a __stdcall caller does: pushes count 32-bit words, the last one first,
// so that words[0] is the first argument, and calls. Returns the bytes the callee removed
// (ESP right after the call minus ESP right before it) and stores EAX in *returned.
extern "C" uint32_t CallMeasuringStack(const void* function, const uint32_t* words, uint32_t count,
                                       uint32_t* returned);
#endif
