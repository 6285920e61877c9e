#pragma once
// LwMatrixOperator: the image and matrix operations of the image-operation
// library. The object has no state; a caller makes one on its stack where it
// needs it, and two objects give the same results for the same arguments.
// Several threads may call operations concurrently on different matrices.
//
// Conventions of every operation:
// - Images are LwFloatMatrix. Column and row indices are absolute (begin
//   indices included) unless an operation says that it counts from 0; those
//   that count from 0 expect begin indices 0 and otherwise end in the range
//   error of the matrix family ("Matrix over range. access=(...").
// - A pixel is *zero* when it compares equal to 0: -0 is zero, NaN is not.
//   With skipZero set, zero pixels are left out of sums, counts and means.
// - "LDouble" is the widest floating type of the build (double, or the 80-bit
//   extended type in halvane's build); sums that the comments call LDouble
//   are accumulated in it.
// - Results come back by value, either flagged FastReturn (the first copy or
//   assignment takes over the buffer) or handed over unflagged; each
//   declaration says which.
// - Failures throw LwError with the texts given below; errors of the matrix
//   family (creation, range, "This is not vector") pass through unchanged.
// - Operations marked "parallel" split their pixels between OpenMP threads
//   (omp_get_max_threads()); each pixel is computed by one thread exactly as
//   the serial loop would, so results do not depend on the thread count.

#include "core/LwMatrix.h"
#include "core/LwTypes.h"

#include <vector>

class LwMatrixOperator
{
public:
    // ---- Azimuthal average -------------------------------------------------

    // The azimuthally averaged image around the centre (cx, cy), given in the
    // image's absolute column and row coordinates (any finite values, not
    // bound to whole numbers; a centre outside the image works).
    //
    // radiusMap holds the radius bin of every pixel and may be kept by the
    // caller between calls on images of one size: a map whose ColSize and
    // RowSize equal the image's is used as it stands (its begins and the
    // centre are not compared), any other map is rebuilt for this centre with
    // the image's sizes and begins: bin = floor(r + 0.5) of the distance r,
    // computed in single precision (r = k + 0.5 goes to bin k + 1).
    // The number of bins B is 1 + the largest of the map's four corners (for a
    // rebuilt map the largest bin of all, since the farthest pixel from any
    // point is a corner). Every pixel adds its value (as double) to its bin,
    // in storage order, except zero pixels when skipZero is set; each bin's
    // mean (0 for a bin without pixels) is written, narrowed to float, to
    // every pixel of that bin, left-out pixels included. The result has the
    // image's sizes and begins and is handed over unflagged.
    //
    // A 0 x 0 image gives a 0 x 0 result and leaves the map alone. Errors:
    // - a non-finite centre: "AverageAlongAzimuthal: centre is not finite";
    // - a radius beyond the 32-bit range: "AverageAlongAzimuthal: centre is
    //   too far from the image";
    // - a reused map holding a bin below 0 or above its largest corner (bins
    //   that do not fit the bin table): "AverageAlongAzimuthal: radius map
    //   does not fit the image", the map and the image untouched;
    // - an image with no columns but some rows (or the reverse): the range
    //   error of reading the map's corners;
    // - bin tables that cannot be allocated: "Cannot Get Memory".
    // Parallel (map building and result).
    LwFloatMatrix AverageAlongAzimuthal(const LwFloatMatrix& image, float cx, float cy, bool skipZero,
                                        LwLongMatrix& radiusMap);

    // image / AverageAlongAzimuthal(the same arguments), element by element,
    // 0 wherever the average is 0. Unflagged.
    LwFloatMatrix DivideByAzimuthalAverage(const LwFloatMatrix& image, float cx, float cy, bool skipZero,
                                           LwLongMatrix& radiusMap);

    // ---- Statistics ----------------------------------------------------------

