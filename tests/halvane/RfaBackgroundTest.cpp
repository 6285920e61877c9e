// Backgrounds without the viewer: the spherical-harmonics fit against an
// analytic background, its progress and cancellation, its refusals, the pixel directions, the azimuthal
// background of a radially symmetric screen, and the screen-edge search
// against a brute-force search over the library's azimuthal average.
#include "core/LwConstants.h"
#include "imageops/LwMatrixOperator.h"
#include "apps/halvane/engine/LwProcessLog.h"
#include "apps/halvane/engine/RfaParameters.h"
#include "ErrorText.h"

#include <QLoggingCategory>

#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

// A background in the span of the harmonics of degree <= 2, as a function
// of the direction: 5 + 2 cos(theta) + 0.5 sin(theta) cos(phi)
// + 0.3 (3 cos^2(theta) - 1) + 0.2 sin^2(theta) sin(2 phi).
double Background(double theta, double phi)
{
    const double c = std::cos(theta), s = std::sin(theta);
    return 5 + 2 * c + 0.5 * s * std::cos(phi) + 0.3 * (3 * c * c - 1) + 0.2 * s * s * std::sin(2 * phi);
}

// The direction of pixel (x, y) of an image centred at (cx, cy), mapped
// azimuthal-equidistantly with thetaMax (degrees) at distance R; false
// outside the disc.
bool Direction(int x, int y, int cx, int cy, double R, double thetaMaxDeg, double& theta, double& phi)
{
    const double u = (x - cx) / R, v = (y - cy) / R;
    const double rho = std::sqrt(u * u + v * v);
    if (!(rho < 1))
        return false;
    theta = rho * thetaMaxDeg * LwConst::Pi / 180;
    phi = std::atan2(v, u);
    return true;
}

class FitTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { QLoggingCategory::setFilterRules("halvane.fit.debug=false"); }
};

TEST_F(FitTest, AnalyticBackgroundTimesSignalComesBackAsTheSignal)
{
    const int n = 128, cx = 64, cy = 64;
    const double R = 50;
    LwFloatMatrix screen(n, n);
    LwFloatMatrix truth(n, n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            double theta, phi;
            const bool inside = Direction(x, y, cx, cy, R, 80, theta, phi);
            const double b = inside ? Background(theta, phi) : 0;
            // The signal: 1 on the screen, a masked dip of zeros, and an
            // arbitrary pattern outside the fit disc.
            const bool dip = (x - 80) * (x - 80) + (y - 60) * (y - 60) <= 25;
            const double signal = dip ? 0 : 1;
            truth(x, y) = static_cast<float>(b);
            screen(x, y) = inside ? static_cast<float>(b * signal) : static_cast<float>(x % 7 + 1);
        }
    // The background lies in the span of degree 2, so every higher degree
    // finds it as well.
    for (const int degree : {2, 5}) {
        SCOPED_TRACE(degree);
        RfaParameters p;
        p.Sr_ = 60;
        p.SMargin_ = 10;
        p.Size_l_ = degree;
        p.MappingAzThetaMax_deg_ = 80;
        const LwFloatMatrix background = p.FitBackgroundSh(screen);
        double worst = 0;
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                double theta, phi;
                if (Direction(x, y, cx, cy, R, 80, theta, phi)) {
                    worst = std::max(worst, std::fabs(static_cast<double>(background(x, y)) - truth(x, y)) /
                                                truth(x, y));
                    // The ratio of the screen to its background is the signal.
                    const float ratio = screen(x, y) / background(x, y);
                    const bool dip = (x - 80) * (x - 80) + (y - 60) * (y - 60) <= 25;
                    ASSERT_NEAR(ratio, dip ? 0.0f : 1.0f, 2e-6f) << x << " " << y;
                } else {
                    ASSERT_EQ(background(x, y), 0) << x << " " << y;
                }
            }
        EXPECT_LT(worst, 1e-6);  // float rounding of the stored values only
    }
}

TEST_F(FitTest, DegreeZeroGivesTheMeanOfThePixelsWithData)
{
    RfaParameters p;
    p.Sr_ = 20;
    p.SMargin_ = 0;
    p.Size_l_ = 0;
    LwFloatMatrix image(64, 48);
    double sum = 0;
    int count = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            image(x, y) = (x * 7 + y * 3) % 5;  // some zeros
            const double u = (x - 32) / 20.0, v = (y - 24) / 20.0;
            if (u * u + v * v < 1 && image(x, y) != 0) {
                sum += image(x, y);
                ++count;
            }
        }
    const LwFloatMatrix background = p.FitBackgroundSh(image);
    EXPECT_NEAR(background(32, 24), sum / count, 1e-5);
    EXPECT_NEAR(background(32, 5), sum / count, 1e-5);
    EXPECT_EQ(background(52, 24), 0);  // (R, 0) lies outside the disc
    EXPECT_EQ(background(0, 0), 0);
}

// Fit settings and an image of scattered values, none of them 0.
RfaParameters FitSettings(double sr, int margin, int l)
{
    RfaParameters p;
    p.Sr_ = sr;
    p.SMargin_ = margin;
    p.Size_l_ = l;
    return p;
}
LwFloatMatrix Scattered(int cols, int rows)
{
    LwFloatMatrix image(cols, rows);
    for (int i = 0; i < image.ElementCount(); ++i)
        image.Buffer()[i] = 1.0f + static_cast<float>((i * 2654435761u) % 1000) / 100.0f;
    return image;
}

