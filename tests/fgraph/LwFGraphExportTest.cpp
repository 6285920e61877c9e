#include "fgraph/LwFGraph.h"
#include "ErrorText.h"
#include "FGraphTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>

namespace {

QString ReadText(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "(missing)";
    return QString::fromUtf8(f.readAll());
}

// Parses "x,y" lines back into points.
std::vector<std::pair<double, double>> ParseCsv(const QString& text)
{
    std::vector<std::pair<double, double>> points;
    for (const QString& line : text.split('\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.split(',');
        if (f.size() != 2)
            return {};
        points.emplace_back(f[0].toDouble(), f[1].toDouble());
    }
    return points;
}

// Answers the next file dialog with `path`.
void AnswerNextDialog(const QString& path)
{
    QTimer::singleShot(0, [path] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return AnswerNextDialog(path);
        dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

// Runs a poppler tool; its standard output, or a note when it is missing.
QString RunTool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return "(failed: " + program + ")";
    return QString::fromUtf8(p.readAllStandardOutput());
}

class LwFGraphExportTest : public FGraphOnView
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        // The save dialogs remember their folder in the working directory.
        previous_ = QDir::currentPath();
        QDir::setCurrent(dir_.path());
    }
    void TearDown() override { QDir::setCurrent(previous_); }
    QString Path(const QString& name) { return dir_.filePath(name); }

    QTemporaryDir dir_;
    QString previous_;
};

TEST_F(LwFGraphExportTest, CsvWritesOneFilePerItem)
{
    graph_.SetWave(0, {0.5, 1, 1e7}, {0.25, -2, 1.0 / 3});
    Impl().SaveCsv(Path("one.csv"));
    EXPECT_EQ(ReadText(Path("one.csv")), QString("0.5,0.25\n1,-2\n1e+07,0.333333\n"));

    graph_.SetWave(1, {3}, {4});
    Impl().SaveCsv(Path("out.csv"));
    EXPECT_FALSE(QFile::exists(Path("out.csv")));
    const auto first = ParseCsv(ReadText(Path("out0.csv")));
    const auto second = ParseCsv(ReadText(Path("out1.csv")));
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[1], std::make_pair(1.0, -2.0));
    EXPECT_NEAR(first[2].second, 1.0 / 3, 1e-6);
    EXPECT_EQ(second, (std::vector<std::pair<double, double>>{{3, 4}}));

    Impl().SaveCsv(Path("noext"));
    EXPECT_TRUE(QFile::exists(Path("noext0.")));
    EXPECT_TRUE(QFile::exists(Path("noext1.")));

    // A file that cannot be opened is skipped without a word.
    EXPECT_NO_THROW(Impl().SaveCsv(Path("missing/dir/x.csv")));
}

TEST_F(LwFGraphExportTest, CsvOfTheImageHoldsItsRowsAndNothingWithoutItems)
{
    Impl().SaveCsv(Path("empty.csv"));
    EXPECT_FALSE(QFile::exists(Path("empty.csv")));
    LwFloatMatrix image(3, 2);
    for (int i = 0; i < 6; ++i)
        image(i % 3, i / 3) = static_cast<float>(i);
    graph_.SetImage(image);
    Impl().SaveCsv(Path("image.csv"));
    EXPECT_EQ(ReadText(Path("image.csv")), QString("0,1,2\n3,4,5\n"));
}

TEST_F(LwFGraphExportTest, MenuOffersTheFourActionsAndSavesThroughTheDialog)
{
    Attach(600, 400);
    graph_.SetWave(0, {0, 1}, {0, 2});
    graph_.Redraw();
    QStringList texts;
    for (QAction* a : Scene()->Menu()->actions())
        texts << a->text();
    EXPECT_EQ(texts, (QStringList{"Auto scale (double click)", "Copy Clipboard", "Save wave as CSV",
                                  "Save image as PDF"}));

    AnswerNextDialog(Path("menu.csv"));
    Scene()->Menu()->actions()[2]->trigger();
    EXPECT_EQ(ReadText(Path("menu.csv")), QString("0,0\n1,2\n"));

    AnswerNextDialog(Path("menu.pdf"));
    Scene()->Menu()->actions()[3]->trigger();
    EXPECT_TRUE(QFile::exists(Path("menu.pdf")));
}

TEST_F(LwFGraphExportTest, ClipboardHoldsTheViewAsAnImage)
{
    Attach(600, 400);
    graph_.SetWave(0, {0, 10}, {0, 5});
    graph_.Redraw();
    QApplication::clipboard()->clear();
    Scene()->Menu()->actions()[1]->trigger();
    const QImage image = QApplication::clipboard()->image();
    ASSERT_EQ(image.size(), QSize(600, 400));
    EXPECT_EQ(image.pixel(300, 2), qRgb(255, 255, 255));
    int red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == qRgb(255, 0, 0))
                ++red;
    EXPECT_GT(red, 300);  // the diagonal crosses about 530 pixels
}

TEST_F(LwFGraphExportTest, PdfPageHasTheViewsSizeAndShowsTheCurve)
{
    Attach(600, 400);
    graph_.SetWave(0, {0, 10}, {0, 5});
    Impl().ItemSet.Gradation.Axes[0].Title = "Energy";
    graph_.Redraw();
    Impl().SavePdf(Path("g.pdf"));

    const QString info = RunTool("pdfinfo", {Path("g.pdf")});
    EXPECT_TRUE(info.contains(QRegularExpression("Page size:\\s+600 x 400 pts"))) << info.toStdString();
    const QString text = RunTool("pdftotext", {Path("g.pdf"), "-"});
    for (const char* label : {"Energy", "10", "8", "4", "5"})
        EXPECT_TRUE(text.contains(label)) << label << " in " << text.toStdString();

    ASSERT_EQ(RunTool("pdftoppm", {"-r", "72", "-png", "-singlefile", Path("g.pdf"), Path("page")}),
              QString());
    const QImage page(Path("page.png"));
    ASSERT_EQ(page.size(), QSize(600, 400));
    // The curve's middle, (5, 2.5), scaled from the 598 x 398 scene onto the
    // page from its top-left corner (one factor for both directions).
    const double k = std::min(600.0 / 598, 400.0 / 398);
    const double sx = 60 + 5.5 / 11 * (588 - 60), sy = 397 - (20 + 2.75 / 5.5 * (388 - 20));
    const double ox = 0;
    int red = 0;
    for (int dy = -3; dy <= 3; ++dy)
        for (int dx = -3; dx <= 3; ++dx) {
            const QRgb c = page.pixel(static_cast<int>(ox + sx * k) + dx, static_cast<int>(sy * k) + dy);
            if (qRed(c) > 200 && qGreen(c) < 120 && qBlue(c) < 120)
                ++red;
        }
    EXPECT_GT(red, 0);
}

TEST_F(LwFGraphExportTest, RenderFailuresCarryTheirTexts)
{
    QImage none;
    EXPECT_EQ(ErrorText([&] { graph_.Render(&none); }), "ERROR: FGraph::Render : QPainter::begin");
    Attach(300, 200);
    graph_.Redraw();
    EXPECT_EQ(ErrorText([&] { Impl().SavePdf(Path("missing/dir/g.pdf")); }),
              "ERROR: FGraph::Render : QPainter::begin");
}

}  // namespace
