#pragma once
// The engine data of the hologram reconstruction and the steps of one
// iteration that connect real space and k-space: the forward transform of
// the densities (or gradients) into holograms, the linear fit of every
// calculated hologram to its measured one with the residual, the RMS error
// and the density maximum, the back-projection of the residuals into
// gradients, and the saving of the document.
//
// The engine works on the reconstruction document it is bound to (in a
// program, the simulation document's LwDocCalcMem). Its own state is the save
// request, the base name of the saved documents and the density maximum of
// the current iteration.
//
// Tables. Item i of the k-space data uses energy i of the scattering-pattern
// set and, for element e, the forward table F(i, e) and back-projection table
// B(i, e) built by LwScatteringPattern::InitTransposed (Z_N columns, R_N
// rows). A grid point of radius R uses table row ir = trunc((R - R_Min) /
// R_Step + 0.5) when 0 <= ir < R_N and is skipped otherwise; a direction
// pair of cosine c uses column trunc((c + 1) ZH + 0.5), ZH = Z_N / 2 (Z_N is
// odd, so the cosine 1 falls on the last column). Cosines of direction
// vectors that are not quite unit are clamped onto the row. The grid point
// at the origin has no direction and is skipped by both transforms.
//
// Threads. The transforms run in OpenMP regions: the forward transform
// splits the directions among the threads, each thread summing over all grid
// points for its own directions, and the back-projection splits the grid
// points. Every output value is therefore summed in the same order (grid
// points, respectively directions, ascending) whatever the thread count, and
// results are identical for any number of threads.
//
// The limits the transforms rely on (table counts and sizes, an odd Z_N, a
// positive R_Step, consistent data) are checked by CheckTransformLimits
// before the reconstruction starts.

#include "core/LwMatrix.h"
#include "core/LwTypes.h"

#include <QString>

#include <atomic>
#include <vector>

class LwDocCalcMem;
class LwRealSpaceData;

class LwCalcMemWork
{
public:
    enum class Source { Densities, Gradients };

    explicit LwCalcMemWork(LwDocCalcMem& doc) : doc_(doc) {}
    LwCalcMemWork(const LwCalcMemWork&) = delete;
    LwCalcMemWork& operator=(const LwCalcMemWork&) = delete;

    LwDocCalcMem& Document() const { return doc_; }

    // Throws an LwError naming the first limit the data break: no hologram
    // item or no direction; fewer pattern energies than items or fewer
    // patterns than elements; tables of another size than Z_N x R_N or
    // missing; an even Z_N; an R_Step or R_Min that is not a finite positive
    // step / finite radius; grid counts XCount, YCount, ZCount that differ
    // from the per-axis counts of the bounds (LwRealSpaceGrid::AxisCounts),
    // or bounds whose points are not the data's point count; a hologram item
    // without an energy (E = 0, what an item without "E" reads as), or whose
    // energy E differs, by more than a relative 1e-5 (rounding of a stored
    // value), from the pattern set's energy Ek_eV at the same position.
    // Needs the tables built (InitTransposed) and consistent data sets.
    void CheckTransformLimits() const;

    // How the forward transform of the densities treats the points below the
    // cut-off, CutoffRatio x DensityPeak_ (a share of the largest density,
    // like with like).
    //
    // The cut-off trades accuracy for speed: a skipped point saves its share
    // of the forward transform (most of the grid once the densities have
    // gathered on the atoms), but while its weight is missing from the fit
    // the back-projection still updates it, so weight can collect there
    // unseen and the densities move off the atoms. The job therefore takes
    // the skipped points into the fit at their densities of the last full
    // transform (Reuse), and makes a full transform every few iterations
    // (Refresh, see FullForwardDue), where every point re-enters the fit at
    // its current density and the set of skipped points is chosen anew.
    //   Apply: points below the cut-off are left out.
    //   Refresh: every point contributes; the points below the cut-off are
    //     recorded, with the forward image of their densities.
    //   Reuse: the points not recorded at the last Refresh contribute with
    //     their current densities, the recorded ones with the image kept
    //     then. Without a Refresh since ClearCutoffState (or for data of
    //     other sizes) it is a Refresh.
    enum class Cutoff { Apply, Refresh, Reuse };