    // Mean of all elements (zeros left out with skipZero), summed in LDouble
    // in storage order; 0 when nothing is taken.
    LDouble Mean(const LwFloatMatrix& m, bool skipZero);
    LDouble Mean(const LwLDoubleMatrix& m, bool skipZero);

    // sqrt(mean of (x - value)^2) over the elements x, with x - value formed
    // in float and squared and summed in LDouble; with skipZero the elements x
    // equal to 0 are left out (the test is on x, not on x - value). 0 when
    // nothing is taken.
    LDouble RootMeanSquare(const LwFloatMatrix& m, float value, bool skipZero);

    // Intensity-weighted centre (absolute indices) of the pixels not below
    // threshold (NaN pixels are taken); (0, 0) when the weight sum is 0.
    void WeightedCentre(LDouble& centreColumn, LDouble& centreRow, const LwFloatMatrix& m,
                        const LDouble& threshold);

    // image and model must have equal sizes and begins (else
    // "ColSize or RowSize is different", "ColBegin is different",
    // "RowBegin is different", in that order). meanModel = Mean(model,
    // skipZero); rmsModel = RootMeanSquare(model, meanModel as float,
    // skipZero); rmsDifference = RootMeanSquare(image - model in float, 0,
    // skipZero), so that with skipZero the pixels where image equals model
    // are left out; ratio = rmsModel / rmsDifference, 0 when rmsDifference
    // is not above 0.
    void SignalToNoise(LDouble& ratio, LDouble& meanModel, LDouble& rmsModel, LDouble& rmsDifference,
                       const LwFloatMatrix& image, const LwFloatMatrix& model, bool skipZero);

    // Sum over the width x height block of a(xa + x, ya + y) * b(xb + x, yb + y)
    // (x, y from 0; positions counted from 0 in storage, row stride
    // a.ColSize), in LDouble. Each product is formed exactly in 64 bits. 0
    // when width or height is below 1, whatever the positions. Otherwise both
    // blocks must lie inside their matrices and b must have a's column count,
    // else "BlockProductSum: block outside the matrix" or "BlockProductSum:
    // column counts differ".
    LDouble BlockProductSum(const LwLongMatrix& a, const LwLongMatrix& b, int width, int height, int xa,
                            int ya, int xb, int yb);

    // The offset (dx, dy), each in [-range, range], that maximises
    // BlockProductSum(a, b, width, height, x0 + dx, y0 + dy, x0, y0); on equal
    // sums the first in the scan order (dx outer, dy inner, both increasing)
    // wins. range < 0 returns at once without writing the outputs. Every block
    // of the search is tested before the first sum: one outside a matrix
    // throws BlockProductSum's errors and writes no output. Parallel.
    void FindBestBlockOffset(int& bestDx, int& bestDy, const LwLongMatrix& a, const LwLongMatrix& b, int x0,
                             int y0, int width, int height, int range);

    // ---- Neighbourhood filters -----------------------------------------------
    // Every result has the image's sizes and begins. Neighbourhood offsets are
    // summed row by row from the top: (-1,-1), (0,-1), (1,-1), (-1,0), (0,0),
    // (1,0), (-1,1), (0,1), (1,1).

    // 8 x the pixel minus its eight neighbours, the image's edge pixels
    // repeated outside (each product in float, summed in LDouble). Flagged.
    // Parallel.
    static LwFloatMatrix Laplacian(const LwFloatMatrix& image);

    // Every pixel becomes the mean of its row (RowMeanImage) or column
    // (ColumnMeanImage), summed in LDouble; with skipZero zero pixels are left
    // out of the mean and stay 0. A row without taken pixels gives 0.
    // Unflagged.
    LwFloatMatrix RowMeanImage(const LwFloatMatrix& image, bool skipZero);
    LwFloatMatrix ColumnMeanImage(const LwFloatMatrix& image, bool skipZero);

