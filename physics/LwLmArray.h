#pragma once
// Arrays indexed by the angular momentum l and its projection m.
//
// An array of size L holds the L*L pairs 0 <= l < L, -l <= m <= l; the pair
// (l, m) lies at position l(l+1)+m. The entries of one l are contiguous from
// m = -l to m = l, and the position of a pair does not depend on L, so a
// larger array holds the same pairs at the same places. Entries with m < 0 are
// stored values in their own right: nothing is derived from m > 0 on access.
//
//   LwLmComplexArray  partial-wave coefficients and Y_lm      (complex)
//   LwLmDoubleArray   Legendre values and their normalisation (LDouble)
//   LwLmIntArray      integer tables                          (32-bit)
//
// The returned-temporary flag marks an array that an operation hands back by
// value: assigning from a flagged array takes over its buffer instead of
// copying, and leaves the source empty (L = 0, flag unchanged).

#include "core/LwError.h"
#include "core/LwTypes.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <utility>

// How SetSize treats an array whose L does not change.
enum class LwLmKeepPolicy {
    KeepEntries,  // nothing happens, the entries stay
    ZeroEntries  // the buffer stays, every entry becomes 0
};

template <typename T, LwLmKeepPolicy Keep = LwLmKeepPolicy::KeepEntries>
class LwLmArray
{
public:
    using value_type = T;

    LwLmArray() = default;
    ~LwLmArray() = default;

    // A copy of a flagged array takes over its buffer, like an assignment.
    LwLmArray(const LwLmArray& other) { *this = other; }
    LwLmArray(LwLmArray&& other) noexcept : buffer_(std::move(other.buffer_)), returned_(false), L_(other.L_)
    {
        other.L_ = 0;
    }

    LwLmArray& operator=(const LwLmArray& other)
    {
        if (buffer_ && buffer_ == other.buffer_)
            return *this;
        if (&other == this)
            return *this;
        if (other.returned_) {
            // The source is a result handed over by value: it gives its buffer up.
            LwLmArray& source = const_cast<LwLmArray&>(other);
            buffer_ = std::move(source.buffer_);
            L_ = source.L_;
            source.L_ = 0;
            return *this;
        }
        SetSize(other.L_);
        const std::size_t n = Count(L_);
        for (std::size_t i = 0; i < n; ++i)
            buffer_[i] = other.buffer_[i];
        return *this;
    }

    LwLmArray& operator=(LwLmArray&& other) noexcept
    {
        if (&other != this) {
            buffer_ = std::move(other.buffer_);
            L_ = other.L_;
            other.L_ = 0;
        }
        return *this;
    }

    // Position of (l, m); "Illegal l value" for l outside 0..L-1, "Illegal m
    // value" for |m| > l.
    LwLong Index(LwLong l, LwLong m) const
    {
        if (l < 0 || l >= L_)
            throw LwError("Illegal l value");
        if (m < -l || m > l)
            throw LwError("Illegal m value");
        return l * (l + 1) + m;
    }

    // Resizes to L (L < 0: "Error"). An unchanged L keeps the buffer (and, by
    // the array's policy, either its entries or zeros); another L frees the
    // old buffer and allocates L*L zeroed entries (none for L = 0). A failed
    // allocation throws "Cannot allocate memory" and leaves the array empty.
    void SetSize(LwLong L)
    {
        if (L < 0)
            throw LwError("Error");
        if (L == L_) {
            if (Keep == LwLmKeepPolicy::ZeroEntries)
                Fill(T());
            return;
        }
        buffer_.reset();
        L_ = 0;
        if (L == 0)
            return;
        // Positions are 32-bit: L*L must stay below 2^31.
        if (static_cast<std::int64_t>(L) * L > std::numeric_limits<LwLong>::max())
            throw LwError("Cannot allocate memory");
        buffer_.reset(new (std::nothrow) T[Count(L)]());
        if (!buffer_)
            throw LwError("Cannot allocate memory");
        L_ = L;
    }

    // SetSize, then every entry 0 (also when L was unchanged).
    void SetSizeZero(LwLong L)
    {
        SetSize(L);
        Fill(T());
    }

    void Fill(const T& value)
    {
        const std::size_t n = Count(L_);
        for (std::size_t i = 0; i < n; ++i)
            buffer_[i] = value;
    }

    LwLong GetL() const { return L_; }
    LwLong Size() const { return L_ * L_; }

    // Checked access through Index.
    T& operator()(LwLong l, LwLong m) { return buffer_[Index(l, m)]; }
    const T& operator()(LwLong l, LwLong m) const { return buffer_[Index(l, m)]; }

    // Unchecked access by position, for loops whose ranges were checked once.
    T& operator[](LwLong position) { return buffer_[position]; }
    const T& operator[](LwLong position) const { return buffer_[position]; }
    T* Data() { return buffer_.get(); }
    const T* Data() const { return buffer_.get(); }

    void SetReturned(bool returned) { returned_ = returned; }
    bool IsReturned() const { return returned_; }

private:
    static std::size_t Count(LwLong L) { return static_cast<std::size_t>(L) * static_cast<std::size_t>(L); }

    std::unique_ptr<T[]> buffer_;
    bool returned_ = false;
    LwLong L_ = 0;
};

using LwLmComplexArray = LwLmArray<LComplex>;
using LwLmIntArray = LwLmArray<LwLong>;

// halvane (the extended build) clears its Legendre tables on every SetSize,
// also when the size does not change; the physics keeps them.
#if defined(LW_EXTENDED_LDOUBLE) && LW_EXTENDED_LDOUBLE
using LwLmDoubleArray = LwLmArray<LDouble, LwLmKeepPolicy::ZeroEntries>;
#else
using LwLmDoubleArray = LwLmArray<LDouble, LwLmKeepPolicy::KeepEntries>;
#endif
