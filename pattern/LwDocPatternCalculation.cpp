// The pattern calculation of LwDocPattern: the far field of a prepared
// scatterer list summed into the intensity planes of the projection grid.

#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/LwMatrixArithmetic.h"
#include "core/LwNotifyTerminate.h"
#include "core/LwSphericalCoordinates.h"
#include "physics/LwFarFieldSum.h"
#include "pattern/LwDocPattern.h"

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

constexpr double kHalfPi = LwConst::Pi / 2;
// Sources with a squared distance from the origin at or below this (m^2,
// i.e. within 1e-11 m) are the emitter itself.
constexpr double kEmitterDistance2 = 1e-22;
// Margin of the surface above the topmost atom (m).
constexpr double kSurfaceMargin = 5e-11;

// (|A + B|^2, |B|^2, |A|^2, |A + iB|^2) of the scattered amplitude A and the
// direct one B.
std::array<double, 4> Intensities(const LComplex& A, const LComplex& B)
{
    const LComplex iB(-B.imag(), B.real());
    return {static_cast<double>(std::norm(A + B)), static_cast<double>(std::norm(B)),
            static_cast<double>(std::norm(A)), static_cast<double>(std::norm(A + iB))};
}

}  // namespace

void LwDocPattern::SetRotationFromEulerAngles()
{
    Rotation = EulerRotationMatrix(-EulerA_deg_ * LwConst::Pi / 180, EulerB_deg_ * LwConst::Pi / 180,
                                   -EulerC_deg_ * LwConst::Pi / 180);
}

void LwDocPattern::CalcDirectionAngles(LwLDoubleMatrix& theta, LwLDoubleMatrix& phi) const
{
    const LwLDoubleMatrix& W = Grid.W;
    W.CheckSameSize(Grid.X);
    W.CheckSameSize(Grid.Y);
    W.CheckSameSize(Grid.Z);
    // Pixel (i, j) is read at (i, j); a grid beginning elsewhere is refused
    // here, since a range error inside the parallel loop would end the
    // program.
    if (W.ColBegin != 0 || W.RowBegin != 0)
        throw LwError("LwDocPattern::CalcDirectionAngles(): the grid does not begin at pixel (0, 0)");
    // The rotation's elements up front, so that a matrix of the wrong shape
    // fails here and not inside the parallel loop.
    const LwLDoubleMatrix& R = Rotation;
    const int c0 = R.ColBegin, r0 = R.RowBegin;
    LDouble m[3][3];
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            m[row][col] = R(c0 + col, r0 + row);
    theta.Create(W.ColSize, W.RowSize);
    phi.Create(W.ColSize, W.RowSize);
    const int columns = W.ColSize, rows = W.RowSize;
    // Every pixel on its own; the rows go to the threads in contiguous
    // blocks, so each thread also first-touches its own part of THETA and PHI.
    // Nothing in the loop can throw: every access is inside the matrices
    // checked above, and the arithmetic raises nothing.
    const int threads = omp_get_max_threads();
#pragma omp parallel for num_threads(threads) schedule(static)
    for (int j = 0; j < rows; ++j) {
        for (int i = 0; i < columns; ++i) {
            if (W(i, j) == 0) {
                theta(i, j) = 0;
                phi(i, j) = 0;
                continue;
            }
            const LDouble u[3] = {Grid.X(i, j), Grid.Y(i, j), Grid.Z(i, j)};
            LDouble v[3];
            for (int row = 0; row < 3; ++row)
                v[row] = m[row][0] * u[0] + m[row][1] * u[1] + m[row][2] * u[2];
            LDouble r;
            CartesianToSpherical(v[0], v[1], v[2], r, theta(i, j), phi(i, j));
        }
    }
}

void LwDocPattern::PrepareWorkingWave(const LwVectorFreeElectron& scatterers)
{
    // The depth attenuation divides by the mean free path as well; a
    // negative one would amplify instead of damp.
    if (IsAttenuateByDepth_ && MeanFreePath_m_ < 0)
        throw LwError("LwDocPattern::PrepareStructure():ERROR mean free path <0");
    WorkingWave = scatterers;
    const double limit2 = ClusterSizeLimit_m_ * ClusterSizeLimit_m_;
    const double lower2 = LowerLimit_m_ * LowerLimit_m_;
    auto& sources = WorkingWave.Sources();
    const auto dropped = [&](const LwPartialWaveSource& s) {
        const double x = s.X(), y = s.Y(), z = s.Z();
        const double d2 = x * x + y * y + z * z;
        return (ClusterSizeLimit_m_ != 0 && d2 >= limit2) || (DepthLimit_m_ > 0 && z > DepthLimit_m_) ||
               (d2 > kEmitterDistance2 && d2 <= lower2);
    };
    // remove_if keeps the order of the sources that stay (source 0 stays
    // the emitter).
    sources.erase(std::remove_if(sources.begin(), sources.end(), dropped), sources.end());
    WorkingWave.SetMeanFreePath_m(IsAttenuateByEmitterDistance_ ? MeanFreePath_m_ : 0);
    if (Phase_deg_ != 0 && !sources.empty()) {
        const double f = Phase_deg_ * LwConst::Pi / 180;
        const LComplex turn(std::cos(f), std::sin(f));
        LwLmComplexArray& c = sources[0].Outgoing();
        for (LwLong k = 0; k < c.Size(); ++k)
            c[k] *= turn;
    }
    L = 0;
}