    // passes rounds of neighbour averaging: each pixel becomes the float mean
    // of itself and those of its eight neighbours that lie inside the image
    // (summed in float in the order above); with skipZero zero neighbours are
    // left out and zero pixels stay 0. Each round reads the previous one's
    // values; image is overwritten with the final values and the same values
    // are returned, unflagged. passes <= 0 returns a copy and leaves image
    // untouched.
    LwFloatMatrix SmoothNeighbours(LwFloatMatrix& image, int passes, bool skipZero);

    // Median of the pix x pix window (pix 3 or 5, else "Please set pix=3 or
    // 5"), coordinates clamped to the image. Window samples equal to 0 are
    // replaced by the centre pixel's value; with skipZero a zero centre stays
    // 0. Samples are ordered totally: -0 before +0 and every NaN after +inf,
    // so the median of a window with NaN is defined (NaN only when more
    // than half of the window is NaN). Flagged. Parallel.
    LwFloatMatrix MedianFilter(const LwFloatMatrix& image, bool skipZero, int pix);

    // ---- Mirror, transpose, block sums (LwMatrixTemplates.h) ------------------

    // Column order reversed (the last column becomes the first); flagged.
    static LwLongMatrix MirrorColumnOrder(const LwLongMatrix& m);
    static LwFloatMatrix MirrorColumnOrder(const LwFloatMatrix& m);
    static LwDoubleMatrix MirrorColumnOrder(const LwDoubleMatrix& m);
    static LwLDoubleMatrix MirrorColumnOrder(const LwLDoubleMatrix& m);
    static LwLComplexMatrix MirrorColumnOrder(const LwLComplexMatrix& m);

    // Row order reversed (the last row becomes the first); flagged.
    static LwLongMatrix MirrorRowOrder(const LwLongMatrix& m);
    static LwFloatMatrix MirrorRowOrder(const LwFloatMatrix& m);
    static LwDoubleMatrix MirrorRowOrder(const LwDoubleMatrix& m);
    static LwLDoubleMatrix MirrorRowOrder(const LwLDoubleMatrix& m);
    static LwLComplexMatrix MirrorRowOrder(const LwLComplexMatrix& m);

    // The transpose, sizes and begins swapped, no conjugation; flagged.
    static LwLongMatrix Transpose(const LwLongMatrix& m);
    static LwFloatMatrix Transpose(const LwFloatMatrix& m);
    static LwDoubleMatrix Transpose(const LwDoubleMatrix& m);
    static LwLDoubleMatrix Transpose(const LwLDoubleMatrix& m);
    static LwLComplexMatrix Transpose(const LwLComplexMatrix& m);

    // SubIntegralMatrix: LDouble sum of the width x height block from the
    // absolute (column, row); "SubIntegralMatrixError" outside the matrix.
    LDouble SubIntegral(const LwLongMatrix& m, int column, int row, int width, int height);
    LDouble SubIntegral(const LwFloatMatrix& m, int column, int row, int width, int height);
    LDouble SubIntegral(const LwDoubleMatrix& m, int column, int row, int width, int height);
    LDouble SubIntegral(const LwLDoubleMatrix& m, int column, int row, int width, int height);

    // The conjugate transpose: sizes and begins swapped, T(r, c) = conj(m(c, r)).
    // Unflagged.
    static LwLComplexMatrix ConjugateTranspose(const LwLComplexMatrix& m);

    // ---- Masks and weighted image lists ---------------------------------------
    // A mask is 1 where an image is non-zero and 0 elsewhere; weights lie
    // between 0 and 1. Every mask and weight has its image's sizes and begins.

    // 0 for zero pixels, 1 for every other pixel (NaN included). The result is
    // made by the family's copy rule: a flagged image gives up its buffer. An
    // image without elements gives a 0 x 0 result with begins 0. Unflagged.
    static LwFloatMatrix NonZeroMask(const LwFloatMatrix& image);

