#pragma once

// An allocator for std::vector whose blocks start on a cache-line boundary.
// Loops that stream vectors of 32 bytes through a large table would
// otherwise see every other load straddle two cache lines wherever the heap
// happens to place the table.

#include <cstddef>
#include <new>

template <class T, std::size_t Alignment = 64>
class LwAlignedAllocator
{
public:
    static_assert(Alignment >= alignof(T) && (Alignment & (Alignment - 1)) == 0,
                  "the alignment is a power of two no smaller than the type's");
    using value_type = T;

    template <class U>
    struct rebind
    {
        using other = LwAlignedAllocator<U, Alignment>;
    };

    LwAlignedAllocator() noexcept = default;
    template <class U>
    LwAlignedAllocator(const LwAlignedAllocator<U, Alignment>&) noexcept
    {}

    T* allocate(std::size_t n)
    {
        if (n > std::size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t(Alignment)));
    }

    void deallocate(T* p, std::size_t) noexcept { ::operator delete(p, std::align_val_t(Alignment)); }

    template <class U>
    bool operator==(const LwAlignedAllocator<U, Alignment>&) const noexcept
    {
        return true;
    }
    template <class U>
    bool operator!=(const LwAlignedAllocator<U, Alignment>&) const noexcept
    {
        return false;
    }
};
