// Adjust Screen's search for the screen edge: the azimuthal profile of the
// clipped image around each of a grid of candidate centres, and the
// sharpest fall of it along the main diagonal.
#include "core/LwError.h"
#include "core/LwParallelErrors.h"
#include "apps/halvane/engine/RfaParameters.h"

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// The ring of a pixel around a centre, as AverageAlongAzimuthal bins it:
// floor(r + 0.5) of the single-precision distance, from the squared offset
// summed in single precision.
int RingBin(float d2)
{
    return static_cast<int>(std::floor(std::sqrt(d2) + 0.5f));
}

// The centres of the screen-edge search lie on a grid of half pixels, so
// the offset of a pixel from a centre is (i + px / 2, j + py / 2) with
// integers i, j and parities px, py of 0 or 1. The ring of every such offset
// is tabulated once, per parity pair, by its absolute integer parts
// (|dx| - px / 2, |dy| - py / 2): the offsets are exact in single precision
// (the image is checked to be small enough), so an entry is the very bin
// that RingBin gives for the pixel.
class RingTable
{
public:
    RingTable(int maxAdx, int maxAdy) : width_(maxAdx + 1), height_(maxAdy + 1)
    {
        const std::size_t plane = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
        bins_.resize(4 * plane);
        int largest = 0;
        // Float arithmetic and stores into bins_, sized above: nothing in the
        // loop can throw.
        const int threads = omp_get_max_threads();
#pragma omp parallel for num_threads(threads) schedule(static) reduction(max : largest)
        for (int line = 0; line < 4 * height_; ++line) {
            const int parities = line / height_;
            const int ady = line % height_;
            const float dy = static_cast<float>(ady) + 0.5f * static_cast<float>(parities >> 1);
            const float dx0 = 0.5f * static_cast<float>(parities & 1);
            std::uint16_t* out = &bins_[static_cast<std::size_t>(line) * static_cast<std::size_t>(width_)];
            for (int adx = 0; adx < width_; ++adx) {
                const float dx = static_cast<float>(adx) + dx0;
                const int bin = RingBin(dx * dx + dy * dy);
                largest = std::max(largest, bin);
                out[adx] = static_cast<std::uint16_t>(bin);
            }
        }
        largest_ = largest;
    }
    // The largest bin of the table.
    int Largest() const
    {
        return largest_;
    }
    // The bins of offsets (adx + px / 2, ady + py / 2) for adx = 0, 1, ...
    const std::uint16_t* Line(int px, int py, int ady) const
    {
        const int line = (py * 2 + px) * height_ + ady;
        return &bins_[static_cast<std::size_t>(line) * static_cast<std::size_t>(width_)];
    }

private:
    int width_;
    int height_;
    int largest_ = 0;
    std::vector<std::uint16_t> bins_;
};

// A centre of the search: x = whole + half / 2 (half 0 or 1).
struct HalfCoordinate
{
    int whole;
    int half;
    // |p - x| - half / 2 for an integer p.
    int Distance(int p) const { return p < whole + half ? whole - p : p - whole - half; }
};

// Per thread: the ring sums and counts of one centre and the means along
// the image's diagonal.
struct RingWork
{
    std::vector<double> sum;
    std::vector<int> count;
    std::vector<float> mean;
};

// What one centre gives: the smallest second difference (0 when none is
// negative) and its diagonal position.
struct EdgeCandidate
{
    float d2 = 0;
    float r = 0;
};

