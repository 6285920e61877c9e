#pragma once
// The hologram reconstruction job: turns the measured holograms of a
// reconstruction document into element densities on its real-space grid by
// iteration. Each iteration forms the holograms of the current densities,
// fits the measured ones to them, projects the residual back into a gradient
// and corrects the densities with it, by the MEM correction (multiplicative,
// step Lambda, retried with 0.9 Lambda from the last improvement when the
// error grows) or the SDM correction (soft-thresholded gradient step with two
// fitted coefficients). The document is saved on the auto-save schedule.
//
// The job is bound at construction to the document and the engine data it
// works on (in a program, the simulation document's members).
//
// Threads. Run executes on the calling thread; the transforms open and close
// their own OpenMP regions. Another thread may call RequestStop (atomic) at
// any time: the job tests it at the start of every iteration and after the
// forward transform of an SDM step, and ends there. GetProgress gives the
// loop count, GetMessage the last status text (both safe to read while the
// job runs). Run clears the stop request when it starts, so a job stopped
// once runs again in full; a stop requested before the set-up of MainLoop
// ends the run there, the densities of the last run kept (the set-up resets
// them to 1e-25 only for a run that really begins).

#include "core/LwADateTime.h"
#include "core/LwMatrix.h"
#include "core/LwSThCalc.h"
#include "core/LwTypes.h"

#include <mutex>
#include <string>

class LwCalcMemWork;
class LwDocCalcMem;

// A calculation job that a caller runs once and that returns normally.
class LwCustomCalcWork
{
public:
    virtual ~LwCustomCalcWork() = default;
    virtual void Run() = 0;
};

class LwMulCalcMain : public LwCustomCalcWork, public LwSThCalc
{
public:
    LwMulCalcMain(LwDocCalcMem& doc, LwCalcMemWork& work) : doc_(doc), work_(work) {}
    LwMulCalcMain(const LwMulCalcMain&) = delete;
    LwMulCalcMain& operator=(const LwMulCalcMain&) = delete;

    // Clears the stop request, then Initialize and MainLoop; every exception
    // is caught and dropped (an LwError's text stays in the status text).
    void Run() override;
    // Copies the counts, resets the working values, checks the data sets and
    // builds the pattern tables, refuses data that the transforms cannot
    // work on (LwCalcMemWork::CheckTransformLimits), normalises the densities.
    void Initialize();
    // The set-up and the iterations, until the stop request or an error; a
    // request already set ends it before the set-up, nothing changed. An
    // LwError becomes the status text and passes on.
    void MainLoop();
    // Writes the text as one line to the debug output and keeps it.
    void SetStatus(const std::string& text);
    std::string Status() const;

    // LwSThCalc: Calculate runs the job; progress is the loop count, without
    // a fixed end (GetProgressMax 0); the message is the status text.
    void Calculate() override { Run(); }
    LwLong GetProgressMax() const override { return 0; }
    std::string GetMessage() const override { return Status(); }

    LwADateTime StartTime_;
    LwADateTime EndTime_;
    float IterationSeconds_ = 0.0f;  // duration of the last iteration
    LwLong NPointR_ = 0;  // real-space points, copied at initialisation
    LwLong NElement_ = 0;  // elements, copied at initialisation
    LwLong NList_ = 0;  // hologram items, copied at initialisation

private:
    // fratio, Lambda, TotalPower and CutoffRatio back to their start values.
    void ResetWorkingValues();

    LwDocCalcMem& doc_;
    LwCalcMemWork& work_;
    mutable std::mutex statusMutex_;
    std::string status_;
};
