// The steps of "New Image (Apply checked operations)" on an image held here:
// each checked operation in turn, with its record in the log.
#include "core/LwMatrixArithmetic.h"
#include "apps/halvane/engine/LwProcessLog.h"
#include "apps/halvane/engine/RfaParameters.h"

void RfaParameters::ApplyCheckedSteps(LwFloatMatrix& image, LwProcessLog& log,
                                      const RfaProgress& progress) const
{
    LwMatrixArithmetic arithmetic;
    if (IsMoveCenter_) {
        image = ShiftToCenter(image);
        LogMoveToCenter(log);
    }
    if (IsBgSh_) {
        const LwFloatMatrix background = FitBackgroundSh(image, progress);
        image = arithmetic.ElementDivide(image, background);
        LogRfaBackground(log);
    }
    if (IsBgAz_) {
        const LwFloatMatrix background = AzimuthalBackground(image);
        image = arithmetic.ElementDivide(image, background);
        LogAverageAlong(log);
    }
    if (IsMaskMcpDip_) {
        ApplyDipMask(image);
        LogMaskMcpDip(log);
    }
    if (IsMaskOutside_) {
        ApplyOutsideMask(image);
        LogMaskOutside(log);
    }
}