TEST_F(FitTest, ResultDoesNotDependOnTheThreadCount)
{
    const RfaParameters p = FitSettings(70, 5, 6);
    const LwFloatMatrix image = Scattered(160, 150);
    const int all = omp_get_max_threads();
    omp_set_num_threads(1);
    const LwFloatMatrix one = p.FitBackgroundSh(image);
    omp_set_num_threads(std::max(all, 3));
    const LwFloatMatrix many = p.FitBackgroundSh(image);
    omp_set_num_threads(all);
    EXPECT_EQ(std::memcmp(one.Buffer(), many.Buffer(), 4 * static_cast<std::size_t>(one.ElementCount())), 0);
}

TEST_F(FitTest, ProgressRisesToTheEndOnTheCallingThreadAndCancelStopsAtOnce)
{
    const RfaParameters p = FitSettings(40, 4, 4);
    const LwFloatMatrix image = Scattered(96, 90);
    const int all = omp_get_max_threads();
    omp_set_num_threads(std::max(all, 3));
    const LwFloatMatrix plain = p.FitBackgroundSh(image);
    std::vector<std::pair<int, int>> calls;
    bool insideParallel = false;
    const LwFloatMatrix reported = p.FitBackgroundSh(image, [&](int done, int total) {
        insideParallel = insideParallel || omp_in_parallel();
        calls.emplace_back(done, total);
        return true;
    });
    EXPECT_EQ(
        std::memcmp(plain.Buffer(), reported.Buffer(), 4 * static_cast<std::size_t>(plain.ElementCount())),
        0);
    EXPECT_FALSE(insideParallel);
    ASSERT_GE(calls.size(), 10u);
    EXPECT_EQ(calls.front().first, 0);
    EXPECT_EQ(calls.back().first, calls.back().second);
    for (std::size_t i = 1; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].second, calls[0].second);
        EXPECT_EQ(calls[i].first, calls[i - 1].first + 1);
    }

    // Cancelled before the sums, midway through them, in the filling and at
    // the very end: no further call, and the cancellation is its own error.
    const int n = static_cast<int>(calls.size());
    for (const int stopAt : {0, n / 4, n - 3, n - 1}) {
        SCOPED_TRACE(stopAt);
        int made = 0;
        bool cancelled = false;
        try {
            p.FitBackgroundSh(image, [&](int, int) { return made++ < stopAt; });
        } catch (const RfaCancelled& e) {
            cancelled = true;
            EXPECT_EQ(e.Message(), "The spherical-harmonics fit was cancelled");
        }
        EXPECT_TRUE(cancelled);
        EXPECT_EQ(made, stopAt + 1);
    }
    omp_set_num_threads(all);
}

TEST_F(FitTest, UnusableFitsAreErrorsInWords)
{
    LwFloatMatrix image(256, 256);
    image.SetZero();
    struct Case
    {
        double sr;
        int margin, l;
        bool zeros;
        std::string error;
    };
    const Case cases[] = {
        {100, 100, 5, false, "Screen R minus Screen Margin must be greater than 0"},
        {100, 120, 5, false, "Screen R minus Screen Margin must be greater than 0"},
        {100, 10, -1, false, "Number of l = -1 is out of range: it must be from 0 to 14"},
        {100, 10, 15, false, "Number of l = 15 is out of range: it must be from 0 to 14"},
        {100, 10, 5, true, "Too few pixels with data inside the fit radius: 0 for 36 spherical harmonics"},
        {1.5, 0, 5, false, "Too few pixels with data inside the fit radius: 9 for 36 spherical harmonics"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.error);
        RfaParameters p;
        p.Sr_ = k.sr;
        p.SMargin_ = k.margin;
        p.Size_l_ = k.l;
        LwFloatMatrix m = image;
        if (!k.zeros)
            for (int i = 0; i < m.ElementCount(); ++i)
                m.Buffer()[i] = 1;
        EXPECT_EQ(ErrorText([&] { p.FitBackgroundSh(m); }), k.error);
    }
    // Settings that do not fit the image are named with their range before
    // any pixel is read.
    RfaParameters p;
    p.Sr_ = 150;
    EXPECT_EQ(
        ErrorText([&] { p.FitBackgroundSh(image); }),
        "Screen R minus Screen Margin = 140 pixels reaches beyond the image of 256 x 256 pixels around its "
        "centre (128, 128): it must be less than 128");
    p.Sr_ = 138;  // R 128: offset 128 would be column 256
    EXPECT_EQ(
        ErrorText([&] { p.FitBackgroundSh(image); }).rfind("Screen R minus Screen Margin = 128 pixels", 0),
        0u);
    p.Sr_ = 137.9;  // offsets -127 .. 127
    LwFloatMatrix ones = image;
    for (int i = 0; i < ones.ElementCount(); ++i)
        ones.Buffer()[i] = 1;
    EXPECT_EQ(ErrorText([&] { p.FitBackgroundSh(ones); }), "(no error)");
    p.Sr_ = 100;
    for (const LDouble angle : {0.0L, -5.0L, 100.05L, 180.0L}) {
        p.MappingAzThetaMax_deg_ = angle;
        SCOPED_TRACE(static_cast<double>(angle));
        EXPECT_NE(ErrorText([&] {
                      p.FitBackgroundSh(image);
                  }).find("is out of range: it must be greater than 0 and at most 100 degrees"),
                  std::string::npos);
    }
    p.MappingAzThetaMax_deg_ = 0;
    EXPECT_EQ(ErrorText([&] { p.FitBackgroundSh(image); }),
              "Max angle = 0 is out of range: it must be greater than 0 and at most 100 degrees");
}