double LwDocPattern::SurfaceHeight(const LwVectorFreeElectron& scatterers)
{
    double top = 0;
    for (const auto& s : scatterers.Sources())
        top = std::max(top, static_cast<double>(s.Z()));
    return top + kSurfaceMargin;
}

double LwDocPattern::DepthFactor(LDouble theta, double zs) const
{
    if (!IsAttenuateByDepth_ || MeanFreePath_m_ == 0)
        return 1;
    if (theta > kHalfPi)
        return 0;
    return std::exp(-(zs / std::cos(static_cast<double>(theta))) / MeanFreePath_m_);
}

std::array<double, 4> LwDocPattern::PixelIntensity(LDouble theta, LDouble phi) const
{
    return PixelIntensity(theta, phi, L);
}

std::array<double, 4> LwDocPattern::PixelIntensity(LDouble theta, LDouble phi, const LwLong& l) const
{
    const LComplex A = WorkingWave.GetFarFieldScattered(theta, phi, l);
    const LComplex B = WorkingWave.GetFarFieldDirect(theta, phi);
    return Intensities(A, B);
}

void LwDocPattern::CalcPixelColumns(const LwLDoubleMatrix& theta, const LwLDoubleMatrix& phi,
                                    LwNotifyTerminate& stop, double zs)
{
    if (Grid.Planes.size() < 4)
        throw LwError("LwDocPattern::CalcPixelColumns(): the grid has fewer than 4 planes");
    const LwLDoubleMatrix& W = Grid.W;
    W.CheckSameSize(theta);
    W.CheckSameSize(phi);
    for (int p = 0; p < 4; ++p)
        W.CheckSameSize(Grid.Planes[p]);
    LwLDoubleMatrix& p0 = Grid.Planes[0];
    LwLDoubleMatrix& p1 = Grid.Planes[1];
    LwLDoubleMatrix& p2 = Grid.Planes[2];
    LwLDoubleMatrix& p3 = Grid.Planes[3];
    const int columns = W.ColSize, rows = W.RowSize;
    const int threads = omp_get_max_threads();

    // The sources' part of the far-field sums, once for all pixels. An l
    // range that a scatterer exceeds fails in every pixel alike: then no
    // pixel gains anything, as when each pixel's error is dropped.
    std::unique_ptr<const LwFarFieldSum> farField;
    try {
        farField = std::make_unique<const LwFarFieldSum>(WorkingWave, L);
    } catch (const LwError&) {
        return;
    }

    // Every exception is caught per pixel pair, so none can leave the
    // region. The far-field tables, THETA, PHI and W are only read here (the
    // evaluation keeps its scratch per thread), and each thread writes only
    // the pixels of its own columns. The pixels of a column go in pairs, two
    // directions per pass over the tables; a pixel's value depends on its
    // own direction alone, not on its partner, so the planes do not depend
    // on the thread count. The columns are dealt out one at a time: the
    // middle columns of a disc hold many more pixels than the outer ones, and
    // contiguous ranges of columns would leave the outer threads idle.
#pragma omp parallel num_threads(threads)
    {
        const auto add = [&](int i, int j, const LwFarFieldSum::Amplitudes& a) {
            const std::array<double, 4> p = Intensities(a.scattered, a.direct);
            const double g = DepthFactor(theta(i, j), zs);
            p0(i, j) += g * p[0];
            p1(i, j) += g * p[1];
            p2(i, j) += g * p[2];
            p3(i, j) += g * p[3];
        };
#pragma omp for schedule(static, 1)
        for (int i = 0; i < columns; ++i) {
            // Rows waiting for a partner; the last one of a column is paired
            // with itself.
            int pending[2];
            int waiting = 0;
            for (int j = 0; j <= rows; ++j) {
                try {
                    if (j < rows) {
                        if (stop.IsTerminate() || W(i, j) == 0)
                            continue;
                        pending[waiting++] = j;
                        if (waiting < 2)
                            continue;
                    } else if (waiting == 0) {
                        break;
                    } else {
                        pending[waiting++] = pending[0];
                    }
                    waiting = 0;
                    const LDouble t[2] = {theta(i, pending[0]), theta(i, pending[1])};
                    const LDouble f[2] = {phi(i, pending[0]), phi(i, pending[1])};
                    LwFarFieldSum::Amplitudes a[2];
                    farField->Evaluate(t, f, a);
                    add(i, pending[0], a[0]);
                    if (pending[1] != pending[0])
                        add(i, pending[1], a[1]);
                } catch (...) {
                    // An error of the evaluation (an LwError or a bare text)
                    // drops the pixels of that pair only.
                }
            }
        }
    }
}