    // Densities: adds the forward image of every element's densities to each
    // calculated hologram, the points below the cut-off treated as `cutoff`
    // says. Gradients: adds the forward image of the gradients to each
    // forward gradient, every point contributing (`cutoff` is not used). In
    // both modes a point whose radius falls outside the table rows has its
    // source value set to 0.
    void ConvertRToK(Source source, Cutoff cutoff = Cutoff::Apply);
    // Whether the forward transform of iteration `loop` is a Refresh: every
    // kFullForwardInterval-th iteration, iteration 1 (the first with a
    // transform), an iteration whose document the auto-save schedule saves
    // (a multiple of AutoSave >= 1) and one with a save request, so that a
    // saved document's holograms and error are those of all its densities.
    bool FullForwardDue(LwLong loop) const;
    // Forgets the skipped points and their image (a new run).
    void ClearCutoffState();
    // Whether the last Refresh (since ClearCutoffState) left out any point.
    bool SkippedAny() const { return skippedAny_; }
    static constexpr LwLong kFullForwardInterval = 4;
    // Adds the back-projection of every residual to the gradients, at the
    // points whose density is not 0 and whose radius has a table row.
    void ConvertKToR();
    // Fits every calculated hologram to its measured one (FitLinear), leaves
    // it centred and forms the residual Exp - b - Cal a', with a' = 1 when
    // `unitSlope`, else a x fratio. Throws "Fitting Error" (see FitLinear).
    void FitHolograms(bool unitSlope);
    // sqrt(sum of all squared residuals) / (directions x items); appended to
    // the RMS history, lowers MinRMS. Partial sums of fixed blocks, added in
    // block order, so the value does not depend on the thread count.
    double CalcRmsError();
    // DensityMax_ = the largest density x radius (m) and DensityPeak_ = the
    // largest density, over all elements and points, each at least 0.
    void CalcMaxDensity();
    // Appends DensityMax_ x 1e10 to the maximum history.
    void PushMaxHistory();
    // Every density value of every element becomes 1e-25.
    void InitDensity();
    // Saves the document when the history holds at least two entries and the
    // loop count is 0 or 1, a multiple of AutoSave (>= 1), the save request
    // is set, or this iteration reached the smallest RMS error so far; then
    // clears the save request.
    void AutoSave();
    // Writes the document to CalcMemLoopFileName(BaseName_, LoopCount) in
    // UTF-8, through a temporary file that replaces the target only when it
    // is complete. Throws the file's error ("FILE CANNOT WRITE:<name>").
    void SaveDocument();
    // The real-space filter of the densities after a correction: radius
    // weighting, rotational and translational averaging, radius weighting
    // undone (LwCalcMemCorrection.h).
    void FilterRSpace(std::vector<LwFloatMatrix>& density, const LwRealSpaceData& real);

    // Forces the next auto-save; cleared after every save. May be set from
    // another thread while the job runs.
    std::atomic<bool> SaveRequest_{false};
    QString BaseName_;  // first part of a saved document's file name
    float DensityMax_ = 0.0f;  // largest density x radius (m) of the current iteration
    float DensityPeak_ = 0.0f;  // largest density of the current iteration: the cut-off's scale

private:
    bool HasCutoffState() const;

    LwDocCalcMem& doc_;
    // Per item, the forward image of the points skipped at the last Refresh;
    // per element, which points were taken (1) then.
    std::vector<LwFloatMatrix> skippedImage_;
    std::vector<std::vector<char>> active_;
    bool skippedAny_ = false;
};

// Centres X (X - mean, in double, stored as float) and fits Y = a X + b by
// least squares over the n = X's vector size entries (sums in double of float
// products). A constant X gives a = 1e-25, b = mean of Y; a slope <= 0 is
// replaced by 1e-25 after b was formed with it. A NaN in a or b throws
// LwError "Fitting Error". X and Y must have the same vector size.
void FitLinear(LwFloatMatrix& x, const LwFloatMatrix& y, float& a, float& b);