// A screen that no low degree describes: a sloped face with rings and a row
// of bright spots, as a diffraction screen shows them.
LwFloatMatrix SpottedScreen(int n)
{
    LwFloatMatrix image(n, n);
    const double c = n / 2;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const double dx = x - c, dy = y - c, r = std::hypot(dx, dy);
            double v = 1200 + 600 * std::cos(r / 30) + 4 * dx + 100 * std::sin(0.1 * x) * std::cos(0.08 * y);
            for (int s = 0; s < 12; ++s) {
                const double sx = c + 35 * std::cos(s * 0.52), sy = c + 35 * std::sin(s * 0.52);
                v += 400 * std::exp(-((x - sx) * (x - sx) + (y - sy) * (y - sy)) / 10.0);
            }
            image(x, y) = static_cast<float>(v);
        }
    return image;
}

TEST_F(FitTest, ResidualDoesNotRiseWithTheDegreeAndIllConditionedDegreesAreRefused)
{
    // With more functions a least-squares fit can only come closer. Degrees
    // whose equations are too ill-conditioned (at a Max angle of 90 degrees
    // the conditioning worsens about thirtyfold per degree) are refused with
    // the degree, the radius and the highest degree that works; every degree
    // up to that one is fitted.
    const LwFloatMatrix image = SpottedScreen(128);
    const double R = 45;
    double previous = std::numeric_limits<double>::infinity();
    int highest = -1;
    for (int degree = 0; degree <= RfaParameters::kMaxDegree; ++degree) {
        SCOPED_TRACE(degree);
        RfaParameters p = FitSettings(50, 5, degree);
        std::string error;
        LwFloatMatrix background;
        try {
            background = p.FitBackgroundSh(image);
        } catch (const LwError& e) {
            error = e.Message();
        }
        if (!error.empty()) {
            EXPECT_EQ(
                error.rfind("Number of l = " + std::to_string(degree) +
                                " is too high for this screen (Screen R minus Screen Margin = 45 pixels, "
                                "Max angle = 90 degrees): the fit's equations are too ill-conditioned",
                            0),
                0u)
                << error;
            if (highest < 0)
                highest = degree - 1;
            EXPECT_NE(error.find("the highest degree that can be fitted here is " + std::to_string(highest)),
                      std::string::npos)
                << error;
            continue;
        }
        ASSERT_LT(highest, 0) << "a degree above a refused one was fitted";
        double sum = 0, lo = 1e30, hi = -1e30;
        int count = 0;
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x) {
                const double u = (x - 64) / R, v = (y - 64) / R;
                if (u * u + v * v < 1) {
                    sum += std::pow(static_cast<double>(image(x, y)) - background(x, y), 2);
                    lo = std::min(lo, static_cast<double>(background(x, y)));
                    hi = std::max(hi, static_cast<double>(background(x, y)));
                    ++count;
                }
            }
        const double rms = std::sqrt(sum / count);
        // Float storage of the background may move the residual by a few
        // parts in 1e7.
        EXPECT_LE(rms, previous * (1 + 1e-6));
        // The background stays within the range of the image (about 550 .. 2300).
        EXPECT_GT(lo, 300);
        EXPECT_LT(hi, 2600);
        previous = rms;
    }
    // The fit reaches the degrees users take (12 at 90 degrees) and refuses
    // below the form's limit.
    EXPECT_GE(highest, 11);
    EXPECT_LT(highest, RfaParameters::kMaxDegree);
}

TEST_F(FitTest, TheFormsHighestDegreeFitsAtTheFormsLargestAngle)
{
    // A screen of radius 90 (25 000 pixels) or more.
    const LwFloatMatrix image = SpottedScreen(200);
    RfaParameters p = FitSettings(95, 5, RfaParameters::kMaxDegree);
    p.MappingAzThetaMax_deg_ = RfaParameters::kMaxAngle_deg;
    EXPECT_EQ(ErrorText([&] { p.FitBackgroundSh(image); }), "(no error)");
    p.Size_l_ = RfaParameters::kMaxDegree + 1;
    p.MappingAzThetaMax_deg_ = 180;
    EXPECT_EQ(ErrorText([&] { p.FitBackgroundSh(image); }),
              "Number of l = 15 is out of range: it must be from 0 to 14");
}

// Debug messages of the category "halvane.fit", collected while alive.
class FitTraceCollector
{
public:
    FitTraceCollector()
    {
        lines_.clear();
        previous_ = qInstallMessageHandler(&Collect);
    }
    ~FitTraceCollector() { qInstallMessageHandler(previous_); }
    static const std::vector<std::string>& Lines() { return lines_; }

private:
    static void Collect(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (type == QtDebugMsg && context.category != nullptr &&
            std::strcmp(context.category, "halvane.fit") == 0)
            lines_.push_back(text.toStdString());
    }
    static std::vector<std::string> lines_;
    QtMessageHandler previous_;
};
std::vector<std::string> FitTraceCollector::lines_;

