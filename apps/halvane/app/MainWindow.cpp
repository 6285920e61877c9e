#include "apps/halvane/app/MainWindow.h"

#include "core/LwError.h"
#include "core/LwQBarnFile.h"
#include "fgraph/LwFileDialogs.h"
#include "fgraph/LwWindowUtilities.h"
#include "apps/halvane/app/RfaOperations.h"
#include "apps/halvane/app/RfaParametersForm.h"
#include "apps/halvane/app/RfaProgressDialog.h"
#include "apps/halvane/app/RfaViewerSteps.h"
#include "apps/halvane/engine/RfaParameters.h"

#include "ui_MainWindow.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QResizeEvent>

#include <string>
#include <vector>

namespace {

const char* const kParameterFilter = "parameter (*.rfa_bg)";

// halvane's undefined-error box names no cause: "Undefined error:Undefined
// error".
LwSlotErrorReport HalvaneErrorReport()
{
    LwSlotErrorReport report;
    report.Style = LwUndefinedErrorStyle::NameEmpty;
    report.ShowWhat = false;
    return report;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent, Qt::WindowFlags()), Form_(std::make_unique<Ui_MainWindow>())
{
    Form_->setupUi(this);
    const RfaParameters& record = GetRfaParameters();
    setWindowTitle(windowTitle() + " " + QString::fromStdString(record.Version_));
    connect(&Timer_, &QTimer::timeout, this, &MainWindow::onInitTimer);
    Timer_.start(10);
}

MainWindow::~MainWindow() = default;

void MainWindow::on_pushButton_3_clicked()
{
    close();
}

void MainWindow::onInitTimer()
{
    Timer_.stop();
    try {
        RfaParameters& record = GetRfaParameters();
        // No ini file yet: the defaults, silently. A value the form cannot
        // take (a file of an older form, edited by hand) is replaced alone
        // and named, every other value of the file is shown; a file that is
        // no parameter file at all leaves the defaults and is kept aside.
        // Either way the next operation writes only what the form shows.
        std::string report;
        const QString ini = GetIniFileNameQString(".ini");
        if (QFileInfo::exists(ini)) {
            try {
                std::vector<std::string> replaced;
                RfaParameters loaded = record.ReadFile(ini, nullptr, &replaced);
                for (std::string& text : replaced)
                    text += ": the default is taken instead";
                for (const std::string& text : BringIntoFormRange(loaded, Form()))
                    replaced.push_back(text);
                record = loaded;
                if (!replaced.empty()) {
                    report = "The settings file " + QStringToStdString(ini) +
                             " holds values the form cannot take; its other values are shown.";
                    for (const std::string& text : replaced)
                        report += "\n" + text + ".";
                }
            } catch (const LwError& e) {
                report = e.Message() + "\nThe default parameters are shown.";
                const QString kept = ini + ".bak";
                QFile::remove(kept);
                if (QFile::copy(ini, kept))
                    report += "\nThe file is kept as " + QStringToStdString(kept) + ".";
            }
        }
        ExchangeWithUi(record, 0, Form());
        if (!report.empty())
            ShowErrorBox(report, this);
    } catch (const LwError& e) {
        ShowErrorBox(e.Message(), this);
        close();
    }
}

void MainWindow::SetOperationsEnabled(bool enabled)
{
    // The form and the menus take no input while a slot runs. The progress
    // dialogs are not modal for that: a modal dialog would also keep the
    // close of the window from its title bar away from closeEvent, which
    // asks whether to stop the operation.
    centralWidget()->setEnabled(enabled);
    menuBar()->setEnabled(enabled);
    Ui_MainWindow& f = *Form_;
    for (QWidget* w :
         {f.pushButton_2, f.pushButton_6, f.pushButton_7, f.pushButton_5, f.pushButton, f.pushButton_10,
          f.pushButton_9, f.pushButton_4, f.pushButton_12, f.pushButton_11, f.pushButton_8, f.pushButton_3})
        w->setEnabled(enabled);
    f.actionLoad_parameters->setEnabled(enabled);
}

void MainWindow::RunOperation(bool formBack, const std::function<void(RfaParameters&)>& action)
{
    if (Running_)
        return;  // the buttons are disabled; nothing else starts a slot
    Running_ = true;
    // The focus goes back where it was (the pressed button) at the end:
    // disabling it moves the focus on, and a Space meant for the button
    // would go to the next widget.
    const QPointer<QWidget> focused = focusWidget();
    SetOperationsEnabled(false);
    // A cancel by the user changed nothing: nothing to report. Neither is
    // anything when the window closes as the operation ends.
    LwSlotErrorReport report = HalvaneErrorReport();
    report.SayNothing = [this] { return CloseWhenDone_; };
    RunShowingErrorsQuietOn<RfaCancelled>(
        this,
        [&] {
            RfaParameters& record = GetRfaParameters();
            ExchangeWithUi(record, 1, Form());
            IniReporter_.Write(this, [] { SaveIni(GetRfaParameters()); });
            RfaParameters parameters = record;
            action(parameters);
            if (formBack)
                ExchangeWithUi(GetRfaParameters(), 0, Form());
        },
        report);
    SetOperationsEnabled(true);
    Running_ = false;
    if (focused)
        focused->setFocus();
    if (CloseWhenDone_) {
        CloseWhenDone_ = false;
        close();
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!Running_) {
        QMainWindow::closeEvent(event);
        return;
    }
    // The operation runs further down this thread's stack: the window closes
    // only once it has returned.
    event->ignore();
    if (AskingToClose_ || CloseWhenDone_)
        return;
    AskingToClose_ = true;
    QMessageBox box(QMessageBox::Question, windowTitle(),
                    "An operation is running. Stop it and close the window?",
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    const bool stop = box.exec() == QMessageBox::Yes;
    AskingToClose_ = false;
    if (!stop || !Running_) {
        if (stop)
            close();
        return;
    }
    CloseWhenDone_ = true;
    // As the dialogs' Cancel: a fit or series stops at its next report.
    for (QProgressDialog* progress : findChildren<QProgressDialog*>())
        progress->cancel();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    const QSize least = minimumSize().expandedTo(minimumSizeHint());
    if (event->size().width() < least.width() || event->size().height() < least.height())
        resize(event->size().expandedTo(least));
}

void MainWindow::DrawEllipse(float cx, float cy, double w, double h, bool movable)
{
    ShowOnlyEllipse(Client_, Client_.WindowGetFocusedID(), cx, cy, static_cast<float>(w),
                    static_cast<float>(h), movable);
}

void MainWindow::on_pushButton_6_clicked()
{
    RunOperation(false, [this](RfaParameters& p) {
        DrawEllipse(static_cast<float>(p.Sx_), static_cast<float>(p.Sy_), 2 * p.Sr_ + 1, 2 * p.Sr_ + 1,
                    false);
    });
}

void MainWindow::on_pushButton_10_clicked()
{
    RunOperation(false, [this](RfaParameters& p) {
        DrawEllipse(static_cast<float>(p.McpDipCx_), static_cast<float>(p.McpDipCy_), 2 * p.McpDipR_ + 1,
                    2 * p.McpDipR_ + 1, false);
    });
}

void MainWindow::on_pushButton_4_clicked()
{
    RunOperation(false, [this](RfaParameters& p) {
        DrawEllipse(static_cast<float>(p.MaskCx_), static_cast<float>(p.MaskCy_), 2 * p.MaskRx_ + 1,
                    2 * p.MaskRy_ + 1, true);
    });
}

// The operations that report no progress and cannot stop halfway get the
// dialog without Cancel: it shows that the window works and keeps clicks off.
void MainWindow::on_pushButton_7_clicked()
{
    RunOperation(false, [this](RfaParameters& p) {
        RfaOperationProgress progress("1) Move to center", this, RfaOperationProgress::Stop::NotOffered);
        MoveToCenter(p, Client_);
    });
}

void MainWindow::on_pushButton_5_clicked()
{
    RunOperation(false, [this](RfaParameters& p) {
        RfaOperationProgress progress("2) Remove BG", this);
        RemoveBgSh(p, Client_, progress.Callback());
    });
}

void MainWindow::on_pushButton_clicked()
{
    RunOperation(false, [this](RfaParameters& p) {
        RfaOperationProgress progress("3) Remove Az. BG", this, RfaOperationProgress::Stop::NotOffered);
        RemoveBgAzimuthal(p, Client_);
    });
}

void MainWindow::on_pushButton_2_clicked()
{
    RunOperation(true, [this](RfaParameters& p) {
        RfaOperationProgress progress("Adjust Screen", this);
        const int infinite = AdjustScreen(p, Client_, progress.Callback());
        RfaParameters found = GetRfaParameters();
        found.Sx_ = p.Sx_;
        found.Sy_ = p.Sy_;
        found.Sr_ = p.Sr_;
        CheckFoundValuesFit(found, "Adjust Screen");
        GetRfaParameters() = found;
        if (infinite > 0)
            QMessageBox::information(
                this, "Information",
                QString("Adjust Screen treated %1 infinite pixels as pixels without data").arg(infinite));
    });
}

void MainWindow::on_pushButton_8_clicked()
{
    RunOperation(false, [this](RfaParameters& p) { ApplyCheckedNewImage(p, this, Client_); });
}

void MainWindow::on_pushButton_9_clicked()
{
    RunOperation(false, [this](RfaParameters& p) {
        RfaOperationProgress progress("4) Mask MCP dip", this, RfaOperationProgress::Stop::NotOffered);
        MaskMcpDip(p, Client_);
    });
}

void MainWindow::on_pushButton_11_clicked()
{
    RunOperation(false, [this](RfaParameters& p) {
        RfaOperationProgress progress("5) Mask Outside", this, RfaOperationProgress::Stop::NotOffered);
        MaskOutside(p, Client_);
    });
}

void MainWindow::on_pushButton_12_clicked()
{
    RunOperation(true, [this](RfaParameters& p) {
        UpdateMaskFromRegion(p, Client_);
        RfaParameters found = GetRfaParameters();
        found.MaskCx_ = p.MaskCx_;
        found.MaskCy_ = p.MaskCy_;
        found.MaskRx_ = p.MaskRx_;
        found.MaskRy_ = p.MaskRy_;
        CheckFoundValuesFit(found, "Update Mask");
        GetRfaParameters() = found;
    });
}

void MainWindow::CheckFoundValuesFit(const RfaParameters& found, const char* operation) const
{
    try {
        CheckFitsForm(found, *Form_);
    } catch (const LwError& e) {
        throw LwError(std::string(operation) +
                      " found a value the form cannot show, so it is not taken: " + e.Message());
    }
}

void MainWindow::on_actionLoad_parameters_triggered()
{
    RunShowingErrors(
        this,
        [this] {
            const QString file = GetOpenFileNameQString(this, "Load paramtrs", kParameterFilter);
            if (file.isEmpty())
                return;
            // The file is read and checked whole first: a file that is no
            // parameter file, or one with a value the form cannot show,
            // leaves the record and the form's unsaved edits as they are.
            // A file that holds some of the keys changes those widgets
            // only; the others keep what the user typed.
            RfaParameters& record = GetRfaParameters();
            std::vector<std::string> keys;
            const RfaParameters loaded = record.ReadFile(file, &keys);
            try {
                CheckFitsForm(loaded, Form());
            } catch (const LwError& e) {
                throw LwError("The parameter file " + QStringToStdString(file) +
                              " was not loaded: " + e.Message());
            }
            record = loaded;
            ShowKeysInForm(record, keys, Form());
        },
        HalvaneErrorReport());
}

void MainWindow::on_actionSave_Parameters_triggered()
{
    RunShowingErrors(
        this,
        [this] {
            RfaParameters& record = GetRfaParameters();
            ExchangeWithUi(record, 1, Form());
            const QString file =
                GetSaveFileNameQString(this, "Save paramtrs", kParameterFilter, "paremeter.rfa_bg");
            if (file.isEmpty())
                return;
            LwQBarnFile doc(file, "w");
            RfaParameters copy = record;
            copy.Serialize(doc, "ini");
            doc.Save();
        },
        HalvaneErrorReport());
}
