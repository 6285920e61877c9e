#include "core/LwSerialCounter.h"

#include <atomic>
#include <limits>

namespace {

std::atomic<LwLong> g_serialCounter{0};

}  // namespace

LwLong NextSerialValue(LwLong current)
{
    if (current < 0 || current == std::numeric_limits<LwLong>::max())
        return 1;
    return current + 1;
}

LwLong TakeSerialId()
{
    LwLong current = g_serialCounter.load(std::memory_order_relaxed);
    LwLong next = NextSerialValue(current);
    while (!g_serialCounter.compare_exchange_weak(current, next, std::memory_order_relaxed))
        next = NextSerialValue(current);
    return next;
}
