#pragma once
// halvane's parameter record: every setting of the RFA operations (screen
// geometry, background fits, masks, the steps of "New Image (Apply checked
// operations)"), with the computations of those operations on an image held
// here: the shift to the centre, the masks, the background fits, the
// screen-edge search and the log records. The operations on the viewer's
// windows are in apps/halvane/app/RfaOperations.h, the form exchange and the
// ini file in apps/halvane/app/RfaParametersForm.h.
//
// Files. The record is stored as a Barn document whose first top-level rack
// is "ini", holding one value element per key in the fixed order of
// Serialize. Two files use it: the ini file beside the program (SaveIni),
// read at start and written before every operation, and the parameter files
// "*.rfa_bg" of the File menu.
//
// Pixel values of 0 mark pixels without data: the masks write 0 and the
// background fits leave such pixels out.

#include "core/LwError.h"
#include "core/LwMatrix.h"
#include "core/LwTypes.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class LwBarnXml;
class LwProcessLog;

// Progress of a long operation: called on the calling thread (never from
// inside a parallel region) with (done, total), done rising from 0 to total;
// an answer of false cancels the operation, which then throws RfaCancelled.
using RfaProgress = std::function<bool(int done, int total)>;

// An operation stopped by its progress callback before it changed anything:
// no new window, no log, no field of the record. The window's slot ends
// quietly on it.
class RfaCancelled : public LwError
{
public:
    using LwError::LwError;
};

// Calls `progress` (when there is one) with (done, total) and throws
// RfaCancelled with `what` when it answers false.
inline void ReportRfaProgress(const RfaProgress& progress, int done, int total, const char* what)
{
    if (progress && !progress(done, total))
        throw RfaCancelled(what);
}

class RfaParameters
{
public:
    // Program version: appended to the window title and written as "ver" of
    // every operation log.
    std::string Version_ = "0.0.5";
    // Screen centre (column, row) and radius, pixels.
    double Sx_ = 100;
    double Sy_ = 100;
    double Sr_ = 100;
    // Margin inside the screen radius; the spherical-harmonics fit uses the
    // radius Sr_ - SMargin_.
    std::int32_t SMargin_ = 10;
    // Mapping of the degree-by-degree background method; logged.
    bool MappingIsGnomonic_ = false;
    bool MappingIsAz_ = false;
    // true: the least-squares fit of "2) Remove BG". Every ExchangeWithUi
    // sets it; not stored in the files.
    bool MappingIsAzM2_ = true;
    // Polar angle (degrees) at the fit radius.
    LDouble MappingAzThetaMax_deg_ = 90;
    // "Adjust Screen": clip level as a fraction of the image maximum.
    LDouble AdjThres_ = 0.1L;
    // Mirrored samples of the degree-by-degree method; logged.
    bool UseAllSphere_ = false;
    // "Adj Screen: Search size=": stored and shown; the search does not read it.
    std::int32_t AdjSize_ = 10;
    // Highest degree l of the spherical harmonics, 0 .. kMaxDegree.
    std::int32_t Size_l_ = 5;
    // The highest degree the least-squares fit can take from the form: with
    // Max angle at the form's largest value (kMaxAngle_deg) the condition
    // number of its equations on a fully sampled screen is about 1e17 at
    // degree 14 and 3e18 at degree 15, beyond the fit's limit of 9.2e17
    // (smaller angles and masked pixels only raise it). Its working memory
    // then stays at a few megabytes (16 partial normal matrices of
    // (L + 1)^4 / 2 extended values). The degree box of the form stops here.
    static constexpr std::int32_t kMaxDegree = 14;
    // The largest Max angle (degrees) the form's box holds: its default
    // range of 99.99 brought to its one decimal. The fits refuse a larger
    // one, so that their refusal and the box name the same range.
    static constexpr double kMaxAngle_deg = 100;
    // Centre of the azimuthal average.
    double Ax_ = 128;
    double Ay_ = 128;
    // "Adjust Screen" also shows its clipped working image.
    bool IsShowTmp_ = false;
    // MCP dip circle: centre and radius.
    double McpDipCx_ = 166;
    double McpDipCy_ = 150;
    double McpDipR_ = 10;
    // Outside-mask ellipse: centre and semi-axes (columns, rows).
    double MaskCx_ = 150;
    double MaskCy_ = 150;
    double MaskRx_ = 128;
    double MaskRy_ = 128;
    // The steps of "New Image (Apply checked operations)", in their order.
    bool IsMoveCenter_ = true;
    bool IsBgSh_ = true;
    bool IsBgAz_ = true;
    bool IsMaskMcpDip_ = true;
    bool IsMaskOutside_ = true;

