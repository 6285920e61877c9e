#pragma once
// The engine data of the hologram reconstruction: the steps of one iteration
// work on the reconstruction document it is bound to (in a program, the
// simulation document's LwDocCalcMem), and it keeps what lives between the
// steps: the save request, the base name of the saved documents and the
// density maximum of the current iteration.

#include "core/LwTypes.h"

#include <QString>

#include <atomic>

class LwDocCalcMem;

class LwCalcMemWork
{
public:
    explicit LwCalcMemWork(LwDocCalcMem& doc) : doc_(doc) {}
    LwCalcMemWork(const LwCalcMemWork&) = delete;
    LwCalcMemWork& operator=(const LwCalcMemWork&) = delete;

    LwDocCalcMem& Document() const { return doc_; }

    // Forces the next auto-save; cleared after every save. May be set from
    // another thread while the job runs.
    std::atomic<bool> SaveRequest_{false};
    QString BaseName_;             // first part of a saved document's file name
    float DensityMax_ = 0.0f;      // largest density x radius of the current iteration

private:
    LwDocCalcMem& doc_;
};