TEST(FitTrace, TraceIsOffByDefaultAndTheLoggingRulesTurnItOn)
{
    RfaParameters p = FitSettings(20, 0, 2);
    p.MappingIsAz_ = true;  // for the degree-by-degree method's "total" lines
    const LwFloatMatrix image = Scattered(48, 48);
    const int n = 9;  // (2 + 1)^2 functions
    {
        QLoggingCategory::setFilterRules(QString());
        FitTraceCollector trace;
        p.FitBackgroundSh(image);
        p.BackgroundShByDegree(image);
        EXPECT_TRUE(FitTraceCollector::Lines().empty()) << FitTraceCollector::Lines().front();
    }
    {
        QLoggingCategory::setFilterRules("halvane.fit.debug=true");
        FitTraceCollector trace;
        p.FitBackgroundSh(image);
        QLoggingCategory::setFilterRules("halvane.fit.debug=false");
        const std::vector<std::string>& lines = FitTraceCollector::Lines();
        ASSERT_EQ(lines.size(), static_cast<std::size_t>(2 * n * n));
        // "M i j value" then "iM i j value", j outer: the second is the
        // inverse of the first.
        std::vector<double> m(n * n), inverse(n * n);
        for (std::size_t k = 0; k < lines.size(); ++k) {
            std::istringstream line(lines[k]);
            std::string tag;
            int i = -1, j = -1;
            double value = 0;
            line >> tag >> i >> j >> value;
            const bool first = k < lines.size() / 2;
            const std::size_t at = k % (lines.size() / 2);
            ASSERT_EQ(tag, first ? "M" : "iM") << lines[k];
            ASSERT_EQ(i, static_cast<int>(at % n));
            ASSERT_EQ(j, static_cast<int>(at / n));
            (first ? m : inverse)[at] = value;
        }
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                double s = 0;
                for (int k = 0; k < n; ++k)
                    s +=
                        m[static_cast<std::size_t>(k * n + i)] * inverse[static_cast<std::size_t>(j * n + k)];
                EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-3) << i << " " << j;  // six digits traced
            }
    }
}

TEST_F(FitTest, DegreeByDegreeAtDegreeZeroIsTheDiscMeanTimesY00Squared)
{
    RfaParameters p;
    p.Sr_ = 12;
    p.SMargin_ = 0;
    p.Size_l_ = 0;
    p.MappingIsAz_ = true;
    LwFloatMatrix image(32, 30);
    double sum = 0;
    int count = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 32; ++x) {
            image(x, y) = static_cast<float>((x + 2 * y) % 4);  // zeros included in the mean
            const double u = (x - 16) / 12.0, v = (y - 15) / 12.0;
            if (u * u + v * v < 1) {
                sum += image(x, y);
                ++count;
            }
        }
    const LwFloatMatrix background = p.BackgroundShByDegree(image);
    EXPECT_NEAR(background(16, 15), sum / count / (4 * LwConst::Pi), 1e-6);
    EXPECT_NEAR(background(20, 9), sum / count / (4 * LwConst::Pi), 1e-6);
    EXPECT_EQ(background(28, 15), 0);
    p.MappingIsAz_ = false;
    EXPECT_EQ(ErrorText([&] { p.BackgroundShByDegree(image); }), "Undefined Mapping Method");
}

TEST_F(FitTest, BothMethodsLogTheirRecordAndOnlyTheLeastSquaresFitItsFlag)
{
    RfaParameters p;
    p.Sr_ = 40.5;
    p.SMargin_ = 5;
    p.MappingIsGnomonic_ = true;
    p.MappingIsAzM2_ = false;
    p.MappingAzThetaMax_deg_ = 100.0L / 3;  // six significant digits, as a stream writes it
    p.Size_l_ = 3;
    p.UseAllSphere_ = true;
    auto item = [](const std::string& key, const std::string& value) {
        return "<i><key>" + key + "</key>\n<value>" + value + "</value>\n</i>\n";
    };
    const std::string head = "<func><name>RFA_background</name>\n" + item("ScreenRadius", "40.5") +
                             item("ScreenMargin", "5") + item("MappingIsGnomonic", "true") +
                             item("MappingIsAz_", "false");
    const std::string tail = item("MappingAzThetaMax_deg", "33.3333") + item("Size_l", "3") +
                             item("UseAllSphere", "true") + "</func>\n</app>\n";
    const struct
    {
        void (RfaParameters::*write)(LwProcessLog&) const;
        std::string record;
    } cases[] = {
        {&RfaParameters::LogRfaBackground, head + item("MappingIsAzM2_", "false") + tail},
        {&RfaParameters::LogRfaBackgroundByDegree, head + tail},
    };
    for (const auto& c : cases) {
        LwProcessLog log;
        log.LogOpen("0.0.5");
        (p.*c.write)(log);
        const std::string text = log.Render();
        ASSERT_GE(text.size(), c.record.size());
        EXPECT_EQ(text.substr(text.size() - c.record.size()), c.record);
        EXPECT_EQ(text.find("<func>"), text.size() - c.record.size());  // the only record
    }
}

TEST(PixelToSphere, MappingsAndTheOpenDisc)
{
    LDouble theta = -1, phi = -1;
    EXPECT_FALSE(RfaParameters::PixelToSphere(theta, phi, 10, 0, 10, false, true, 1.5L));
    EXPECT_EQ(theta, -1);
    ASSERT_TRUE(RfaParameters::PixelToSphere(theta, phi, 0, -5, 10, false, true, 1.5L));
    EXPECT_NEAR(static_cast<double>(theta), 0.75, 1e-15);
    EXPECT_NEAR(static_cast<double>(phi), -LwConst::Pi / 2, 1e-15);
    ASSERT_TRUE(RfaParameters::PixelToSphere(theta, phi, 3, 4, 10, true, true, 1.5L));
    EXPECT_NEAR(static_cast<double>(theta), std::acos(std::sqrt(0.75)), 1e-15);
    EXPECT_EQ(ErrorText([&] { RfaParameters::PixelToSphere(theta, phi, 1, 1, 10, false, false, 1); }),
              "Undefined Mapping Method");
}

