// The replaced global allocation functions of a test program: every form of new and delete,
// so that every allocation and release, whatever form the standard library uses, goes through
// malloc and free and the program's two hooks.
#include "support/allocation_hooks.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

void* Allocate(std::size_t size) {
    mirevane::test::BeforeAllocation();
    // malloc(0) may return null; operator new must return a unique pointer.
    const std::size_t bytes = size == 0 ? 1 : size;
    for (;;) {
        if (void* block = std::malloc(bytes)) {
            return block;
        }
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) {
            throw std::bad_alloc();
        }
        handler();
    }
}

void* AllocateNoThrow(std::size_t size) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}

void Free(void* block) noexcept {
    if (block == nullptr) {
        return;
    }
    mirevane::test::BeforeRelease();
    std::free(block);
}

#if defined(__cpp_aligned_new)
// Over-aligned blocks from plain malloc: allocate enough to align inside the block and keep
// malloc's pointer in the word just before the aligned address, so that free gets it back.
void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
    const std::size_t align = static_cast<std::size_t>(alignment);
    void* raw = Allocate(size + align + sizeof(void*));
    const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*);
    const std::uintptr_t aligned = (first + align - 1) & ~static_cast<std::uintptr_t>(align - 1);
    static_cast<void**>(reinterpret_cast<void*>(aligned))[-1] = raw;
    return reinterpret_cast<void*>(aligned);
}

void* AllocateAlignedNoThrow(std::size_t size, std::align_val_t alignment) noexcept {
    try {
        return AllocateAligned(size, alignment);
    } catch (...) {
        return nullptr;
    }
}

void FreeAligned(void* block) noexcept {
    if (block != nullptr) {
        Free(static_cast<void**>(block)[-1]);
    }
}
#endif

} // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return AllocateNoThrow(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return AllocateNoThrow(size);
}
void operator delete(void* block) noexcept {
    Free(block);
}
void operator delete[](void* block) noexcept {
    Free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    Free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    Free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    Free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    Free(block);
}

#if defined(__cpp_aligned_new)
void* operator new(std::size_t size, std::align_val_t alignment) {
    return AllocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return AllocateAligned(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateAlignedNoThrow(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateAlignedNoThrow(size, alignment);
}
void operator delete(void* block, std::align_val_t) noexcept {
    FreeAligned(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
    FreeAligned(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
    FreeAligned(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
    FreeAligned(block);
}
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    FreeAligned(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    FreeAligned(block);
}
#endif
