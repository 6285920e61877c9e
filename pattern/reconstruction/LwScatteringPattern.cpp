#include "pattern/reconstruction/LwScatteringPattern.h"

#include "core/LwBarnXml.h"
#include "core/LwError.h"
#include "core/LwMatrixArithmetic.h"
#include "core/LwMatrixBarn.h"

#include <algorithm>
#include <climits>
#include <cstdint>

LwFloatMatrix SubMatrix(const LwFloatMatrix& source, int firstCol, int firstRow, int n, int m)
{
    if (n > 0 && m > 0) {
        // Both corners through the range-checked access: the block lies inside
        // the source exactly when they do, so a block from a damaged document
        // fails here instead of after a large allocation.
        const auto clampInt = [](std::int64_t v) {
            return static_cast<int>(std::min<std::int64_t>(std::max<std::int64_t>(v, INT_MIN), INT_MAX));
        };
        (void)source(firstCol, firstRow);
        (void)source(clampInt(static_cast<std::int64_t>(firstCol) + n - 1),
                     clampInt(static_cast<std::int64_t>(firstRow) + m - 1));
    }
    LwFloatMatrix result(n, m);
    for (int r = 0; r < m; ++r)
        for (int c = 0; c < n; ++c)
            result(c, r) = source(firstCol + c, firstRow + r);
    return result.Release(true);
}

bool LwScatteringPattern::LoadSave(LwBarnXml& doc)
{
    if (!doc.OpenRack("ScatteringPatternMatrix03"))
        return false;
    doc.ValueFloat("R_Min", R_Min_, 0.0f);
    doc.ValueFloat("R_Step", R_Step_, 0.0f);
    doc.ValueLong("R_N", R_N_, 0);
    doc.ValueLong("Z_N", Z_N_, 0);
    if (!doc.OpenRack("ListPatternMatrix02"))
        throw LwError("Err: file is old?");

    if (doc.IsWriteMode()) {
        for (std::size_t i = 0; i < Pattern_.size(); ++i) {
            doc.OpenRack("en");
            float ek = i < Ek_eV_.size() ? Ek_eV_[i] : 0.0f;
            doc.ValueFloat("Ek_eV", ek, 0.0f);
            for (std::size_t j = 0; j < Pattern_[i].size(); ++j) {
                doc.OpenRack("el");
                std::string name = j < Element_.size() ? Element_[j] : std::string();
                doc.ValueString("element", name, "");
                SerializeMatrix(doc, "Pattern", Pattern_[i][j], "b");
                doc.CloseRack("el");
            }
            doc.CloseRack("en");
        }
    } else {
        Ek_eV_.clear();
        Pattern_.clear();
        Element_.clear();
        while (doc.OpenRack("en")) {
            float ek = 0.0f;
            doc.ValueFloat("Ek_eV", ek, 0.0f);
            Ek_eV_.push_back(ek);
            const bool first = Pattern_.empty();
            std::vector<LwFloatMatrix> list;
            while (doc.OpenRack("el")) {
                std::string name;
                doc.ValueString("element", name, "");
                if (first)
                    Element_.push_back(name);
                LwFloatMatrix pattern;
                SerializeMatrix(doc, "Pattern", pattern, "b");
                doc.CloseRack("el");
                list.push_back(pattern.Release(true));
            }
            Pattern_.push_back(std::move(list));
            doc.CloseRack("en");
        }
    }
    doc.CloseRack("ListPatternMatrix02");
    doc.CloseRack("ScatteringPatternMatrix03");
    return true;
}

void LwScatteringPattern::InitTransposed()
{
    Forward_.clear();
    Back_.clear();
    const std::int64_t single = R_N_;
    const std::int64_t twice = 2 * static_cast<std::int64_t>(R_N_);
    for (const std::vector<LwFloatMatrix>& patterns : Pattern_) {
        std::vector<LwFloatMatrix> forward;
        std::vector<LwFloatMatrix> back;
        for (const LwFloatMatrix& p : patterns) {
            if (p.ColSize == single) {
                LwFloatMatrix t = MatrixTranspose(p);
                t.FastReturn = false;
                back.push_back(t);  // a copy
                forward.push_back(t.Release(true));  // the buffer itself
            } else if (p.ColSize == twice) {
                forward.push_back(MatrixTranspose(SubMatrix(p, 0, 0, R_N_, Z_N_)));
                back.push_back(MatrixTranspose(SubMatrix(p, R_N_, 0, R_N_, Z_N_)));
            } else {
                throw LwError("ERROR on LwScatteringPattern::InitTransposed()::MatrixSize Error");
            }
        }
        Forward_.push_back(std::move(forward));
        Back_.push_back(std::move(back));
    }
}
