#include "pattern/reconstruction/LwMulCalcMain.h"

#include "core/LwError.h"
#include "core/TextUtilities.h"
#include "pattern/reconstruction/LwCalcMemCorrection.h"
#include "pattern/reconstruction/LwCalcMemWork.h"
#include "pattern/reconstruction/LwDocCalcMem.h"

#include <QDebug>

void LwMulCalcMain::SetStatus(const std::string& text)
{
    qDebug() << text.c_str();
    std::lock_guard<std::mutex> lock(statusMutex_);
    status_ = text;
}

std::string LwMulCalcMain::Status() const
{
    std::lock_guard<std::mutex> lock(statusMutex_);
    return status_;
}

void LwMulCalcMain::ResetWorkingValues()
{
    doc_.fratio_ = doc_.Startfratio_;
    doc_.Lambda_ = doc_.StartLambda_;
    doc_.RealSpace_.TotalPower_ = doc_.StartTotalPower_;
    doc_.CutoffRatio_ = doc_.StartCutoffRatio_;
}

void LwMulCalcMain::Run()
{
    // A stop request belongs to the run it was meant for: one left over from
    // an earlier run would end this one after its set-up, with every density
    // reset and nothing computed.
    ClearStop();
    SetProgress(0);
    try {
        Initialize();
        MainLoop();
    } catch (const LwError& e) {
        // MainLoop has already put its own errors into the status text.
        if (Status() != e.Message())
            SetStatus(e.Message());
    } catch (...) {}
}

void LwMulCalcMain::Initialize()
{
    LwRealSpaceData& r = doc_.RealSpace_;
    NPointR_ = r.NPoint_;
    NElement_ = r.NElement_;
    NList_ = doc_.KSpace_.NList_;
    ResetWorkingValues();
    r.CheckConsistency();
    doc_.KSpace_.CheckConsistency();
    doc_.ScatteringPattern_.InitTransposed();
    work_.CheckTransformLimits();
    SetStatus("initialize");
    NormalizeDensity(r.Density_, r);
}

void LwMulCalcMain::MainLoop()
{
    LwDocCalcMem& d = doc_;
    LwRealSpaceData& r = d.RealSpace_;
    LwKSpaceData& k = d.KSpace_;
    double best = 1e100;
    LwLong retry = 0;
    LwVectorList backup;
    // The densities were restored from the backup: the image of the skipped
    // points belongs to densities that are gone, so the next forward
    // transform takes every point.
    bool refreshNext = false;
    // Stopped before the set-up (during the initialisation): the densities of
    // the last run are kept rather than reset for a run that never begins.
    if (StopRequested()) {
        SetStatus("Calc Terminated");
        return;
    }
    try {
        d.MinRMS_ = 1e10f;
        d.LoopCount_ = 0;
        d.RmsHistory_.clear();
        d.MaxHistory_.clear();
        d.StartLambda_ = 1.0f;
        d.Lambda_ = 1.0f;
        d.Threshold_ = 0.0f;
        d.ThresholdHistory_.clear();
        work_.InitDensity();
        work_.ClearCutoffState();
        SetProgress(0);

        for (;;) {
            qDebug() << "LOOP COUNT" << d.LoopCount_;
            if (StopRequested())
                break;
            StartTime_.SetNow();
            SetStatus("parameter update");
            ResetWorkingValues();
            if (d.CorrectionType_ == 0)
                NormalizeDensity(r.Density_, r);
            SetStatus("convert r-space to k-space: retry=" + LongToString(retry) +
                      ":Lambda=" + FloatToString(d.Lambda_));
            for (LwFloatMatrix& c : k.Cal_)
                c.SetZero();
            work_.CalcMaxDensity();
            work_.PushMaxHistory();
            // Most iterations leave out the points below the cut-off, taking
            // them at their densities of the last full transform; every few
            // iterations a full transform lets them re-enter the fit.
            const bool full = d.LoopCount_ != 0 && (refreshNext || work_.FullForwardDue(d.LoopCount_));
            const bool skippedBefore = work_.SkippedAny();
            refreshNext = false;
            if (d.LoopCount_ != 0)
                work_.ConvertRToK(LwCalcMemWork::Source::Densities,
                                  full ? LwCalcMemWork::Cutoff::Refresh : LwCalcMemWork::Cutoff::Reuse);

            SetStatus("calculateing err");
            work_.FitHolograms(d.CorrectionType_ == 1);
            const double error = work_.CalcRmsError();

            SetStatus("Saving");
            work_.AutoSave();

            SetStatus("convert k-space to r-space");
            for (LwFloatMatrix& g : r.Gradient_)
                g.SetZero();
            work_.ConvertKToR();
            if (d.IsGradientPostFilter_) {
                MultiplyByRadius(r.Gradient_, r);
                FilterGradientOnGrid(r.Gradient_, r.Grid_);
                DivideByRadius(r.Gradient_, r);
            }

            if (d.CorrectionType_ == 0) {
                if (!(best > error)) {
                    // No improvement (a NaN error included): back to the
                    // densities of the last improvement with a shorter step.
                    // Before any improvement there is no backup and the
                    // current densities stay.
                    ++retry;
                    if (!backup.empty()) {
                        r.Density_ = backup;
                        refreshNext = true;
                    }
                    // Between two full transforms the error misses the
                    // change of the skipped points and runs low; the error of
                    // a full transform is the reference from here on, or
                    // every full transform would count as a rise.
                    if (full && skippedBefore && d.LoopCount_ > 1)
                        best = error;
                    d.StartLambda_ = static_cast<float>(static_cast<double>(d.Lambda_) * 0.9);
                    ResetWorkingValues();
                } else {
                    retry = 0;
                    best = error;
                    SetStatus("K SPACE ERR FILTERING");
                    if (d.IsSmoothingErr_)
                        SmoothGradient(r.Gradient_, r,
                                       static_cast<LwLong>(static_cast<float>(d.SmoothingErrN_)), 1.0f);
                    if (d.IsReduceGradient_)
                        ReduceGradient(r.Gradient_, d.ReduceGradientRatio_ != 0.0f ? 1.0f : 0.0f);
                    backup = r.Density_;
                }
                SetStatus("MEM correction:Retry=" + LongToString(retry));
                CorrectByMEM(d);
            } else if (d.CorrectionType_ == 1) {
                ApplyAdvancedL1(d, r.Gradient_, r.Density_, static_cast<float>(d.ThresholdPercentage_ * 0.01),
                                d.LoopCount_, d.ThresholdLoops_);
                SetStatus("SDM: RE to KE2");
                for (LwFloatMatrix& f : k.ForwardGradient_)
                    f.SetZero();
                work_.ConvertRToK(LwCalcMemWork::Source::Gradients);
                if (StopRequested())
                    break;
                qDebug() << "SDM: correction";
                SetStatus("SDM: correction");
                CorrectBySDM(d);
            } else {
                throw LwError("UNDEFINED TYPE");
            }

            SetStatus("R Space Filtering correction");
            work_.FilterRSpace(r.Density_, r);
            EndTime_.SetNow();
            IterationSeconds_ = static_cast<float>(EndTime_.DiffSeconds(StartTime_));
            ++d.LoopCount_;
            SetProgress(d.LoopCount_);
        }
    } catch (const LwError& e) {
        SetStatus(e.Message());
        throw;
    }
    SetStatus("Calc Terminated");
}
