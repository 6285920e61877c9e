#include "pattern/reconstruction/LwDocCalcMem.h"

#include "core/LwBarnXml.h"
#include "core/LwMatrixBarn.h"
#include "core/TextUtilities.h"

QString CalcMemLoopFileName(const QString& baseName, LwLong loopCount)
{
    return baseName + QStringLiteral("_lp") + QString::fromStdString(IntToStringZeroFill(loopCount, 3)) +
           QStringLiteral(".xml_rs");
}

bool LwDocCalcMem::LoadSave(LwBarnXml& doc)
{
    if (!doc.OpenRack("calc_mem_data"))
        return false;
    HologramParam_.LoadSave(doc, "DocCalcInfo");

    if (doc.OpenRack("parameter")) {
        doc.ValueFloat("fratio", fratio_, 1.0f);
        doc.ValueFloat("Lambda", Lambda_, 1.0f);
        doc.ValueFloat("CutoffRatio", CutoffRatio_, 0.0f);
        doc.ValueLong("LoopCount", LoopCount_, 0);
        doc.ValueLong("AutoSave", AutoSave_, 5);
        doc.ValueFloat("MinRMS", MinRMS_, 1e10f);
        doc.ValueLong("NDefocus", NDefocus_, 0);
        doc.ValueFloat("DefocusWeightSurround", DefocusWeightSurround_, 1.0f);
        doc.ValueBool("IsRemoveMinimum", IsRemoveMinimum_, false);
        doc.ValueBool("IsReduceGradient", IsReduceGradient_, false);
        doc.ValueFloat("ReduceGradientRatio", ReduceGradientRatio_, 0.1f);
        doc.ValueBool("IsRemoveAverage_", IsRemoveAverage_, false);
        doc.ValueFloat("RemoveAverageRatio", RemoveAverageRatio_, 0.5f);
        doc.ValueBool("IsSmoothingErr", IsSmoothingErr_, false);
        doc.ValueLong("SmoothingErrN", SmoothingErrN_, 20);
        doc.ValueBool("IsUseEstimateMaxUseABS", IsUseEstimateMaxUseABS_, true);
        doc.CloseRack("parameter");
    }

    KSpace_.LoadSave(doc);
    ScatteringPattern_.LoadSave(doc);
    RealSpace_.LoadSave(doc);

    if (!doc.IsWriteMode()) {
        Startfratio_ = fratio_;
        StartLambda_ = Lambda_;
        StartTotalPower_ = RealSpace_.TotalPower_;
        StartCutoffRatio_ = CutoffRatio_;
    }

    if (doc.IsWriteMode()) {
        const int n = static_cast<int>(RmsHistory_.size());
        LwFloatMatrix history(3, n);
        for (int i = 0; i < n; ++i) {
            history(0, i) = static_cast<float>(i);
            history(1, i) = RmsHistory_[i];
            history(2, i) = i < static_cast<int>(MaxHistory_.size()) ? MaxHistory_[i] : 0.0f;
        }
        SerializeMatrix(doc, "history_rms_max", history, "t");
    } else {
        RmsHistory_.clear();
        MaxHistory_.clear();
        LwFloatMatrix history;
        if (SerializeMatrix(doc, "history_rms_max", history, "t") && history.ColSize == 3) {
            for (int r = 0; r < history.RowSize; ++r) {
                RmsHistory_.push_back(history(history.ColBegin + 1, history.RowBegin + r));
                MaxHistory_.push_back(history(history.ColBegin + 2, history.RowBegin + r));
            }
        }
    }
    doc.CloseRack("calc_mem_data");
    return true;
}