    // ---- Files ------------------------------------------------------------
    // Reads or writes the 26 keys inside the rack `rackName` by the
    // document's mode. Read mode: false (nothing read) when the rack is
    // missing; a missing key keeps its field. Numbers are read by the Barn
    // rules (text without a number reads 0, a number beyond the double range
    // the largest double), so the record never holds NaN or infinity from a
    // file; huge values are brought into range by the form and refused by
    // the operations before any conversion to int.
    bool Serialize(LwBarnXml& doc, const std::string& rackName);
    // This record with the values of the parameter file `path` on top (a
    // key the file lacks keeps its value). Unlike Serialize, a file that is
    // not a parameter file is refused whole: LwError "Cannot open:<path>",
    // or "The parameter file <path> was not loaded: " and the reason: the
    // reader's "Illigal Tag Structure"; a text cut short (a rack left open);
    // no rack "ini", or one holding none of the 26 keys; a value that is not
    // of its key's kind (a number that is not finite or has text after it,
    // an int that is not a whole number in the int range, a flag other than
    // "true" or "false").
    //
    // `keysRead`, when given, receives the keys the file holds, in the
    // document's order. `skipped`, when given, makes a value that is not of
    // its key's kind no refusal: the field keeps this record's value, and
    // `skipped` receives "\"<key>\" holds \"<text>\", which <reason>" (the
    // key still counts as held). The file as a whole is refused as above.
    RfaParameters ReadFile(const QString& path, std::vector<std::string>* keysRead = nullptr,
                           std::vector<std::string>* skipped = nullptr) const;

    // ---- Centre and masks -------------------------------------------------
    // Positions of every operation (the centres of the screen, of the
    // masks and of the azimuthal average, the centre that Adjust Screen
    // finds) count columns and rows from the image's first pixel, whatever
    // its begin indices; the image centre is (ColSize / 2, RowSize / 2) in
    // those terms.
    //
    // Refuses a centre (cx, cy) more than one image size from the image
    // centre: LwError "<name> Cx = <x> is out of range: it must be from
    // <c - w> to <c + w> (the image centre <c> plus or minus the image
    // width)", Cy likewise with the height. A centre that is not a number is
    // out of range too.
    static void CheckCentre(const char* name, double cx, double cy, const LwFloatMatrix& image);
    // `image` shifted cyclically so that (Sx_, Sy_) lands on the image centre:
    // a copy (same sizes and begins), flagged. A centre that is not finite:
    // LwError "Screen centre is not a finite number"; one out of reach:
    // CheckCentre's error for "Screen".
    LwFloatMatrix ShiftToCenter(const LwFloatMatrix& image) const;
    // Disc of radius McpDipR_ + 0.5 around (McpDipCx_, McpDipCy_) set to 0,
    // in place; the part outside the image is ignored. A centre or radius
    // that is not finite: LwError "MCP dip circle is not a finite number";
    // a centre out of reach (of a disc that masks anything): CheckCentre's
    // error for "MCP dip".
    void ApplyDipMask(LwFloatMatrix& image) const;
    // Every pixel outside the ellipse of semi-axes MaskRx_ + 0.5 and
    // MaskRy_ + 0.5 around (MaskCx_, MaskCy_) set to 0, in place; pixels on
    // the ellipse stay. A semi-axis of 0 or less leaves the image unchanged;
    // otherwise a centre out of reach is CheckCentre's error for "Mask".
    void ApplyOutsideMask(LwFloatMatrix& image) const;