    // The mask grown (MaskExpand) or shrunk (MaskShrink) by `passes` rounds of
    // SmoothNeighbours (skipZero off): with t = 0.1 / passes (double, narrowed
    // to float) a pixel becomes 1 when its smoothed value is above t
    // (MaskExpand) or above 1 - t (MaskShrink), else 0. MaskExpand with passes
    // 0 gives all 0 (t is infinite), with negative passes every pixel above
    // the negative t becomes 1; MaskShrink with passes <= 0 returns a copy.
    // Unflagged.
    LwFloatMatrix MaskExpand(const LwFloatMatrix& mask, int passes);
    LwFloatMatrix MaskShrink(const LwFloatMatrix& mask, int passes);

    // A weight that is 1 in the inside of the image's non-zero area, 0 outside
    // it and falls towards its edge over about `width` pixels:
    // - method 0 (smooth): the non-zero mask shrunk by width / 3 passes, then
    //   width / 4 rounds of 3 x 3 box averaging (coordinates clamped to the
    //   image) of the pixels in the area but outside the area shrunk by width
    //   passes;
    // - method 1 (linear ramp): a non-zero pixel whose nearest zero pixel or
    //   image border is d steps away (chessboard distance, 1 for a pixel that
    //   touches one) ends at d / (width + 1), or 1 when d > width.
    // Another method throws "LwMatrixOperator::MaskMatrixSmoothZeroEdge():
    // Undefined method." before anything is computed. The image is never
    // taken over, also when flagged. Unflagged.
    LwFloatMatrix MaskMatrixSmoothZeroEdge(const LwFloatMatrix& image, int width, int method);

    // sum_i images[i] x weights[i] / sum_i weights[i], element by element in
    // float and storage order; where the weight sum is 0 the (zero) sum stays.
    // The result has the first image's sizes and begins; only element counts
    // are compared. Errors, tested before anything is summed, in this order:
    // "ERROR: Size of ListImage and ListWeight is not same", "ERROR: Size of
    // ListImage is Zero", "ERROR: NO DATA" (the first image holds no element),
    // then image by image "ERROR:Image size is not same" and "ERROR:Weight
    // image size is not same". Unflagged.
    LwFloatMatrix ImageListWeightedAverage(const std::vector<LwFloatMatrix>& images,
                                           const std::vector<LwFloatMatrix>& weights);

    // ImageListWeightedAverage with the weights MaskMatrixSmoothZeroEdge(image,
    // width, 0): merges partly overlapping images whose unmeasured area is 0,
    // each weighted down towards its own edge. Unflagged.
    LwFloatMatrix ImageListSmoothEdgeAverage(const std::vector<LwFloatMatrix>& images, int width);

    // ---- Resampling, binning, rotation ----------------------------------------
    // Source positions count from the source's first column and row (its begin
    // indices shift nothing); new results have begins 0.

    // Every row of `source` resampled to destination.ColSize columns into the
    // caller-made destination, which must have source's RowSize (else "Error")
    // and begins 0 (else "ResampleRows: destination must begin at (0, 0)"),
    // both tested before anything is written.
    // - Average: each destination pixel is the mean (LDouble) of samples at
    //   half-source-pixel steps over its footprint (one nearest sample when
    //   enlarging); with skipZero zero samples are left out; no sample: 0.
    // - Linear: pixel centres aligned, u = (Ns / Nd)(k + 0.5) - 0.5 clamped to
    //   the last pixel (and the first below 0), linear interpolation in
    //   LDouble; with skipZero a zero neighbour gives the other's value.
    // A source without columns fills the destination with 0. Parallel.
    static void ResampleRowsAverage(LwFloatMatrix& destination, const LwFloatMatrix& source, bool skipZero);
    static void ResampleRowsLinear(LwFloatMatrix& destination, const LwFloatMatrix& source, bool skipZero);

