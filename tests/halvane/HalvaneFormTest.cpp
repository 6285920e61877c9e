// The main form: every value widget's kind, range, decimals, step and
// initial value, texts the boxes cannot take, the texts and grid cells, the
// tab order, the menu.
#include "apps/halvane/app/RfaParametersForm.h"
#include "apps/halvane/engine/RfaParameters.h"
#include "ErrorText.h"

#include "ui_MainWindow.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMainWindow>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

namespace {

struct ValueWidget
{
    const char* name;
    bool isDouble;
    int decimals;
    double minimum, maximum, step, initial;
};

class FormTest : public ::testing::Test
{
protected:
    void SetUp() override { ui_.setupUi(&window_); }

    template <class W>
    W* Find(const char* name)
    {
        return window_.findChild<W*>(name);
    }
    // Row, column and column span of a widget in the grid.
    std::vector<int> Cell(const char* name)
    {
        QWidget* w = Find<QWidget>(name);
        const int index = ui_.gridLayout_3->indexOf(w);
        if (index < 0)
            return {};
        int row, col, rowSpan, colSpan;
        ui_.gridLayout_3->getItemPosition(index, &row, &col, &rowSpan, &colSpan);
        return {row, col, colSpan};
    }

    QMainWindow window_;
    Ui_MainWindow ui_;
};

TEST_F(FormTest, ValueWidgetsHaveTheirRangesDecimalsStepsAndInitialValues)
{
    // Positions and lengths in pixels reach as far as any image can
    // (kRfaFormPixelRange), so that the form never clamps a value an
    // operation found; a mask centre may lie left of or above the image.
    const double far = 1073741824;
    const ValueWidget table[] = {
        {"dsbThres", true, 2, 0.01, 99.99, 1, 0.1},
        {"sbAdjSize", false, 0, 1, 10, 1, 1},
        {"dspSx", true, 1, 0, far, 1, 128},
        {"dspSy", true, 1, 0, far, 1, 122},
        {"dspSr", true, 1, 0, far, 1, 126},
        {"spMargin", false, 0, 0, far, 1, 10},
        {"spSizel", false, 0, 0, RfaParameters::kMaxDegree, 1, 5},
        {"dspMaxAngle", true, 1, 0, 99.99, 1, 90},
        {"dsbAx", true, 1, 0, far, 0.5, 128},
        {"dsbAy", true, 1, 0, far, 0.5, 128},
        {"dsbDipCx", true, 1, 0, far, 0.5, 0},
        {"dsbDipCy", true, 1, 0, far, 0.5, 0},
        {"dsbDipR", true, 1, 0, far, 0.5, 0},
        {"sbMaskCx", false, 0, -far, far, 1, 0},
        {"sbMaskCy", false, 0, -far, far, 1, 0},
        {"sbMaskRx", false, 0, 0, far, 1, 0},
        {"sbMaskRy", false, 0, 0, far, 1, 0},
    };
    // The fits refuse a Max angle beyond the box's largest value, and say so.
    EXPECT_EQ(ui_.dspMaxAngle->maximum(), RfaParameters::kMaxAngle_deg);
    // An image crosses to the viewer as one block of at most INT_MAX bytes:
    // 16 bytes of sizes and 4 per pixel.
    EXPECT_EQ(far, kRfaFormPixelRange);
    EXPECT_GT(far, (std::numeric_limits<int>::max() - 16) / 4.0);
    for (const ValueWidget& v : table) {
        SCOPED_TRACE(v.name);
        if (v.isDouble) {
            auto* box = Find<QDoubleSpinBox>(v.name);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->decimals(), v.decimals);
            // A maximum left at the default is brought to the box's decimals
            // (99.99 with one decimal reads 99.99 rounded by the box).
            EXPECT_NEAR(box->minimum(), v.minimum, 1e-9);
            EXPECT_NEAR(box->maximum(), v.maximum, v.maximum == 99.99 ? 0.051 : 1e-9);
            EXPECT_DOUBLE_EQ(box->singleStep(), v.step);
            EXPECT_DOUBLE_EQ(box->value(), v.initial);
        } else {
            auto* box = Find<QSpinBox>(v.name);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->minimum(), static_cast<int>(v.minimum));
            EXPECT_EQ(box->maximum(), static_cast<int>(v.maximum));
            EXPECT_EQ(box->singleStep(), 1);
            EXPECT_EQ(box->value(), static_cast<int>(v.initial));
        }
    }
}