TEST(AzimuthalBackground, RadiallySymmetricScreenGivesRatioOne)
{
    RfaParameters p;
    p.Ax_ = 40;
    p.Ay_ = 30;
    LwFloatMatrix image(81, 61);
    for (int y = 0; y < 61; ++y)
        for (int x = 0; x < 81; ++x) {
            const float r = std::sqrt(static_cast<float>((x - 40) * (x - 40) + (y - 30) * (y - 30)));
            const int bin = static_cast<int>(std::floor(r + 0.5f));
            image(x, y) = 2.0f + 0.25f * static_cast<float>(bin % 9);
        }
    image(45, 30) = 0;  // a pixel without data
    const LwFloatMatrix background = p.AzimuthalBackground(image);
    for (int y = 0; y < 61; ++y)
        for (int x = 0; x < 81; ++x) {
            if (x == 45 && y == 30) {
                EXPECT_EQ(background(x, y), image(44, 27));  // same ring (distance 5), zero left out
                continue;
            }
            ASSERT_EQ(background(x, y), image(x, y)) << x << " " << y;
        }
}

// The search written out with the library's azimuthal average, on one
// thread.
RfaParameters::ScreenEdge BruteForceEdge(const RfaParameters& p, const LwFloatMatrix& image)
{
    const int all = omp_get_max_threads();
    omp_set_num_threads(1);
    // Positions count from the first pixel: the search runs on a copy from
    // (0, 0).
    LwFloatMatrix clipped = image;
    clipped.ColBegin = 0;
    clipped.RowBegin = 0;
    float m = clipped.Buffer()[0];
    for (int i = 0; i < clipped.ElementCount(); ++i)
        m = std::max(m, clipped.Buffer()[i]);
    const float clip = static_cast<float>(p.AdjThres_ * m);
    for (int i = 0; i < clipped.ElementCount(); ++i)
        clipped.Buffer()[i] = std::min(clipped.Buffer()[i], clip);
    // The diagonal runs to the end of the shorter side.
    const int n = std::min(image.ColSize, image.RowSize);
    RfaParameters::ScreenEdge best;
    float bestValue = 0;
    for (int iy = 0; iy < 80; ++iy)
        for (int ix = 0; ix < 80; ++ix) {
            const float x = static_cast<float>(image.ColSize / 2 - 20 + 0.5 * ix),
                        y = static_cast<float>(image.RowSize / 2 - 20 + 0.5 * iy);
            LwLongMatrix map;
            const LwFloatMatrix a = LwMatrixOperator().AverageAlongAzimuthal(clipped, x, y, false, map);
            std::vector<float> d2(n, 0.0f);
            for (int k = 1; k <= n - 2; ++k)
                d2[k] = 2 * a(k, k) - a(k + 1, k + 1) - a(k - 1, k - 1);
            int kmin = 0;
            for (int k = 1; k < n; ++k)
                if (d2[k] < d2[kmin])
                    kmin = k;
            if (d2[kmin] < bestValue) {
                bestValue = d2[kmin];
                best.found = true;
                best.x = x;
                best.y = y;
                best.position = static_cast<float>(kmin);
            }
        }
    const double d = std::hypot(best.position - best.x, best.position - best.y);
    best.radius = static_cast<int>(std::floor(2 * d + 0.5) * 0.5);
    best.found = best.found && best.radius >= 1;
    omp_set_num_threads(all);
    return best;
}

// A bright screen of radius `radius` around (cx, cy) on a dim background;
// `face` gives the screen's value at (x, y).
LwFloatMatrix SyntheticScreen(int cols, int rows, int rowBegin, double cx, double cy, double radius,
                              const std::function<float(int, int)>& face)
{
    LwFloatMatrix image(cols, rows);
    image.RowBegin = rowBegin;
    for (int y = rowBegin; y < rowBegin + rows; ++y)
        for (int x = 0; x < cols; ++x)
            image(x, y) =
                std::hypot(x - cx, y - cy) < radius ? face(x, y) : 3.0f + 0.01f * static_cast<float>(x % 3);
    return image;
}

