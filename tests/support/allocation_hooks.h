// A test program's global allocation functions are replaced (replaced_allocation.cpp) by a
// complete set that goes through malloc and free and calls these two hooks, which the program
// defines: one counts, another fails on purpose.
#pragma once

namespace mirevane::test {

// Before every allocation; may throw std::bad_alloc to fail it.
void BeforeAllocation();
// Before every release of a block (never for a null pointer).
void BeforeRelease() noexcept;

} // namespace mirevane::test