// A text typed past a box's range, or in a form the box does not hold,
// stays as typed, shown on a red ground, also when the focus leaves or
// Return is pressed; the exchange into the record refuses it in words and
// leaves the record as it was.
TEST_F(FormTest, TypedTextsTheBoxesCannotTakeStayAndAreRefusedInWords)
{
    struct Case
    {
        QAbstractSpinBox* box;
        const char* typed;
        std::string refusal;  // empty: taken
    };
    const Case cases[] = {
        {ui_.spSizel, "20", "Number of l = 20 is out of range: it must be a whole number from 0 to 14"},
        {ui_.dspMaxAngle, "120",
         "Max angle = 120 is out of range: it must be a number from 0 to 100 with at most 1 decimal"},
        {ui_.sbMaskCy, "126.5",
         "Mask Cy = 126.5 is not a whole number: it must be a whole number from -1073741824 to 1073741824"},
        {ui_.dspMaxAngle, "12.34",
         "Max angle = 12.34 has more decimals than the box holds: it must be a number from 0 to 100 with at "
         "most 1 decimal"},
        {ui_.sbAdjSize, "0",
         "Adj Screen: Search size = 0 is out of range: it must be a whole number from 1 to 10"},
        {ui_.dsbDipR, "-4",
         "MCP dip R = -4 is out of range: it must be a number from 0 to 1073741824 with at "
         "most 1 decimal"},
        {ui_.spSizel, "", "Number of l is empty: it must be a whole number from 0 to 14"},
        {ui_.spSizel, "12", ""},
        {ui_.dspMaxAngle, "45.5", ""},
    };
    const QColor normal = ui_.spSizel->palette().color(QPalette::Base);
    for (const Case& k : cases) {
        SCOPED_TRACE(k.typed);
        RfaParameters defaults;
        ExchangeWithUi(defaults, 0, ui_);
        k.box->selectAll();
        QTest::keyClick(k.box, Qt::Key_Backspace);
        QTest::keyClicks(k.box, k.typed);
        EXPECT_EQ(k.box->text().toStdString(), k.typed);
        EXPECT_EQ(k.box->hasAcceptableInput(), k.refusal.empty());
        EXPECT_EQ(k.box->palette().color(QPalette::Base) == normal, k.refusal.empty());
        EXPECT_EQ(k.box->toolTip().isEmpty(), k.refusal.empty());
        // Neither Return nor the focus leaving puts another number there.
        QTest::keyClick(k.box, Qt::Key_Return);
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(k.box, &out);
        EXPECT_EQ(k.box->text().toStdString(), k.typed);
        RfaParameters record;
        record.Sx_ = -7;  // shows whether the record was written
        const std::string error = ErrorText([&] { ExchangeWithUi(record, 1, ui_); });
        if (k.refusal.empty()) {
            EXPECT_EQ(error, "(no error)");
            EXPECT_EQ(record.Sx_, defaults.Sx_);
        } else {
            EXPECT_EQ(error, k.refusal);
            EXPECT_EQ(record.Sx_, -7);
        }
    }
    // A value set in the box replaces the text and its mark.
    ui_.spSizel->selectAll();
    QTest::keyClicks(ui_.spSizel, "20");
    ui_.spSizel->setValue(3);
    EXPECT_TRUE(ui_.spSizel->hasAcceptableInput());
    EXPECT_EQ(ui_.spSizel->palette().color(QPalette::Base), normal);
    EXPECT_TRUE(ui_.spSizel->toolTip().isEmpty());
}