// The search at centre (hx, hy): the ring sums and counts in storage order,
// as AverageAlongAzimuthal takes them (sums in double, means narrowed to
// float), then the second differences of the means along the diagonal
// (k, k), k = 0 .. n - 1.
EdgeCandidate ScanCentre(const LwFloatMatrix& image, const RingTable& table, HalfCoordinate hx,
                         HalfCoordinate hy, int n, RingWork& work)
{
    const int c0 = image.ColBegin, r0 = image.RowBegin;
    const int cols = image.ColSize, rows = image.RowSize;
    const std::size_t bins = static_cast<std::size_t>(table.Largest()) + 1;
    work.sum.assign(bins, 0.0);
    work.count.assign(bins, 0);
    double* sum = work.sum.data();
    int* count = work.count.data();
    // Columns left of the centre, whose bins fall with the column, and the
    // rest, whose bins rise.
    const int left = std::clamp(hx.whole + hx.half - c0, 0, cols);
    const int leftBase = hx.whole - c0;  // Distance of column c < left: leftBase - c
    const int rightBase = c0 - hx.whole - hx.half;  // of column c >= left: c + rightBase
    for (int r = 0; r < rows; ++r) {
        const std::uint16_t* line = table.Line(hx.half, hy.half, hy.Distance(r0 + r));
        const float* row = image.Buffer() + static_cast<std::size_t>(r) * static_cast<std::size_t>(cols);
        for (int c = 0; c < left; ++c) {
            const std::size_t b = line[leftBase - c];
            sum[b] += row[c];
            ++count[b];
        }
        for (int c = left; c < cols; ++c) {
            const std::size_t b = line[c + rightBase];
            sum[b] += row[c];
            ++count[b];
        }
    }

    const float x = static_cast<float>(hx.whole) + 0.5f * static_cast<float>(hx.half);
    const float y = static_cast<float>(hy.whole) + 0.5f * static_cast<float>(hy.half);
    work.mean.resize(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) {
        const float dx = static_cast<float>(k) - x;
        const float dy = static_cast<float>(k) - y;
        const std::size_t b = static_cast<std::size_t>(RingBin(dx * dx + dy * dy));
        work.mean[static_cast<std::size_t>(k)] = count[b] > 0 ? static_cast<float>(sum[b] / count[b]) : 0.0f;
    }
    // d2[k] = 2 mean[k] - mean[k + 1] - mean[k - 1] for k = 1 .. n - 2 and 0
    // at both ends; the first smallest entry wins.
    const float* mean = work.mean.data();
    EdgeCandidate best;
    int kmin = 0;
    for (int k = 1; k <= n - 2; ++k) {
        const float d2 = 2 * mean[k] - mean[k + 1] - mean[k - 1];
        if (d2 < best.d2) {
            best.d2 = d2;
            kmin = k;
        }
    }
    best.r = static_cast<float>(kmin);
    return best;
}

}  // namespace

