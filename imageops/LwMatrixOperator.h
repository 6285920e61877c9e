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
    LDouble BlockProductSum(const LwLongMatrix& a, const LwLongMatrix& b, int width, int height, int xa, int ya,
                            int xb, int yb);

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
    // so the median of a window with NaN is defined (NaN only when half or
    // more of the window is NaN). Flagged. Parallel.
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
};