    // newCols x newRows image. nearest: each pixel is the source pixel at
    // floor(i Cols / newCols + 0.5), floor(j Rows / newRows + 0.5) (float,
    // clamped to the last column and row); skipZero unused. Otherwise
    // separable: rows resampled (average when shrinking, linear when
    // enlarging, copied when unchanged), then columns the same way through
    // the transpose. A source without columns or rows gives zeros; negative
    // sizes throw "matrix creation Parameter Error". Unflagged.
    static LwFloatMatrix ResizeImage(const LwFloatMatrix& source, int newCols, int newRows, bool skipZero,
                                     bool nearest);

    // (Cols / factor) x (Rows / factor) image (quotients toward zero; partial
    // blocks at the right and bottom dropped), each pixel the mean (LDouble)
    // of its factor x factor block, so the sum over whole blocks is kept up to
    // the factor^2 scale. factor < 1: "Parameter Error". Flagged. Parallel.
    static LwFloatMatrix BinImage(const LwFloatMatrix& source, int factor);
    static LwLDoubleMatrix BinImage(const LwLDoubleMatrix& source, int factor);
    static LwDoubleMatrix BinImage(const LwDoubleMatrix& source, int factor);

    // (factor Cols) x (factor Rows) image by bilinear interpolation: result
    // column I lies at fraction fx = (I mod factor) / factor - 1/2 from source
    // column I / factor towards its right (fx >= 0) or left neighbour, the
    // neighbour clamped to the source; rows alike. (So factor 1 averages each
    // pixel with its left, upper and upper-left neighbours.) factor < 1:
    // "Parameter Error"; a result of 2^31 elements or more: "matrix creation
    // Parameter Error", both before allocation. Unflagged. Parallel.
    static LwFloatMatrix EnlargeImage(const LwFloatMatrix& source, int factor);
    static LwLDoubleMatrix EnlargeImage(const LwLDoubleMatrix& source, int factor);
    static LwDoubleMatrix EnlargeImage(const LwDoubleMatrix& source, int factor);

    // The image turned about its centre ((Cols - 1) / 2, (Rows - 1) / 2) by
    // `angle` radians from the column axis towards the row axis, nearest
    // source pixel; pixels that come from outside are 0. Same sizes, begins 0.
    // On a square image of odd size a quarter turn moves whole pixels, so four
    // quarter turns give the image back. Unflagged. Parallel.
    static LwFloatMatrix RotateImage(const LwFloatMatrix& image, const LDouble& angle);

    // ---- Rotation and reflection matrices -------------------------------------
    // 3 x 3 (2 x 2) LwLDoubleMatrix with begins 0 acting on column vectors;
    // rows with s = sin(angle), c = cos(angle):
    //   RotationX: (1, 0, 0), (0, c, -s), (0, s, c)   y towards z
    //   RotationY: (c, 0, -s), (0, 1, 0), (s, 0, c)   z towards -x
    //   RotationZ: (c, -s, 0), (s, c, 0), (0, 0, 1)   x towards y
    //   Rotation2D: (c, -s), (s, c)
    // Unflagged.
    static LwLDoubleMatrix RotationX(const LDouble& angle);
    static LwLDoubleMatrix RotationY(const LDouble& angle);
    static LwLDoubleMatrix RotationZ(const LDouble& angle);
    static LwLDoubleMatrix Rotation2D(const LDouble& angle);

    // I - 2 n n^T for the unit normal n = (nx, ny, nz) / |(nx, ny, nz)|: the
    // reflection in the plane through the origin. A zero normal throws "normal
    // vector length is zero". Unflagged.
    LwLDoubleMatrix ReflectionMatrix(const LDouble& nx, const LDouble& ny, const LDouble& nz);

    // Angles (a, b, c) with rotation = EulerRotationMatrix(a, b, c) =
    // Rz(c) Ry(b) Rz(a): b in [0, pi] from the image of the z axis (its z
    // component clamped to [-1, 1] against rounding), c its azimuth, a the
    // remaining turn about z (so a pure z-turn lands in a). Errors of the
    // matrix product pass through for a rotation that is not 3 x 3 from 0.
    void EulerAnglesFromRotation(double& a, double& b, double& c, const LwLDoubleMatrix& rotation);