RfaParameters::ScreenEdge RfaParameters::FindScreenEdge(const LwFloatMatrix& image,
                                                        const RfaProgress& progress) const
{
    if (image.ElementCount() == 0)
        throw LwError("The image has no pixels");
    // The candidate centres lie within 20 pixels of the image centre: an
    // image that cannot hold them gives a centre outside itself.
    const std::string size = std::to_string(image.ColSize) + " x " + std::to_string(image.RowSize);
    if (image.ColSize < 40 || image.RowSize < 40)
        throw LwError("The image (" + size +
                      " pixels) is too small for the edge search of Adjust Screen, which looks for the "
                      "screen centre within 20 pixels of the image centre: it needs at least 40 x 40 pixels");
    if (!std::isfinite(static_cast<double>(AdjThres_)))
        throw LwError("Adj Screen: Threshold is not a finite number");
    // The search runs on the image's own indices, from (0, 0); the clipped
    // image keeps the source's begins.
    LwFloatMatrix clipped = image;
    clipped.ColBegin = 0;
    clipped.RowBegin = 0;
    float m = clipped.Buffer()[0];
    for (int i = 0; i < clipped.ElementCount(); ++i)
        m = std::max(m, clipped.Buffer()[i]);
    const float clip = static_cast<float>(AdjThres_ * m);
    for (int i = 0; i < clipped.ElementCount(); ++i)
        if (clipped.Buffer()[i] > clip)
            clipped.Buffer()[i] = clip;
    // The profile is read along the main diagonal, (k, k) for k from 0 to
    // the end of the shorter side; the candidate centres lie around the
    // image centre, each coordinate on its own axis.
    const int n = std::min(clipped.ColSize, clipped.RowSize);

    constexpr int kCandidates = 80;
    const int loX = clipped.ColSize / 2 - 20;
    const int loY = clipped.RowSize / 2 - 20;
    float coordX[kCandidates], coordY[kCandidates];
    HalfCoordinate halfX[kCandidates], halfY[kCandidates];
    for (int i = 0; i < kCandidates; ++i) {
        coordX[i] = static_cast<float>(static_cast<LDouble>(loX) + 0.5L * i);
        coordY[i] = static_cast<float>(static_cast<LDouble>(loY) + 0.5L * i);
        halfX[i] = HalfCoordinate{loX + i / 2, i % 2};
        halfY[i] = HalfCoordinate{loY + i / 2, i % 2};
    }

    // The ring table covers every offset of a pixel from a centre. Its bins
    // are 16-bit; below that bound the offsets are far inside the range
    // where single precision holds them exactly.
    const int colFirst = clipped.ColBegin;
    const int colLast = clipped.ColBegin + clipped.ColSize - 1;
    const int rowFirst = clipped.RowBegin;
    const int rowLast = clipped.RowBegin + clipped.RowSize - 1;
    int maxAdx = 0, maxAdy = 0;
    for (const int i : {0, kCandidates - 1}) {
        maxAdx = std::max({maxAdx, halfX[i].Distance(colFirst), halfX[i].Distance(colLast)});
        maxAdy = std::max({maxAdy, halfY[i].Distance(rowFirst), halfY[i].Distance(rowLast)});
    }
    if (std::hypot(maxAdx + 1.0, maxAdy + 1.0) > 0xFFFF)
        throw LwError("The image is too large for Adjust Screen");
    // The diagonal passes |cols - rows| / (2 sqrt 2) from the image centre;
    // from sqrt 2 times the shorter side on, that is beyond half the shorter
    // side, and no screen inside the image crosses it.
    const double sideDifference = std::abs(static_cast<double>(image.ColSize) - image.RowSize);
    if (sideDifference >= std::sqrt(2.0) * std::min(image.ColSize, image.RowSize))
        throw LwError(
            "The image (" + size +
            " pixels) is too narrow for the edge search of Adjust Screen, which reads the screen "
            "edge along the diagonal from pixel (0, 0): the longer side must be less than about 2.4 "
            "times the shorter side");
    const RingTable table(maxAdx, maxAdy);

    // Per centre: the smallest d2 and its position. The centres of a few
    // rows of the scan at a time run in parallel, each on its own, handed out
    // one by one to whichever thread is free; the best is taken in scan
    // order afterwards, so the thread count changes nothing.
    constexpr int kRowsPerStep = 4;
    std::vector<EdgeCandidate> results(static_cast<std::size_t>(kCandidates) * kCandidates);
    const int threads = omp_get_max_threads();
    std::vector<RingWork> work(static_cast<std::size_t>(threads));
    LwParallelErrors errors(threads);
    for (int firstRow = 0; firstRow < kCandidates; firstRow += kRowsPerStep) {
        ReportRfaProgress(progress, firstRow, kCandidates, "Adjust Screen was cancelled");
        const int first = firstRow * kCandidates;
        const int last = std::min(firstRow + kRowsPerStep, kCandidates) * kCandidates;
#pragma omp parallel for num_threads(threads) schedule(dynamic, 1)
        for (int i = first; i < last; ++i) {
            errors.Run([&] {
                results[static_cast<std::size_t>(i)] =
                    ScanCentre(clipped, table, halfX[i % kCandidates], halfY[i / kCandidates], n,
                               work[static_cast<std::size_t>(omp_get_thread_num())]);
            });
        }
        errors.RethrowFirst();
    }
    ReportRfaProgress(progress, kCandidates, kCandidates, "Adjust Screen was cancelled");

    ScreenEdge edge;
    float best = 0;
    for (int iy = 0; iy < kCandidates; ++iy)
        for (int ix = 0; ix < kCandidates; ++ix) {
            const EdgeCandidate& r =
                results[static_cast<std::size_t>(iy) * kCandidates + static_cast<std::size_t>(ix)];
            if (r.d2 < best) {
                best = r.d2;
                edge.found = true;
                edge.x = coordX[ix];
                edge.y = coordY[iy];
                edge.position = r.r;
            }
        }
    if (edge.found) {
        const LDouble px = static_cast<LDouble>(edge.position) - edge.x;
        const LDouble py = static_cast<LDouble>(edge.position) - edge.y;
        const LDouble d = std::sqrt(px * px + py * py);
        edge.radius = static_cast<int>(std::floor(2 * d + 0.5L) * 0.5L);
        // An edge at the centre itself (a single dark pixel, say) is no
        // screen: a circle needs a radius of at least one pixel.
        edge.found = edge.radius >= 1;
    }
    clipped.ColBegin = image.ColBegin;
    clipped.RowBegin = image.RowBegin;
    edge.clipped = std::move(clipped);
    return edge;
}
