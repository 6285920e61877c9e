#include "apps/velmora/app/DlgHologram.h"

#include "core/LwADateTime.h"
#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/LwMatrixArithmetic.h"
#include "core/TextUtilities.h"
#include "pattern/LwProjection.h"
#include "fgraph/LwFileDialogs.h"
#include "fgraph/LwWindowUtilities.h"
#include "plugin/LwPluginFuncZyvra.h"
#include "apps/velmora/app/QThreadCalc.h"
#include "apps/velmora/app/SimulationSettings.h"

#include "ui_DlgHologram.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QLabel>
#include <QMessageBox>

#include <algorithm>

namespace {

constexpr int kPollMs = 100;
constexpr int kPollsPerImage = 50;

LwPluginFuncZyvra& Client()
{
    LwPluginFuncZyvra* client = GetSimulationSettings().Plugin_;
    if (client == nullptr)
        throw LwError("Socket is not active");
    return *client;
}

// IsCalculating_ from the construction to the end of a run, whatever ends it.
class CalculatingFlag
{
public:
    CalculatingFlag()
    {
        SimulationSettings& s = GetSimulationSettings();
        s.IsCalculating_ = true;
        s.IsTerminateRequest_ = false;
    }
    ~CalculatingFlag() { GetSimulationSettings().IsCalculating_ = false; }
    CalculatingFlag(const CalculatingFlag&) = delete;
    CalculatingFlag& operator=(const CalculatingFlag&) = delete;
};

// The number in a tab's field; LwError naming the field when its text is no
// number (an empty field among them).
double FieldDouble(const QLineEdit& field, const std::string& label)
{
    bool ok = false;
    const double value = field.text().toDouble(&ok);
    if (!ok)
        throw LwError(label + " \"" + field.text().toStdString() + "\" is not a number");
    return value;
}

int FieldInt(const QLineEdit& field, const std::string& label)
{
    bool ok = false;
    const int value = field.text().toInt(&ok, 10);
    if (!ok)
        throw LwError(label + " \"" + field.text().toStdString() + "\" is not a whole number");
    return value;
}

// The time label through one run: "Calculating..." (with the energy and its
// place in a series) while it runs, the final text when it ends, "Failed"
// when it ends by an error; never the previous run's time.
class RunStatus
{
public:
    explicit RunStatus(QLabel& label) : label_(label) { Show("Calculating..."); }
    ~RunStatus()
    {
        if (!ended_)
            label_.setText("Failed");
    }
    RunStatus(const RunStatus&) = delete;
    RunStatus& operator=(const RunStatus&) = delete;

    // Painted by the polling loop's first round of events.
    void Show(const QString& text) { label_.setText(text); }
    void End(const QString& text)
    {
        ended_ = true;
        label_.setText(text);
    }

private:
    QLabel& label_;
    bool ended_ = false;
};

// "Max angle=" and "Image pix size=" of a tab into a document with a view
// angle and an image size, checked first.
template <class Document>
void ReadAngleAndSize(Document& document, const QLineEdit& angleField, const QLineEdit& sizeField,
                      LwProjection projection, double maxAngleDeg)
{
    const std::string name = projection.GetName();
    const double angle = FieldDouble(angleField, "Max angle of " + name);
    const int size = FieldInt(sizeField, "Image pix size of " + name);
    CheckViewAngle(projection, angle, maxAngleDeg);
    CheckSizeGrid(projection, size);
    document.ViewAngle_deg_ = angle;
    document.ImageSize_ = size;
}

// The projection tabs in tab order: the projection each one calculates and
// the fields it reads (none where a tab has no such field).
struct ProjectionTab
{
    LwProjection Projection;
    QLineEdit* Ui_DlgHologram::*Resolution;  // "Degree/ Pix ="
    QLineEdit* Ui_DlgHologram::*Angle;  // "Max angle=", below MaxAngleDeg
    QLineEdit* Ui_DlgHologram::*Size;  // "Image pix size="
    double MaxAngleDeg;
};
const ProjectionTab kProjectionTabs[] = {
    {LwProjection::AzimuthalEquidistant, &Ui_DlgHologram::lineEdit_2, nullptr, nullptr, 0.0},
    {LwProjection::Gnomonic, nullptr, &Ui_DlgHologram::lineEdit_3, &Ui_DlgHologram::lineEdit_6, 90.0},
    {LwProjection::Stereographic, nullptr, &Ui_DlgHologram::lineEdit_4, &Ui_DlgHologram::lineEdit_7, 180.0},
    {LwProjection::Orthographic, nullptr, nullptr, &Ui_DlgHologram::lineEdit_8, 0.0},
    {LwProjection::EquidistantCylindrical, &Ui_DlgHologram::lineEdit, nullptr, nullptr, 0.0},
};

}  // namespace