TEST(ScreenEdge, FindsTheEdgeOfSyntheticScreensAsTheDirectSearchDoes)
{
    struct Case
    {
        const char* name;
        LwFloatMatrix image;
        double cx, cy, radius;  // the screen drawn
        long double threshold;
    };
    const Case cases[] = {
        {"sloped face, centre between pixels",
         SyntheticScreen(64, 64, 0, 33, 30.5, 18.3, [](int x, int) { return 100.0f + 2 * x; }), 33, 30.5,
         18.3, 0.5L},
        // A face unclipped by the threshold, so every ring sum rounds.
        {"smooth face, low threshold",
         SyntheticScreen(56, 56, 0, 27.5, 29, 16.7,
                         [](int x, int y) {
                             return static_cast<float>(50 + 7 * std::sin(0.3 * x) + 3 * std::cos(0.7 * y));
                         }),
         27.5, 29, 16.7, 1.0L},
        // A symmetric screen: mirror centres tie, the first in scan order wins.
        {"symmetric screen, ties", SyntheticScreen(48, 48, 0, 24, 24, 14, [](int, int) { return 80.0f; }), 24,
         24, 14, 0.5L},
        // More rows than columns, the first of them above row 0; the screen
        // lies 26 rows below the first.
        {"tall image from row -5",
         SyntheticScreen(50, 61, -5, 24.5, 21, 15.2, [](int x, int y) { return 60.0f + x - 0.5f * y; }), 24.5,
         21, 15.2, 0.8L},
        // A landscape image: the centres' rows come from the row count and
        // the diagonal ends with the last row; the screen sits right of the
        // diagonal's nearest approach to the image centre.
        {"landscape image",
         SyntheticScreen(96, 64, 0, 50, 31.5, 22.4,
                         [](int x, int y) { return 70.0f + 0.5f * x + 0.25f * y; }),
         50, 31.5, 22.4, 0.8L},
    };
    const int all = omp_get_max_threads();
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        RfaParameters p;
        p.AdjThres_ = k.threshold;
        const RfaParameters::ScreenEdge expected = BruteForceEdge(p, k.image);
        omp_set_num_threads(1);
        const RfaParameters::ScreenEdge one = p.FindScreenEdge(k.image);
        omp_set_num_threads(std::max(all, 3));
        const RfaParameters::ScreenEdge many = p.FindScreenEdge(k.image);
        omp_set_num_threads(all);
        for (const RfaParameters::ScreenEdge* edge : {&one, &many}) {
            ASSERT_TRUE(edge->found);
            EXPECT_EQ(edge->x, expected.x);
            EXPECT_EQ(edge->y, expected.y);
            EXPECT_EQ(edge->position, expected.position);
            EXPECT_EQ(edge->radius, expected.radius);
        }
        // The edge found is the screen drawn, counted from the first pixel.
        EXPECT_NEAR(one.x, k.cx - k.image.ColBegin, 1.0);
        EXPECT_NEAR(one.y, k.cy - k.image.RowBegin, 1.0);
        EXPECT_NEAR(one.radius, k.radius, 2.0);
    }
}

TEST(ScreenEdge, ConstantEmptyAndShortImages)
{
    RfaParameters p;
    LwFloatMatrix constant(40, 40);
    for (int i = 0; i < constant.ElementCount(); ++i)
        constant.Buffer()[i] = 7;
    EXPECT_FALSE(p.FindScreenEdge(constant).found);
    EXPECT_EQ(ErrorText([&] { p.FindScreenEdge(LwFloatMatrix()); }), "The image has no pixels");
    // A wide image is searched along the diagonal of its rows.
    LwFloatMatrix wide(60, 45);
    wide.SetZero();
    EXPECT_FALSE(p.FindScreenEdge(wide).found);
    LwFloatMatrix shifted(40, 40);
    shifted.ColBegin = 1;  // no element (0, 0)
    shifted.SetZero();
    EXPECT_FALSE(p.FindScreenEdge(shifted).found);
    // The sharpest fall at the centre itself: one dark pixel on a flat
    // image gives the edge at distance 0 from the centre (20, 20), no
    // circle.
    LwFloatMatrix dot = constant;
    dot(20, 20) = 0;
    const RfaParameters::ScreenEdge atCentre = p.FindScreenEdge(dot);
    EXPECT_FALSE(atCentre.found);
    EXPECT_EQ(atCentre.radius, 0);
    int calls = 0;
    EXPECT_EQ(ErrorText([&] { p.FindScreenEdge(constant, [&](int, int) { return ++calls < 3; }); }),
              "Adjust Screen was cancelled");
    EXPECT_EQ(calls, 3);
    // Rows so far from the centres that the distances leave the 16-bit ring
    // table.
    LwFloatMatrix column(40, 140000);
    column.SetZero();
    EXPECT_EQ(ErrorText([&] { p.FindScreenEdge(column); }), "The image is too large for Adjust Screen");
}

// The candidate centres lie within 20 pixels of the image centre, and the
// profile runs along the diagonal from (0, 0), which passes
// |cols - rows| / (2 sqrt 2) from the centre. Images that cannot hold the
// candidates, or whose diagonal misses every screen inside them, are
// refused in words before the search; on the others a centred screen is
// found, and the images at the limits are searched.
TEST(ScreenEdge, ImagesTooSmallOrTooNarrowForTheSearchAreRefused)
{
    enum Outcome { Found, Searched, TooSmall, TooNarrow };
    struct Case
    {
        int cols, rows;
        Outcome outcome;
    };
    const Case cases[] = {
        {16, 16, TooSmall},
        {39, 300, TooSmall},
        {300, 39, TooSmall},
        {40, 40, Found},
        {96, 64, Found},
        {64, 96, Found},
        // sqrt 2 x 64 = 90.5: sides that differ by 90 are searched, by 91 not.
        {154, 64, Searched},
        {155, 64, TooNarrow},
        {64, 154, Searched},
        {64, 155, TooNarrow},
        {2048, 64, TooNarrow},
    };
    RfaParameters p;
    p.AdjThres_ = 1;
    for (const Case& k : cases) {
        const std::string size = std::to_string(k.cols) + " x " + std::to_string(k.rows);
        SCOPED_TRACE(size);
        const double radius = 0.4 * std::min(k.cols, k.rows);
        const LwFloatMatrix image = SyntheticScreen(k.cols, k.rows, 0, k.cols / 2.0, k.rows / 2.0, radius,
                                                    [](int, int) { return 100.0f; });
        if (k.outcome == Found) {
            const RfaParameters::ScreenEdge edge = p.FindScreenEdge(image);
            ASSERT_TRUE(edge.found);
            EXPECT_NEAR(edge.x, k.cols / 2.0, 1.0);
            EXPECT_NEAR(edge.y, k.rows / 2.0, 1.0);
            EXPECT_NEAR(edge.radius, radius, 2.0);
        } else if (k.outcome == Searched) {
            EXPECT_NO_THROW(p.FindScreenEdge(image));
        } else {
            const std::string text = ErrorText([&] { p.FindScreenEdge(image); });
            const std::string refusal = k.outcome == TooSmall ? "too small" : "too narrow";
            EXPECT_EQ(text.rfind("The image (" + size + " pixels) is " + refusal +
                                     " for the edge search of Adjust Screen",
                                 0),
                      0u)
                << text;
        }
    }
}

