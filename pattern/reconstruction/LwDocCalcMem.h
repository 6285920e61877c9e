#pragma once
// The document of the hologram reconstruction: the iteration parameters,
// the histories of the RMS error and of the density maximum, the hologram
// parameter set and the three data sets (k-space holograms, real-space
// densities, scattering-pattern tables). Stored as a ".xml_rs" Barn document
// with the root rack "calc_mem_data"; the reconstruction job saves it under
// the loop-numbered name of CalcMemLoopFileName.
//
// Reading sets a missing number or text to the value in the "missing"
// column of the key list in LoadSave (which differs from the constructor's
// for "fratio", "CutoffRatio" and "SmoothingErrN") and leaves a missing flag
// as it was.

#include "core/LwTypes.h"
#include "pattern/reconstruction/LwHologramParam.h"
#include "pattern/reconstruction/LwKSpaceData.h"
#include "pattern/reconstruction/LwRealSpaceData.h"
#include "pattern/reconstruction/LwScatteringPattern.h"

#include <QString>

#include <string>
#include <vector>

class LwBarnXml;

// base + "_lp" + the loop count with at least three digits + ".xml_rs":
// ("run", 7) gives "run_lp007.xml_rs", ("run", 1234) "run_lp1234.xml_rs".
QString CalcMemLoopFileName(const QString& baseName, LwLong loopCount);

class LwDocCalcMem
{
public:
    // Reads or writes the document by the Barn document's mode; false when
    // the root rack "calc_mem_data" is missing on reading (nothing changed).
    // Reading sets the four start values from what was read and replaces both
    // histories by the columns of "history_rms_max" (both empty unless it has
    // exactly 3 columns). Errors of the data sets pass out; reading is not
    // transactional.
    bool LoadSave(LwBarnXml& doc);

    // Stored parameters ("parameter" rack), in document order.
    float fratio_ = 0.8f;  // "fratio": factor on the fitted slope (MEM mode)
    float Lambda_ = 1.0f;  // "Lambda": step of the MEM correction
    float CutoffRatio_ = 1e-4f;  // "CutoffRatio": of the forward transform's threshold
    LwLong LoopCount_ = 0;  // "LoopCount": the current iteration
    LwLong AutoSave_ = 5;  // "AutoSave": save period in iterations
    float MinRMS_ = 1e10f;  // "MinRMS": smallest RMS error so far
    LwLong NDefocus_ = 0;  // "NDefocus": carried only
    float DefocusWeightSurround_ = 1.0f;  // "DefocusWeightSurround": carried only
    bool IsRemoveMinimum_ = false;  // "IsRemoveMinimum": carried only
    bool IsReduceGradient_ = false;  // "IsReduceGradient"
    float ReduceGradientRatio_ = 0.1f;  // "ReduceGradientRatio": reduction acts when not 0
    bool IsRemoveAverage_ = false;  // "IsRemoveAverage_": carried only
    float RemoveAverageRatio_ = 0.5f;  // "RemoveAverageRatio": carried only
    bool IsSmoothingErr_ = false;  // "IsSmoothingErr": smoothing of the gradient
    LwLong SmoothingErrN_ = 0;  // "SmoothingErrN": smoothing passes
    bool IsUseEstimateMaxUseABS_ = true;  // "IsUseEstimateMaxUseABS": MEM step by the largest |gradient|

    // In memory only.
    float Startfratio_ = 0.8f;  // values the job resets the working values to
    float StartLambda_ = 1.0f;
    float StartTotalPower_ = 1.0f;
    float StartCutoffRatio_ = 1e-4f;
    LwLong CorrectionType_ = 0;  // 0 MEM, 1 SDM
    std::vector<float> RmsHistory_;  // one RMS error per iteration
    std::vector<float> MaxHistory_;  // one density maximum x 1e10 per iteration
    float Threshold_ = 0.0f;  // current SDM threshold
    std::vector<float> ThresholdHistory_;  // every threshold used
    LwLong ThresholdLoops_ = 1000;  // iterations in which the SDM threshold is recomputed
    float ThresholdPercentage_ = 90.0f;  // % of the largest gradient value that becomes the threshold
    bool IsGradientPostFilter_ = false;  // radius-weighted grid filter of the gradients
    LwLong SoftThresholdType_ = 0;  // 0, 1 or 2
    bool IsAutoThreshold_ = false;  // threshold from the gradient maximum
    float FixedThreshold_ = 0.0f;  // threshold when IsAutoThreshold_ is off

    LwHologramParam HologramParam_;  // "DocCalcInfo"
    LwKSpaceData KSpace_;  // "k_space_all"
    LwRealSpaceData RealSpace_;  // "real_space_all_3"
    LwScatteringPattern ScatteringPattern_;  // "ScatteringPatternMatrix03"
};