void ShowInformationBox(const std::string& title, const std::string& text, QWidget* parent)
{
    QMessageBox box(parent);
    box.setWindowTitle(QString::fromUtf8(title.c_str()));
    box.setText(QString::fromUtf8(text.c_str()));
    box.setStandardButtons(QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void WriteIniReportingOnce(QWidget* parent)
{
    static LwIniWriteReporter reporter("\nThe settings are not kept for the next start.");
    reporter.Write(parent, [] { GetSimulationSettings().WriteIni(); });
}

DlgHologram::DlgHologram(QWidget* parent) : QDialog(parent), Form_(std::make_unique<Ui_DlgHologram>())
{
    Form_->setupUi(this);
    SimulationSettings& s = GetSimulationSettings();
    s.IsCalculating_ = false;
    Form_->tabWidget->setCurrentIndex(s.CurrentMapTabIndex_);
}

DlgHologram::~DlgHologram() = default;

int DlgHologram::Exec()
{
    FillStructureList();
    return exec();
}

void DlgHologram::FillStructureList()
{
    QListWidget& list = *Form_->listWidget;
    list.clear();
    const std::size_t n = GetSimulationSettings().Cluster_.size();
    for (std::size_t i = 0; i < n; ++i) {
        auto* item = new QListWidgetItem("Structure:" + QString::number(i), &list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
}

std::vector<QPushButton*> DlgHologram::CalculateButtons() const
{
    return {Form_->pushButton_5, Form_->pushButton_6, Form_->pushButton_7, Form_->pushButton_8,
            Form_->pushButton_2};
}

void DlgHologram::on_pushButton_5_clicked()
{
    CalculateOnTab(0);
}
void DlgHologram::on_pushButton_6_clicked()
{
    CalculateOnTab(1);
}
void DlgHologram::on_pushButton_7_clicked()
{
    CalculateOnTab(2);
}
void DlgHologram::on_pushButton_8_clicked()
{
    CalculateOnTab(3);
}
void DlgHologram::on_pushButton_2_clicked()
{
    CalculateOnTab(4);
}

void DlgHologram::on_pushButton_4_clicked()
{
    close();
}

void DlgHologram::on_pushButton_3_clicked()
{
    GetSimulationSettings().IsTerminateRequest_ = true;
}

void DlgHologram::on_pushButton_clicked()
{
    for (int i = 0; i < Form_->listWidget->count(); ++i)
        Form_->listWidget->item(i)->setCheckState(Qt::Checked);
}

void DlgHologram::on_pushButton_9_clicked()
{
    for (int i = 0; i < Form_->listWidget->count(); ++i)
        Form_->listWidget->item(i)->setCheckState(Qt::Unchecked);
}

bool DlgHologram::MayClose()
{
    if (!GetSimulationSettings().IsCalculating_)
        return true;
    ShowInformationBox("Caution", "Hologram is calculating. Please terminate", this);
    return false;
}

void DlgHologram::closeEvent(QCloseEvent* event)
{
    if (MayClose())
        event->accept();
    else
        event->ignore();
}

void DlgHologram::reject()
{
    if (MayClose())
        QDialog::reject();
}

void DlgHologram::CalculateOnTab(int tab)
{
    // One calculation at a time: every Calculate button stays locked until
    // this one has ended.
    const std::vector<QPushButton*> buttons = CalculateButtons();
    for (QPushButton* b : buttons)
        b->setEnabled(false);
    RunShowingErrors(this, [this, tab] {
        SimulationSettings& s = GetSimulationSettings();
        // Checked before anything else changes.
        CheckPhotonEnergies(s.PhotonEnergyList_keV);
        s.CurrentDoc_ = &s.Document(kProjectionTabs[tab].Projection);
        TakeStructureSelection();
        ReadTabParameters(tab);
        s.CurrentDoc_->InitSphericalMap();
        switch (CalculateHologram()) {
        case RunOutcome::Complete: ShowInformationBox("Information", "Finished", this); break;
        case RunOutcome::Terminated: ShowInformationBox("Information", "Terminated", this); break;
        case RunOutcome::Failed:  // the worker's error has been shown
        case RunOutcome::NotRun: break;
        }
    });
    GetSimulationSettings().IsCalculating_ = false;
    for (QPushButton* b : buttons)
        b->setEnabled(true);
}

void DlgHologram::TakeStructureSelection()
{
    QListWidget& list = *Form_->listWidget;
    std::vector<bool> bits;
    for (int i = 0; i < list.count(); ++i)
        bits.push_back(list.item(i)->checkState() == Qt::Checked);
    if (bits.empty() || std::find(bits.begin(), bits.end(), true) == bits.end())
        throw LwError("List of Structure is not selected");
    LwDocPattern& doc = *GetSimulationSettings().CurrentDoc_;
    doc.SetRecordSelection(static_cast<int>(bits.size()), false);
    for (std::size_t i = 0; i < bits.size(); ++i)
        doc.SelectRecord(static_cast<int>(i), bits[i]);
    // The box decides every run: unchecked is no limit (0), also when an
    // earlier run of this document had one.
    doc.ClusterSizeLimit_m_ =
        Form_->checkBox->isChecked() ? Form_->doubleSpinBox->value() * LwConst::Angstrom_m : 0.0;
}

void DlgHologram::ReadTabParameters(int tab)
{
    SimulationSettings& s = GetSimulationSettings();
    Ui_DlgHologram& f = *Form_;
    const ProjectionTab& t = kProjectionTabs[tab];
    switch (t.Projection.GetKind()) {
    case LwProjection::AzimuthalEquidistant: {
        const double resolution = FieldDouble(*(f.*t.Resolution), "Degree/ Pix =");
        CheckResolutionGrid(t.Projection, resolution);
        s.DocAzimuthalEquidistant_.Resolution_deg_ = resolution;
        break;
    }
    case LwProjection::Gnomonic:
        ReadAngleAndSize(s.DocDiana_, *(f.*t.Angle), *(f.*t.Size), t.Projection, t.MaxAngleDeg);
        break;
    case LwProjection::Stereographic:
        ReadAngleAndSize(s.DocStereoProjection_, *(f.*t.Angle), *(f.*t.Size), t.Projection, t.MaxAngleDeg);
        break;
    case LwProjection::Orthographic: {
        const int size = FieldInt(*(f.*t.Size), std::string("Image pix size of ") + t.Projection.GetName());
        CheckSizeGrid(t.Projection, size);
        s.DocOrthographic_.ImageSize_ = size;
        break;
    }
    case LwProjection::EquidistantCylindrical: {
        const double resolution =
            static_cast<double>(static_cast<float>(FieldDouble(*(f.*t.Resolution), "Degree/ Pix =")));
        CheckResolutionGrid(t.Projection, resolution);
        s.DocEquidistantCylindrical_.Resolution_deg_ = resolution;
        break;
    }
    }
}

DlgHologram::RunOutcome DlgHologram::CalculateHologram()
{
    SimulationSettings& s = GetSimulationSettings();
    s.CurrentMapTabIndex_ = Form_->tabWidget->currentIndex();
    WriteIniReportingOnce(this);
    return s.PhotonEnergyList_keV.size() == 1 ? RunSingleEnergy() : RunEnergySeries();
}

DlgHologram::RunOutcome DlgHologram::RunSingleEnergy()
{
    SimulationSettings& s = GetSimulationSettings();
    CalculatingFlag calculating;
    RunStatus status(*Form_->label_3);
    LwADateTime t0, t1;
    t0.SetNow();
    const RunOutcome outcome = RunOneEnergy(-1, s.PhotonEnergyList_keV.front() * 1000.0);
    t1.SetNow();
    const QString time = "TIME=" + QString::number(t1.DiffSeconds(t0), 'g', 6);
    status.End(outcome == RunOutcome::Complete     ? time
               : outcome == RunOutcome::Terminated ? "Terminated"
                                                   : "Failed");
    return outcome;
}

DlgHologram::RunOutcome DlgHologram::RunEnergySeries()
{
    SimulationSettings& s = GetSimulationSettings();
    CheckSeriesImageNames(s.PhotonEnergyList_keV);
    const std::string path =
        SelectSaveFileName(this, "Input SeriesOfImages file name", "xmlsrs(*.xmlsrs)", "xfh.xmlsrs");
    if (path.empty())
        return RunOutcome::NotRun;
    CalculatingFlag calculating;
    RunStatus status(*Form_->label_3);
    LwADateTime t0, t1;
    t0.SetNow();
    LwPluginFuncZyvra& client = Client();
    const std::int32_t id = client.SeriesNewWindow(path, "image");
    const std::string base = ReplaceExtension(path, "");
    const std::vector<double> energies = s.PhotonEnergyList_keV;
    for (std::size_t i = 0; i < energies.size(); ++i) {
        const double e = energies[i] * 1000.0;
        const auto index = static_cast<std::int32_t>(i);
        status.Show("Calculating " + QString::number(i + 1) + "/" + QString::number(energies.size()) + ": " +
                    QString::number(energies[i], 'g', 6) + " keV");
        client.SeriesImageIndexSet(id, index);
        const RunOutcome outcome = RunOneEnergy(id, e);
        // A stopped or failed energy ends the series; its image is not saved
        // as if it were complete. The energies before it stay saved.
        if (outcome != RunOutcome::Complete) {
            status.End(outcome == RunOutcome::Terminated ? "Terminated" : "Failed");
            return outcome;
        }
        client.SeriesImageSave(id, index, SeriesImageFileName(base, e));
        client.SeriesIndexKeyDoubleSet(id, index, {{"X", {e}}});
        client.SeriesSave(id, path);
        client.UpdateAll();
    }
    t1.SetNow();
    status.End("TIME=" + QString::number(t1.DiffSeconds(t0), 'g', 6));
    return RunOutcome::Complete;
}

DlgHologram::RunOutcome DlgHologram::RunOneEnergy(std::int32_t id, double energy_eV)
{
    SimulationSettings& s = GetSimulationSettings();
    HologramCalculation& calc = s.Calculation_;
    calc.SetPhotonEnergy_eV(energy_eV);
    // Until the worker has prepared the scatterers plane 0 holds the last
    // run's image, which must not go out under this run's keys.
    calc.ColumnsDone.store(-1);
    QThreadCalc thread;
    thread.start(QThread::InheritPriority);
    // A failed or cancelled intermediate send (a viewer that does not
    // answer) must not cost the calculation: the intermediate sends stop and
    // the result goes out at the end, into a new window when the first one
    // was not made.
    bool showProgress = true;
    for (int i = 0;; ++i) {
        if (thread.isFinished())
            break;
        if (s.IsTerminateRequest_)
            calc.IsTerminate.store(true);
        QCoreApplication::processEvents();
        QThread::msleep(kPollMs);
        if (showProgress && i % kPollsPerImage == 0 && calc.ColumnsDone.load() >= 0) {
            try {
                SendHologramImage(id, true);
            } catch (const LwError& e) {
                qWarning().noquote() << QString::fromStdString(e.Message());
                showProgress = false;
            }
        }
    }
    thread.wait();
    if (!thread.ErrorText().isEmpty()) {
        QMessageBox::information(this, "Warning", thread.ErrorText(), QMessageBox::Ok);
        return RunOutcome::Failed;
    }
    const bool complete = !s.CurrentDoc_->Grid.Planes.empty() &&
                          calc.ColumnsDone.load() >= s.CurrentDoc_->Grid.Planes[0].ColSize;
    // The computed hologram stays in the document while the user decides.
    if (!RunOfferingRetry(this, "The computed hologram is kept. Send it to the image viewer again?",
                          [&] { SendHologramImage(id, !complete); }))
        throw LwError("The hologram was not sent to the image viewer");
    return complete ? RunOutcome::Complete : RunOutcome::Terminated;
}

void DlgHologram::SendHologramImage(std::int32_t& id, bool partial)
{
    SimulationSettings& s = GetSimulationSettings();
    LwPluginFuncZyvra& client = Client();
    if (!client.GetIsModeImage(id))
        id = client.ImageNewWindow();
    client.SetCaption(id, "Pattern");
    LwPluginFuncZyvra::DoubleMap numbers;
    numbers["__XFH.PhotonEnergy_eV"] = {s.Calculation_.PhotonEnergy_eV};
    numbers["__XFH.Partial"] = {partial ? 1.0 : 0.0};
    LwPluginFuncZyvra::StringMap texts;
    texts["__SphereProjection.Name"] = {s.CurrentDoc_->Grid.Name};
    texts["__XFH.Anormalous"] = {AnomalousTermsJson(s.Calculation_.ElementMap)};
    client.ImageKeyDoubleSet(id, numbers);
    client.ImageKeyStringSet(id, texts);
    client.UpdateAll();
    if (s.CurrentDoc_->Grid.Planes.empty())
        return;
    LwLDoubleMatrix plane;
    s.Calculation_.CopyImage(*s.CurrentDoc_, plane);
    client.ImageSet(id, LwMatrixArithmetic().ToFloatMatrix(plane));
    client.UpdateAll();
}
