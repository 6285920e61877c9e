#pragma once
// Base of a long calculation that reports progress and honours a stop request.
// The calculation's loops test StopRequested() between units of work and
// count progress up by one per unit; another thread (a window polling the
// worker) reads GetProgress/GetProgressMax and may call RequestStop at any
// time, so both fields are atomics.

#include "core/LwTypes.h"

#include <atomic>
#include <string>

class LwSThCalc
{
public:
    virtual ~LwSThCalc() = default;

    virtual LwLong GetProgress() const { return progress_.load(std::memory_order_relaxed); }
    virtual void Calculate() = 0;
    virtual LwLong GetProgressMax() const = 0;
    virtual std::string GetMessage() const { return std::string(); }

    void RequestStop() { stop_.store(true, std::memory_order_relaxed); }
    bool StopRequested() const { return stop_.load(std::memory_order_relaxed); }

protected:
    void SetProgress(LwLong value) { progress_.store(value, std::memory_order_relaxed); }
    void AddProgress(LwLong step = 1) { progress_.fetch_add(step, std::memory_order_relaxed); }
    void ClearStop() { stop_.store(false, std::memory_order_relaxed); }

private:
    std::atomic<LwLong> progress_{0};
    std::atomic<bool> stop_{false};
};