TEST_F(FormTest, TextsAndGridCellsFollowTheLayout)
{
    struct Item
    {
        const char* name;
        const char* text;
        int row, col, span;
    };
    const Item items[] = {
        {"label_12", "parameters", 1, 2, 1},
        {"label_10", "Operations", 1, 5, 1},
        {"label_2", "Adj Screen: Threshold=", 2, 1, 1},
        {"label_3", "Adj Screen: Search size=", 3, 1, 1},
        {"cbShowTmp", "Show Temp.", 3, 3, 1},
        {"pushButton_2", "Adjust Screen", 3, 4, 1},
        {"label_6", "Screen (Cx, Cy)=", 4, 1, 1},
        {"label_11", "Screen R =", 5, 1, 1},
        {"label_7", "Screen Margin =", 6, 1, 1},
        {"pushButton_6", "Draw screen", 6, 4, 1},
        {"cbMoveCenter", "Move Image to Center", 8, 0, 2},
        {"pushButton_7", "1) Move to center", 8, 5, 1},
        {"cbBgSh", "BG by spherical harmonics", 10, 0, 2},
        {"label_8", "Number of l=", 11, 1, 1},
        {"label_9", "Max angle", 12, 1, 1},
        {"pushButton_5", "2) Remove BG", 12, 5, 1},
        {"cbBgAz", "BG by Azimuthal average", 15, 0, 2},
        {"label", "Center (Cx,Cy)=", 16, 1, 1},
        {"pushButton", "3) Remove Az. BG", 16, 5, 1},
        {"cbMaskMcpDip", "Mask region of MCP DIP", 19, 0, 2},
        {"label_4", "Center (Cx,Cy)=", 20, 1, 1},
        {"label_5", "Radius=", 21, 1, 1},
        {"pushButton_10", "Draw dip", 21, 4, 1},
        {"pushButton_9", "4) Mask MCP dip", 21, 5, 1},
        {"cbMaskOutside", "Mask outside region", 23, 0, 2},
        {"label_13", "Center(Cx,Cy)=", 24, 1, 1},
        {"pushButton_4", "Draw Mask", 24, 4, 1},
        {"label_14", " RadiusX, RadiusY=", 25, 1, 1},
        {"pushButton_12", "Update Mask", 25, 4, 1},
        {"pushButton_11", "5) Mask Outside", 25, 5, 1},
        {"label_15", "\u2191", 27, 0, 1},
        {"pushButton_8", "New Image (Apply checked operations)", 27, 1, 5},
        {"pushButton_3", "Cancel", 28, 0, 1},
    };
    for (const Item& item : items) {
        SCOPED_TRACE(item.name);
        QWidget* w = Find<QWidget>(item.name);
        ASSERT_NE(w, nullptr);
        QString text;
        if (auto* label = qobject_cast<QLabel*>(w))
            text = label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            text = button->text();
        EXPECT_EQ(text.toStdString(), item.text);
        EXPECT_EQ(Cell(item.name), (std::vector<int>{item.row, item.col, item.span}));
    }
    for (const char* line : {"line", "line_2", "line_3", "line_4", "line_5", "line_6"}) {
        SCOPED_TRACE(line);
        auto* frame = Find<QFrame>(line);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->frameShape(), QFrame::HLine);
        EXPECT_EQ(frame->frameShadow(), QFrame::Sunken);
        EXPECT_EQ(Cell(line)[2], 2);
    }
    EXPECT_TRUE(ui_.cbMoveCenter->isChecked());
    for (QCheckBox* box : {ui_.cbShowTmp, ui_.cbBgSh, ui_.cbBgAz, ui_.cbMaskMcpDip, ui_.cbMaskOutside})
        EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
}

TEST_F(FormTest, WindowMenuAndTabOrder)
{
    EXPECT_EQ(window_.objectName(), "MainWindow");
    EXPECT_EQ(window_.windowTitle(), "RFA: Background: Spherical Harmonics");
    EXPECT_EQ(window_.size(), QSize(605, 654));
    EXPECT_EQ(ui_.menuFile->title(), "File");
    const QList<QAction*> actions = ui_.menuFile->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions[0]->objectName(), "actionLoad_parameters");
    EXPECT_EQ(actions[0]->text(), "Load Parameters");
    EXPECT_EQ(actions[1]->objectName(), "actionSave_Parameters");
    EXPECT_EQ(actions[1]->text(), "Save Parameters");

    const std::vector<std::string> order = {
        "dsbThres",     "sbAdjSize",     "cbShowTmp",     "pushButton_2", "dspSx",        "dspSy",
        "dspSr",        "spMargin",      "pushButton_6",  "cbMoveCenter", "pushButton_7", "cbBgSh",
        "spSizel",      "dspMaxAngle",   "pushButton_5",  "cbBgAz",       "dsbAx",        "dsbAy",
        "pushButton",   "cbMaskMcpDip",  "dsbDipCx",      "dsbDipCy",     "dsbDipR",      "pushButton_10",
        "pushButton_9", "cbMaskOutside", "sbMaskCx",      "sbMaskCy",     "sbMaskRx",     "sbMaskRy",
        "pushButton_4", "pushButton_12", "pushButton_11", "pushButton_8", "pushButton_3"};
    // Walk the focus chain from the first widget: each named widget follows
    // the one before it (spin boxes hold an inner line edit, which the chain
    // visits first).
    std::vector<std::string> seen;
    QWidget* w = Find<QWidget>("dsbThres");
    for (int guard = 0; guard < 400 && seen.size() < order.size(); ++guard) {
        QWidget* named = w;
        while (named != nullptr && named->objectName().isEmpty())
            named = named->parentWidget();
        if (named != nullptr && (seen.empty() || seen.back() != named->objectName().toStdString()) &&
            std::find(order.begin(), order.end(), named->objectName().toStdString()) != order.end())
            seen.push_back(named->objectName().toStdString());
        w = w->nextInFocusChain();
    }
    EXPECT_EQ(seen, order);
}

}  // namespace
