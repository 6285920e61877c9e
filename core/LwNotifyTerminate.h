#pragma once
// The stop query of long loops. A loop asks IsTerminate between units of work
// (an atom, a record, a pixel column) and ends there when the answer is true,
// keeping what it has computed so far. It is called from every thread of a
// parallel region, so implementations must be callable concurrently.

class LwNotifyTerminate
{
public:
    virtual ~LwNotifyTerminate() = default;
    virtual bool IsTerminate() = 0;
};

// The console program never stops a calculation: this answer is always no.
// It holds no state, so any number of threads may ask at once.
class LwNotifyTerminateThreadCalculation : public LwNotifyTerminate
{
public:
    bool IsTerminate() override { return false; }
};
