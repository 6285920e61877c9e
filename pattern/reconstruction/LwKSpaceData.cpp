#include "pattern/reconstruction/LwKSpaceData.h"

#include "core/LwBarnXml.h"
#include "core/LwError.h"
#include "core/LwMatrixArithmetic.h"
#include "core/LwMatrixBarn.h"

bool LwKSpaceData::LoadSave(LwBarnXml& doc)
{
    // A set that breaks its invariants is refused before anything is written.
    if (doc.IsWriteMode())
        CheckConsistency();
    if (!doc.OpenRack("k_space_all"))
        return false;
    SerializeMatrix(doc, "Ux", Ux_, "b");
    SerializeMatrix(doc, "Uy", Uy_, "b");
    SerializeMatrix(doc, "Uz", Uz_, "b");
    NPoint_ = Ux_.VectorSize();

    if (doc.IsWriteMode()) {
        doc.OpenRack("list");
        for (LwLong i = 0; i < NList_; ++i) {
            doc.OpenRack("i");
            doc.ValueFloat("E", E_[i], 0.0f);
            SerializeMatrix(doc, "Exp", Exp_[i], "b");
            SerializeMatrix(doc, "Cal", Cal_[i], "b");
            SerializeMatrix(doc, "Err", Err_[i], "b");
            doc.CloseRack("i");
        }
        doc.CloseRack("list");
    } else {
        E_.clear();
        Exp_.clear();
        Cal_.clear();
        Err_.clear();
        ForwardGradient_.clear();
        // Every item is read: a document is never cut down on reading, so
        // saving it again cannot lose holograms.
        if (doc.OpenRack("list")) {
            while (doc.OpenRack("i")) {
                float e = 0.0f;
                LwFloatMatrix exp, cal, err;
                doc.ValueFloat("E", e, 0.0f);
                SerializeMatrix(doc, "Exp", exp, "b");
                if (!SerializeMatrix(doc, "Cal", cal, "b")) {
                    cal.Create(exp.ColSize, exp.RowSize);
                    cal.SetZero();
                }
                if (!SerializeMatrix(doc, "Err", err, "b"))
                    err = MatrixZeroLike(exp);
                LwFloatMatrix forward = MatrixZeroLike(exp);
                doc.CloseRack("i");
                // Flagged hand-over: each buffer moves into its list.
                E_.push_back(e);
                Exp_.push_back(exp.Release(true));
                Cal_.push_back(cal.Release(true));
                Err_.push_back(err.Release(true));
                ForwardGradient_.push_back(forward.Release(true));
            }
            doc.CloseRack("list");
        }
        NList_ = static_cast<LwLong>(E_.size());
    }
    doc.CloseRack("k_space_all");
    CheckConsistency();
    return true;
}

void LwKSpaceData::CheckConsistency() const
{
    if (NPoint_ != Ux_.VectorSize() || NPoint_ != Uy_.VectorSize() || NPoint_ != Uz_.VectorSize())
        throw LwError("Error: not consistent");
    const auto n = static_cast<std::size_t>(NList_);
    if (NList_ < 0 || E_.size() != n || Exp_.size() != n || Cal_.size() != n || Err_.size() != n)
        throw LwError("Error: not consistent");
    for (std::size_t i = 0; i < n; ++i)
        if (Exp_[i].VectorSize() != NPoint_ || Cal_[i].VectorSize() != NPoint_ ||
            Err_[i].VectorSize() != NPoint_)
            throw LwError("Error: not consistent");
}
