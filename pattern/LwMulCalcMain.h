#pragma once
// The hologram reconstruction job: iterates on the reconstruction document
// through its engine data. Bound at construction to the document and the
// engine data it works on (in a program, the simulation document's members).

#include "core/LwADateTime.h"
#include "core/LwTypes.h"

#include <memory>
#include <string>

class LwCalcMemWork;
class LwDocCalcMem;

// A calculation job that a caller runs once.
class LwCustomCalcWork
{
public:
    virtual ~LwCustomCalcWork() = default;
};

class LwMulCalcMain : public LwCustomCalcWork
{
public:
    LwMulCalcMain(LwDocCalcMem& doc, LwCalcMemWork& work) : doc_(doc), work_(work) {}
    LwMulCalcMain(const LwMulCalcMain&) = delete;
    LwMulCalcMain& operator=(const LwMulCalcMain&) = delete;

    LwADateTime StartTime_;
    LwADateTime EndTime_;
    float IterationSeconds_ = 0.0f;
    LwLong NPointR_ = 0;           // real-space points, copied at initialisation
    LwLong NElement_ = 0;          // elements, copied at initialisation
    LwLong NList_ = 0;             // hologram items, copied at initialisation

private:
    LwDocCalcMem& doc_;
    LwCalcMemWork& work_;
};