TEST(ApplyCheckedSteps, StepsRunInTheirOrderAndLogOneRecordEach)
{
    RfaParameters p;
    p.Sr_ = 30;
    p.SMargin_ = 5;
    p.Size_l_ = 1;
    p.Sx_ = 30;
    p.Sy_ = 34;
    p.Ax_ = p.Ay_ = 32;
    p.McpDipCx_ = 40;
    p.McpDipCy_ = 32;
    p.McpDipR_ = 2;
    p.MaskCx_ = p.MaskCy_ = 32;
    p.MaskRx_ = p.MaskRy_ = 20;
    LwFloatMatrix image(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            image(x, y) = 1.0f + 0.01f * static_cast<float>(x + 2 * y);
    LwFloatMatrix all = image;
    LwProcessLog log;
    log.LogOpen("0.0.5");
    p.ApplyCheckedSteps(all, log);
    const std::string text = log.Render();
    std::size_t at = 0;
    for (const char* record :
         {"MoveToCenter", "RFA_background", "AverageAlong", "MaskMcpDip", "MaskOutside"}) {
        const std::size_t next = text.find(std::string("<func><name>") + record + "</name>", at);
        ASSERT_NE(next, std::string::npos) << record;
        at = next;
    }
    // The same chain written out step by step.
    LwFloatMatrix expected = p.ShiftToCenter(image);
    const LwFloatMatrix sh = p.FitBackgroundSh(expected);
    for (int i = 0; i < expected.ElementCount(); ++i)
        expected.Buffer()[i] = sh.Buffer()[i] != 0 ? expected.Buffer()[i] / sh.Buffer()[i] : 0;
    const LwFloatMatrix az = p.AzimuthalBackground(expected);
    for (int i = 0; i < expected.ElementCount(); ++i)
        expected.Buffer()[i] = az.Buffer()[i] != 0 ? expected.Buffer()[i] / az.Buffer()[i] : 0;
    p.ApplyDipMask(expected);
    p.ApplyOutsideMask(expected);
    EXPECT_EQ(std::memcmp(all.Buffer(), expected.Buffer(), 4 * 64 * 64), 0);

    p.IsMoveCenter_ = p.IsBgSh_ = p.IsBgAz_ = p.IsMaskMcpDip_ = p.IsMaskOutside_ = false;
    LwFloatMatrix none = image;
    LwProcessLog empty;
    empty.LogOpen("0.0.5");
    p.ApplyCheckedSteps(none, empty);
    EXPECT_EQ(std::memcmp(none.Buffer(), image.Buffer(), 4 * 64 * 64), 0);
    EXPECT_EQ(empty.Render().find("<func>"), std::string::npos);
}

// Every operation on an image whose begins are not 0 gives what it gives on
// the same pixels from (0, 0), with the source's begins: positions count
// from the first pixel.
TEST(RfaImageBegins, EveryOperationCountsFromTheFirstPixel)
{
    RfaParameters p;
    p.Sr_ = 40;
    p.SMargin_ = 5;
    p.Size_l_ = 2;
    p.Sx_ = 50;
    p.Sy_ = 44;
    p.Ax_ = 46;
    p.Ay_ = 50;
    p.McpDipCx_ = 60;
    p.McpDipCy_ = 30;
    p.McpDipR_ = 6;
    p.MaskCx_ = 48;
    p.MaskCy_ = 45;
    p.MaskRx_ = 35;
    p.MaskRy_ = 30;
    p.AdjThres_ = 0.5L;
    const int cols = 96, rows = 90;
    LwFloatMatrix atZero(cols, rows);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < cols; ++x)
            atZero(x, y) = std::hypot(x - 47.5, y - 44) < 33
                               ? 100.0f + 0.5f * static_cast<float>(x) + 0.25f * y
                               : 3.0f + 0.01f * static_cast<float>(x % 3);
    LwFloatMatrix shifted = atZero;
    shifted.ColBegin = -50;
    shifted.RowBegin = 30;

    const std::vector<std::pair<const char*, std::function<LwFloatMatrix(const LwFloatMatrix&)>>> operations =
        {
            {"shift", [&](const LwFloatMatrix& m) { return p.ShiftToCenter(m); }},
            {"fit", [&](const LwFloatMatrix& m) { return p.FitBackgroundSh(m); }},
            {"by degree",
             [&](const LwFloatMatrix& m) {
                 RfaParameters q = p;
                 q.MappingIsAz_ = true;
                 return q.BackgroundShByDegree(m);
             }},
            {"azimuthal", [&](const LwFloatMatrix& m) { return p.AzimuthalBackground(m); }},
            {"dip",
             [&](const LwFloatMatrix& m) {
                 LwFloatMatrix out = m;
                 p.ApplyDipMask(out);
                 return out;
             }},
            {"outside",
             [&](const LwFloatMatrix& m) {
                 LwFloatMatrix out = m;
                 p.ApplyOutsideMask(out);
                 return out;
             }},
            {"clipped", [&](const LwFloatMatrix& m) { return p.FindScreenEdge(m).clipped; }},
            {"checked",
             [&](const LwFloatMatrix& m) {
                 LwFloatMatrix out = m;
                 LwProcessLog log;
                 log.LogOpen("0.0.5");
                 p.ApplyCheckedSteps(out, log);
                 return out;
             }},
        };
    for (const auto& [name, operation] : operations) {
        SCOPED_TRACE(name);
        const LwFloatMatrix expected = operation(atZero);
        const LwFloatMatrix got = operation(shifted);
        ASSERT_EQ(got.ColSize, cols);
        ASSERT_EQ(got.RowSize, rows);
        EXPECT_EQ(got.ColBegin, -50);
        EXPECT_EQ(got.RowBegin, 30);
        EXPECT_EQ(std::memcmp(got.Buffer(), expected.Buffer(), 4 * cols * rows), 0);
        // Each operation changed the image, so that the comparison shows
        // where it worked.
        EXPECT_NE(std::memcmp(got.Buffer(), atZero.Buffer(), 4 * cols * rows), 0);
    }
    const RfaParameters::ScreenEdge edge = p.FindScreenEdge(shifted);
    const RfaParameters::ScreenEdge reference = p.FindScreenEdge(atZero);
    ASSERT_TRUE(edge.found);
    EXPECT_EQ(edge.x, reference.x);
    EXPECT_EQ(edge.y, reference.y);
    EXPECT_EQ(edge.radius, reference.radius);
    EXPECT_NEAR(edge.x, 47.5, 1.0);
    EXPECT_NEAR(edge.y, 44, 1.0);
}