    // ---- Backgrounds ------------------------------------------------------
    // The direction (theta, phi), radians, of the pixel at offset (x, y) from
    // the centre for a fit radius R: false (theta and phi unchanged) outside
    // the open unit disc. Gnomonic: theta = arccos(sqrt(1 - rho^2));
    // azimuthal: theta = rho thetaMax; neither: LwError "Undefined Mapping
    // Method".
    static bool PixelToSphere(LDouble& theta, LDouble& phi, const LDouble& x, const LDouble& y,
                              const LDouble& R, bool gnomonic, bool azimuthal, const LDouble& thetaMax);
    // Refuses settings no fit can use, naming the setting and its range:
    // Size_l_ outside 0 .. kMaxDegree, a fit radius Sr_ - SMargin_ of 0 or
    // less (or absurdly large), and, when `usesAngle` (the azimuthal
    // mapping), a Max angle outside (0, kMaxAngle_deg] degrees.
    void CheckFitSettings(bool usesAngle) const;
    // Refuses a fit disc that reaches beyond `image` around its centre,
    // naming the largest fit radius the image allows.
    void CheckFitDisc(const LwFloatMatrix& image) const;
    // Least-squares fit of the real spherical harmonics up to degree Size_l_
    // to the non-zero pixels of the disc of radius Sr_ - SMargin_ around
    // the image centre (azimuthal-equidistant mapping, MappingAzThetaMax_deg_
    // at the rim); the fitted background inside the disc, 0 outside, flagged.
    // The normal matrix is summed once per sample (upper triangle) in fixed
    // blocks of rows, so the result does not depend on the thread count.
    // `progress` is called between slices of the sums and of the filling
    // (the blocks advance slice by slice, so the result is the same with or
    // without it); false: RfaCancelled "The spherical-harmonics fit was
    // cancelled". The normal equations are solved by a Cholesky
    // factorisation of their equilibrated matrix (RfaNormalEquations); a
    // system whose condition number is too large for that solution to hold
    // is refused with the degree, the fit radius, the angle and the highest
    // degree that can be fitted on these pixels. Other errors: those of
    // CheckFitSettings and CheckFitDisc; fewer pixels with data than
    // harmonics: "Too few pixels with data inside the fit radius: <n> for
    // <N> spherical harmonics"; a result that is not finite: "The
    // spherical-harmonics fit gave no finite result".
    LwFloatMatrix FitBackgroundSh(const LwFloatMatrix& image, const RfaProgress& progress = nullptr) const;
    // The background of the degree-by-degree method (the projection of the
    // residual image, mapping by MappingIsGnomonic_ / MappingIsAz_, mirrored
    // samples by UseAllSphere_): degree by degree from 0 to Size_l_, the mean
    // projection of the residual on the degree's harmonics over the disc
    // (zeros included) subtracted as one layer; flagged. No sample inside
    // the disc: "No pixel lies inside the fit radius".
    LwFloatMatrix BackgroundShByDegree(const LwFloatMatrix& source) const;
    // The azimuthal average around (Ax_, Ay_), pixels of 0 left out. A
    // centre out of reach: CheckCentre's error for "Az. BG".
    LwFloatMatrix AzimuthalBackground(const LwFloatMatrix& image) const;

    // The screen edge found by "Adjust Screen".
    struct ScreenEdge
    {
        bool found = false;  // some candidate gave a negative second difference
        float x = 0, y = 0;  // centre
        float position = 0;  // diagonal position of the edge
        int radius = 0;  // distance to it, rounded to a half, truncated
        LwFloatMatrix clipped;  // the clipped working image
    };
    // Clips the image at AdjThres_ times its maximum and searches the 80 x 80
    // centres (ColSize / 2 - 20 + 0.5 i, RowSize / 2 - 20 + 0.5 j) for the
    // sharpest fall of the azimuthal profile along the main diagonal (k, k),
    // k up to the end of the shorter side. The ring of every pixel
    // offset is tabulated once; each centre's ring sums are then taken in
    // storage order as AverageAlongAzimuthal takes them, the centres in
    // parallel and the best in scan order, so the result is that of the
    // direct search for any thread count. An edge whose radius comes out
    // below one pixel is no edge (found false). `progress` is called between
    // groups of four rows of centres; false: RfaCancelled "Adjust Screen was
    // cancelled". An image without pixels: "The image has no pixels"; one
    // under 40 pixels either way, which cannot hold the candidate centres:
    // "The image (C x R pixels) is too small for the edge search ...";
    // distances beyond the 16-bit ring table: "The image is too large for
    // Adjust Screen"; sides that differ by sqrt 2 times the shorter or more,
    // so that the diagonal misses every screen inside the image: "... is too
    // narrow for the edge search ...". Centres, diagonal and position count
    // from the image's first pixel; the clipped image keeps the source's
    // begins.
    ScreenEdge FindScreenEdge(const LwFloatMatrix& image, const RfaProgress& progress = nullptr) const;

    // ---- Apply checked operations ------------------------------------------
    // The checked steps in their order (shift, spherical-harmonics background
    // divided out, azimuthal background divided out, dip mask, outside mask)
    // applied to `image` in place, each adding its record to `log`.
    // `progress` goes to the spherical-harmonics fit (RfaCancelled).
    void ApplyCheckedSteps(LwFloatMatrix& image, LwProcessLog& log,
                           const RfaProgress& progress = nullptr) const;

    // ---- Log records ------------------------------------------------------
    void LogRfaBackground(LwProcessLog& log) const;
    // The record of the degree-by-degree method: "RFA_background" as
    // LogRfaBackground writes it, without "MappingIsAzM2_".
    void LogRfaBackgroundByDegree(LwProcessLog& log) const;
    void LogAverageAlong(LwProcessLog& log) const;
    void LogMoveToCenter(LwProcessLog& log) const;
    void LogMaskMcpDip(LwProcessLog& log) const;
    void LogMaskOutside(LwProcessLog& log) const;
};

// The process-wide record, built with the defaults on first use; the main
// window's, used on the GUI thread only.
RfaParameters& GetRfaParameters();