    // (1, 1, 1) x v = (c - b, a - c, b - a) for v = (a, b, c) (a column vector
    // from index 0), or (c, c, -b - a) when that is exactly 0; not normalised.
    static LwLDoubleMatrix PerpendicularVector(const LwLDoubleMatrix& v);

    // ---- Profiles, vectors and tabulated values -------------------------------

    // Column `column` (absolute) from the first row to the last, or row `row`
    // from the first column to the last; empty for a matrix without rows
    // (columns).
    std::vector<LDouble> ColumnToVector(const LwLDoubleMatrix& m, int column);
    std::vector<float> ColumnToVector(const LwFloatMatrix& m, int column);
    std::vector<LDouble> RowToVector(const LwLDoubleMatrix& m, int row);
    std::vector<float> RowToVector(const LwFloatMatrix& m, int row);

    // Column vector of the row means (LDouble), indexed by m's rows (begin
    // RowBegin); zeros when m has no columns. Unflagged.
    LwLDoubleMatrix RowMeans(const LwLDoubleMatrix& m);

    // n pixels of `image` along the line from (x0, y0) to (x1, y1) (absolute
    // indices), point i at (x0 + i (x1 - x0) / (n - 1), ...) in float rounded
    // half up, into out[0 .. n - 1]. out must be a vector ("This is not
    // vector"); one of another length becomes a column vector of n elements
    // with begins 0 (n < 0: "matrix creation Parameter Error"); one of length
    // n is used as it stands and must begin at 0 ("LineProfile: output vector
    // must begin at 0"). n == 1 has no step: "LineProfile: a line profile
    // needs at least 2 points". These tests come before anything is written;
    // a point outside the image ends in the range error with the points before
    // it written.
    void LineProfile(LwLongMatrix& out, const LwLongMatrix& image, int x0, int y0, int x1, int y1, int n);
    void LineProfile(LwFloatMatrix& out, const LwFloatMatrix& image, int x0, int y0, int x1, int y1, int n);

    // The tabulated function (abscissae[i], values[i]) (vectors, i over the
    // abscissae's index range; a repeated abscissa keeps its first value)
    // evaluated at every element of newAbscissae by linear interpolation in
    // float: at or beyond the largest abscissa the last value, below the first
    // the line through the first two entries (a one-entry table: its value).
    // The result has newAbscissae's sizes and begins. An empty table throws
    // "InterpolateTable: the table is empty"; a NaN abscissa "InterpolateTable:
    // abscissa is not a number". Unflagged.
    LwFloatMatrix InterpolateTable(const LwFloatMatrix& newAbscissae, const LwFloatMatrix& abscissae,
                                   const LwFloatMatrix& values);

    // sum += addend element by element; sizes and begins must agree
    // ("SizeDifferent", before anything is added).
    static void AccumulateLongMatrix(LwLDoubleMatrix& sum, const LwLongMatrix& addend);

    // ---- Correlation along the azimuth ----------------------------------------

    // For a square image (else "Correlation along azimuthal: vertical and
    // horizontal size is not same"): the rings around the image centre, at
    // radius steps of half a pixel (nr = 2R of them, R = half the width less
    // half a pixel) and nphi = 4 pi R angle steps, each correlated with itself
    // turned by L steps (sum over the ring in float) and divided by its squared
    // mean (zeros left out with skipZero). The pixel at radius r and azimuth
    // phi shows the correlation of ring 2r at the turn phi; pixels beyond the
    // last ring, and (with skipZero) where the ring's sample at that angle is
    // 0, are 0. A ring of constant value gives nphi everywhere. The image's
    // sizes and begins. Unflagged. Parallel.
    LwFloatMatrix CorrelationAlongAzimuthal(const LwFloatMatrix& image, bool skipZero);
};