// The centres of the masks and of the azimuthal average are refused, named
// with their range, when they lie more than one image size from the image
// centre, as the screen centre of the shift is.
TEST(RfaImageBegins, CentresOutOfReachAreNamedWithTheirRange)
{
    const LwFloatMatrix image = [] {
        LwFloatMatrix m(256, 200);
        m.ColBegin = -50;
        m.RowBegin = 30;
        for (int i = 0; i < m.ElementCount(); ++i)
            m.Buffer()[i] = 1;
        return m;
    }();
    struct Case
    {
        std::function<void(RfaParameters&)> set;
        std::function<void(const RfaParameters&, LwFloatMatrix&)> run;
        std::string error;
    };
    auto dip = [](const RfaParameters& p, LwFloatMatrix& m) { p.ApplyDipMask(m); };
    auto outside = [](const RfaParameters& p, LwFloatMatrix& m) { p.ApplyOutsideMask(m); };
    auto azimuthal = [](const RfaParameters& p, LwFloatMatrix& m) { p.AzimuthalBackground(m); };
    const std::string widthRange =
        " is out of range: it must be from -128 to 384 (the image centre 128 plus or "
        "minus the image width)";
    const std::string heightRange =
        " is out of range: it must be from -100 to 300 (the image centre 100 plus "
        "or minus the image height)";
    const Case cases[] = {
        {[](RfaParameters& p) { p.Ax_ = 1e8; }, azimuthal, "Az. BG Cx = 1e+08" + widthRange},
        {[](RfaParameters& p) { p.Ay_ = 300.5; }, azimuthal, "Az. BG Cy = 300.5" + heightRange},
        {[](RfaParameters& p) {
             p.Ax_ = -128;
             p.Ay_ = 300;
         },
         azimuthal, "(no error)"},
        {[](RfaParameters& p) { p.McpDipCx_ = 385; }, dip, "MCP dip Cx = 385" + widthRange},
        {[](RfaParameters& p) { p.McpDipCy_ = -1e9; }, dip, "MCP dip Cy = -1e+09" + heightRange},
        {[](RfaParameters& p) {
             p.McpDipCx_ = 384;
             p.McpDipCy_ = -100;
         },
         dip, "(no error)"},
        {[](RfaParameters& p) { p.MaskCy_ = 1265; }, outside, "Mask Cy = 1265" + heightRange},
        {[](RfaParameters& p) { p.MaskCx_ = -129; }, outside, "Mask Cx = -129" + widthRange},
        // A mask that masks nothing has no centre to check.
        {[](RfaParameters& p) {
             p.MaskCx_ = -1e9;
             p.MaskRx_ = -1;
         },
         outside, "(no error)"},
        {[](RfaParameters& p) { p.MaskCx_ = 384; }, outside, "(no error)"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.error);
        RfaParameters p;
        k.set(p);
        LwFloatMatrix m = image;
        EXPECT_EQ(ErrorText([&] { k.run(p, m); }), k.error);
        // A refusal leaves the image as it was.
        if (k.error != "(no error)") {
            EXPECT_EQ(std::memcmp(m.Buffer(), image.Buffer(), 4 * 256 * 200), 0);
        }
    }
}

}  // namespace
