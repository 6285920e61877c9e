#include "apps/halvane/MainWindow.h"

#include "apps/halvane/RfaParameters.h"
#include "apps/halvane/RfaProgressDialog.h"
#include "ui_MainWindow.h"

#include "core/LwError.h"
#include "core/LwQBarnFile.h"
#include "fgraph/LwFileDialogs.h"
#include "fgraph/LwWindowUtilities.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMessageBox>

namespace {

const char* const kParameterFilter = "parameter (*.rfa_bg)";

void ShowUndefined(QWidget* parent)
{
    ShowUndefinedErrorBox(QString(), parent, LwUndefinedErrorStyle::NameEmpty);
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent, Qt::WindowFlags()), ui_(new Ui_MainWindow)
{
    ui_->setupUi(this);
    const RfaParameters& record = GetRfaParameters();
    setWindowTitle(windowTitle() + " " + QString::fromStdString(record.Version_));
    connect(&timer_, &QTimer::timeout, this, &MainWindow::onInitTimer);
    timer_.start(10);
}

MainWindow::~MainWindow()
{
    delete ui_;
}

void MainWindow::on_pushButton_3_clicked()
{
    close();
}

void MainWindow::onInitTimer()
{
    timer_.stop();
    try {
        RfaParameters& record = GetRfaParameters();
        try {
            // A missing, unreadable or malformed ini file leaves the defaults.
            LwQBarnFile doc(GetIniFileNameQString(".ini"), "r");
            RfaParameters loaded = record;
            loaded.Serialize(doc, "ini");
            record = loaded;
        } catch (...) {}
        record.ExchangeWithUi(0, ui_);
    } catch (const LwError& e) {
        ShowErrorBox(e.Message(), this);
        close();
    }
}

void MainWindow::SaveIniReported()
{
    try {
        GetRfaParameters().SaveIni();
    } catch (const LwError& e) {
        // A program folder without write access must not stop the
        // operations: the failure is shown once, then only logged.
        qWarning().noquote() << QString::fromStdString(e.Message());
        if (!iniFailureShown_) {
            iniFailureShown_ = true;
            ShowErrorBox(e.Message(), this);
        }
    }
}

void MainWindow::RunOperation(QPushButton* button, Disable disable, bool formBack,
                              const std::function<void(RfaParameters&)>& action)
{
    if (button != nullptr && disable != Disable::No) {
        button->setEnabled(false);
        if (disable == Disable::YesWithEvents)
            QCoreApplication::processEvents();
    }
    try {
        RfaParameters& record = GetRfaParameters();
        record.ExchangeWithUi(1, ui_);
        SaveIniReported();
        RfaParameters parameters = record;
        action(parameters);
        if (formBack)
            GetRfaParameters().ExchangeWithUi(0, ui_);
    } catch (const RfaCancelled&) {
        // Stopped by the user before anything changed: nothing to report.
    } catch (const LwError& e) {
        ShowErrorBox(e.Message(), this);
    } catch (...) {
        ShowUndefined(this);
    }
    if (button != nullptr && disable != Disable::No)
        button->setEnabled(true);
}

void MainWindow::DrawEllipse(float cx, float cy, double w, double h, bool movable)
{
    const std::int32_t id = client_.WindowGetFocusedID();
    client_.RegionClear(id);
    client_.RegionAdd(id, "ELLIPSE", cx, cy, static_cast<float>(w), static_cast<float>(h),
                      LwColorRgb{255, 0, 0}, movable);
    client_.UpdateAll();
}

void MainWindow::on_pushButton_6_clicked()
{
    RunOperation(ui_->pushButton_6, Disable::No, false, [this](RfaParameters& p) {
        DrawEllipse(static_cast<float>(p.Sx_), static_cast<float>(p.Sy_), 2 * p.Sr_ + 1, 2 * p.Sr_ + 1,
                    false);
    });
}

void MainWindow::on_pushButton_10_clicked()
{
    RunOperation(ui_->pushButton_10, Disable::No, false, [this](RfaParameters& p) {
        DrawEllipse(static_cast<float>(p.McpDipCx_), static_cast<float>(p.McpDipCy_), 2 * p.McpDipR_ + 1,
                    2 * p.McpDipR_ + 1, false);
    });
}

void MainWindow::on_pushButton_4_clicked()
{
    RunOperation(ui_->pushButton_4, Disable::No, false, [this](RfaParameters& p) {
        DrawEllipse(static_cast<float>(p.MaskCx_), static_cast<float>(p.MaskCy_), 2 * p.MaskRx_ + 1,
                    2 * p.MaskRy_ + 1, true);
    });
}

void MainWindow::on_pushButton_7_clicked()
{
    RunOperation(ui_->pushButton_7, Disable::Yes, false,
                 [this](RfaParameters& p) { p.MoveToCenter(client_); });
}

void MainWindow::on_pushButton_5_clicked()
{
    RunOperation(ui_->pushButton_5, Disable::YesWithEvents, false, [this](RfaParameters& p) {
        RfaOperationProgress progress("2) Remove BG", this);
        p.RemoveBgSh(client_, progress.Callback());
    });
}

void MainWindow::on_pushButton_clicked()
{
    RunOperation(ui_->pushButton, Disable::No, false,
                 [this](RfaParameters& p) { p.RemoveBgAzimuthal(client_); });
}

void MainWindow::on_pushButton_2_clicked()
{
    RunOperation(ui_->pushButton_2, Disable::YesWithEvents, true, [this](RfaParameters& p) {
        RfaOperationProgress progress("Adjust Screen", this);
        const int infinite = p.AdjustScreen(client_, progress.Callback());
        RfaParameters& record = GetRfaParameters();
        record.Sx_ = p.Sx_;
        record.Sy_ = p.Sy_;
        record.Sr_ = p.Sr_;
        if (infinite > 0)
            QMessageBox::information(
                this, "Information",
                QString("Adjust Screen treated %1 infinite pixels as pixels without data").arg(infinite));
    });
}

void MainWindow::on_pushButton_8_clicked()
{
    RunOperation(ui_->pushButton_8, Disable::Yes, false,
                 [this](RfaParameters& p) { p.ApplyCheckedNewImage(this, client_); });
}

void MainWindow::on_pushButton_9_clicked()
{
    RunOperation(ui_->pushButton_9, Disable::No, false, [this](RfaParameters& p) { p.MaskMcpDip(client_); });
}

void MainWindow::on_pushButton_11_clicked()
{
    RunOperation(ui_->pushButton_11, Disable::No, false,
                 [this](RfaParameters& p) { p.MaskOutside(client_); });
}

void MainWindow::on_pushButton_12_clicked()
{
    RunOperation(ui_->pushButton_12, Disable::No, true, [this](RfaParameters& p) {
        p.UpdateMaskFromRegion(client_);
        RfaParameters& record = GetRfaParameters();
        record.MaskCx_ = p.MaskCx_;
        record.MaskCy_ = p.MaskCy_;
        record.MaskRx_ = p.MaskRx_;
        record.MaskRy_ = p.MaskRy_;
    });
}

void MainWindow::on_actionLoad_parameters_triggered()
{
    try {
        const QString file = GetOpenFileNameQString(this, "Load paramtrs", kParameterFilter);
        if (file.isEmpty())
            return;
        LwQBarnFile doc(file, "r");
        RfaParameters& record = GetRfaParameters();
        RfaParameters loaded = record;
        loaded.Serialize(doc, "ini");
        record = loaded;
        record.ExchangeWithUi(0, ui_);
    } catch (const LwError& e) {
        ShowErrorBox(e.Message(), this);
    } catch (...) {
        ShowUndefined(this);
    }
}

void MainWindow::on_actionSave_Parameters_triggered()
{
    try {
        RfaParameters& record = GetRfaParameters();
        record.ExchangeWithUi(1, ui_);
        const QString file =
            GetSaveFileNameQString(this, "Save paramtrs", kParameterFilter, "paremeter.rfa_bg");
        if (file.isEmpty())
            return;
        LwQBarnFile doc(file, "w");
        RfaParameters copy = record;
        copy.Serialize(doc, "ini");
        doc.Save();
    } catch (const LwError& e) {
        ShowErrorBox(e.Message(), this);
    } catch (...) {
        ShowUndefined(this);
    }
}
