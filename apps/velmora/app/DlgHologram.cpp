#include "apps/velmora/app/DlgHologram.h"

#include "core/LwADateTime.h"
#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/LwMatrixArithmetic.h"
#include "core/TextUtilities.h"
#include "pattern/LwProjection.h"
#include "fgraph/LwFileDialogs.h"
#include "fgraph/LwQuitOnSignals.h"
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
// The smallest cluster-size limit (A) that the hologram dialog takes.
constexpr double kMinClusterSizeLimit_A = 1.0;
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

// A hologram image as it goes to the viewer: plane 0 of the document as
// floats and its keys, kept apart from the document so that it can be sent
// again after the document has gone on to the next energy.
struct HologramImage
{
    LwFloatMatrix Plane;  // empty when the document has no plane
    double Energy_eV = 0;
    bool Partial = true;
    std::string Projection;
    std::string Anomalous;
};

HologramImage CurrentImage(bool partial)
{
    const SimulationSettings& s = GetSimulationSettings();
    HologramImage image;
    image.Energy_eV = s.Calculation_.PhotonEnergy_eV;
    image.Partial = partial;
    image.Projection = s.CurrentDoc_->Grid.Name;
    image.Anomalous = AnomalousTermsJson(s.Calculation_.ElementMap);
    if (!s.CurrentDoc_->Grid.Planes.empty()) {
        LwLDoubleMatrix plane;
        s.Calculation_.CopyImage(*s.CurrentDoc_, plane);
        image.Plane = LwMatrixArithmetic().ToFloatMatrix(plane);
    }
    return image;
}

// The image into window `id`: caption, keys, pixels. The keys say
// "__XFH.Partial" 1 until the pixels of a complete image have gone, so that
// a send cut short (a quit signal, a lost viewer) never leaves a window
// marked complete.
void SendImage(std::int32_t id, const HologramImage& image)
{
    LwPluginFuncZyvra& client = Client();
    client.SetCaption(id, "Pattern");
    LwPluginFuncZyvra::DoubleMap numbers;
    numbers["__XFH.PhotonEnergy_eV"] = {image.Energy_eV};
    numbers["__XFH.Partial"] = {1.0};
    LwPluginFuncZyvra::StringMap texts;
    texts["__SphereProjection.Name"] = {image.Projection};
    texts["__XFH.Anormalous"] = {image.Anomalous};
    client.ImageKeyDoubleSet(id, numbers);
    client.ImageKeyStringSet(id, texts);
    client.UpdateAll();
    if (image.Plane.ElementCount() == 0)
        return;
    client.ImageSet(id, image.Plane);
    client.UpdateAll();
    if (!image.Partial) {
        numbers["__XFH.Partial"] = {0.0};
        client.ImageKeyDoubleSet(id, numbers);
    }
}

// The image into window `id`, a new image window when the viewer has no
// image window `id` (-1 at first); `id` names the window it went to.
void SendToImageWindow(std::int32_t& id, const HologramImage& image)
{
    LwPluginFuncZyvra& client = Client();
    if (!client.GetIsModeImage(id))
        id = client.ImageNewWindow();
    SendImage(id, image);
}

// An energy series in the viewer: the series window under one series file,
// and every energy saved into it with its image kept. A viewer that no
// longer has the window (it was restarted) gets a new series window under
// the same file, which holds every saved energy again before the next one
// goes in.
class EnergySeries
{
public:
    explicit EnergySeries(const std::string& path) : path_(path), base_(ReplaceExtension(path, "")) {}

    std::int32_t Window() const { return window_; }
    // The series window with every saved energy in it, made (again) when
    // there is none or the viewer does not have it.
    void EnsureWindow()
    {
        LwPluginFuncZyvra& client = Client();
        if (!HasWindow()) {
            window_ = client.SeriesNewWindow(path_, "image");
            if (window_ < 0)
                throw LwError("The image viewer made no series window for " + path_);
            selected_ = -1;
            filled_ = saved_.empty();
        }
        if (filled_)
            return;
        for (const Entry& e : saved_)
            WriteEntry(e.Index, e.Image);
        client.SeriesSave(window_, path_);
        filled_ = true;
    }
    // Entry `index` selected, for the images of the energy that runs.
    void Select(std::int32_t index)
    {
        EnsureWindow();
        SelectInWindow(index);
    }
    // The image as entry `index`, not saved (a stopped energy).
    void Show(std::int32_t index, const HologramImage& image)
    {
        Select(index);
        SendImage(window_, image);
    }
    // The image as entry `index` with its file and index key, then the
    // series file; the energy counts as saved once all of it has gone.
    void Save(std::int32_t index, const HologramImage& image)
    {
        EnsureWindow();
        WriteEntry(index, image);
        Client().SeriesSave(window_, path_);
        Client().UpdateAll();
        saved_.push_back({index, image});
    }

private:
    struct Entry
    {
        std::int32_t Index;
        HologramImage Image;
    };

    bool HasWindow()
    {
        if (window_ < 0)
            return false;
        return Client().GetIsModeSeries(window_);
    }
    void SelectInWindow(std::int32_t index)
    {
        if (selected_ != index)
            Client().SeriesImageIndexSet(window_, index);
        selected_ = index;
    }
    // Into the window as it is.
    void WriteEntry(std::int32_t index, const HologramImage& image)
    {
        LwPluginFuncZyvra& client = Client();
        SelectInWindow(index);
        SendImage(window_, image);
        client.SeriesImageSave(window_, index, SeriesImageFileName(base_, image.Energy_eV));
        client.SeriesIndexKeyDoubleSet(window_, index, {{"X", {image.Energy_eV}}});
    }

    std::string path_;
    std::string base_;
    std::int32_t window_ = -1;
    std::int32_t selected_ = -1;
    bool filled_ = true;  // the window holds every saved energy
    std::vector<Entry> saved_;
};

// "10, 12 keV": energies in six digits, as the time label shows them.
std::string EnergiesText(const std::vector<double>& energies_keV)
{
    std::string text;
    for (double e : energies_keV)
        text += (text.empty() ? "" : ", ") + QString::number(e, 'g', 6).toStdString();
    return text + " keV";
}

constexpr const char* kKeptQuestion = "The computed hologram is kept. Send it to the image viewer again?";

}  // namespace

void ShowInformationBox(const std::string& title, const std::string& text, QWidget* parent)
{
    // After a quit signal no box waits for a click that will not come.
    if (LwQuitOnSignals::IsQuitRequested()) {
        qWarning().noquote() << QString::fromUtf8(text.c_str());
        return;
    }
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
        RunOutcome outcome = RunOutcome::NotRun;
        try {
            // Checked before anything else changes.
            CheckPhotonEnergies(s.PhotonEnergyList_keV);
            CheckElementTerms(s.Calculation_.ElementMap, s.Calculation_.Temperature_K);
            s.CurrentDoc_ = &s.Document(kProjectionTabs[tab].Projection);
            TakeStructureSelection();
            ReadTabParameters(tab);
            s.CurrentDoc_->InitSphericalMap();
            outcome = CalculateHologram();
        } catch (...) {
            // A refused run is a failed one, not the previous run's time.
            Form_->label_3->setText("Failed");
            throw;
        }
        switch (outcome) {
        case RunOutcome::Complete: ShowInformationBox("Information", "Finished", this); break;
        case RunOutcome::Terminated: ShowInformationBox("Information", "Terminated", this); break;
        case RunOutcome::Failed:  // the worker's error has been shown
        case RunOutcome::Quit:  // the program ends
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
    // earlier run of this document had one. The box takes any number from 0
    // up, so that a limit typed below the smallest one is refused here in
    // words rather than silently replaced by the box's previous value.
    const double limit_A = Form_->doubleSpinBox->value();
    if (Form_->checkBox->isChecked() && limit_A < kMinClusterSizeLimit_A)
        throw LwError("Use Cluster Size limit(A) " + DoubleToString(limit_A) +
                      " is below the smallest limit, " + DoubleToString(kMinClusterSizeLimit_A) + " A");
    doc.ClusterSizeLimit_m_ = Form_->checkBox->isChecked() ? limit_A * LwConst::Angstrom_m : 0.0;
}

void DlgHologram::ReadTabParameters(int tab)
{
    SimulationSettings& s = GetSimulationSettings();
    Ui_DlgHologram& f = *Form_;
    const ProjectionTab& t = kProjectionTabs[tab];
    switch (t.Projection.GetKind()) {
    case LwProjection::AzimuthalEquidistant: {
        const double resolution = FieldDouble(*(f.*t.Resolution), "Degree/ Pix =");
        CheckResolutionGrid(t.Projection, resolution, (f.*t.Resolution)->text().trimmed().toStdString());
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
        // The typed number is checked before it is rounded to single
        // precision, which would make a tiny one 0 and a huge one inf.
        const double typed = FieldDouble(*(f.*t.Resolution), "Degree/ Pix =");
        CheckResolutionGrid(t.Projection, typed, (f.*t.Resolution)->text().trimmed().toStdString());
        const double resolution = static_cast<double>(static_cast<float>(typed));
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
    std::int32_t id = -1;
    const RunOutcome outcome = RunOneEnergy(s.PhotonEnergyList_keV.front() * 1000.0,
                                            [&id] { SendToImageWindow(id, CurrentImage(true)); });
    if (outcome == RunOutcome::Complete || outcome == RunOutcome::Terminated) {
        // The computed hologram stays in the document while the user decides.
        const HologramImage image = CurrentImage(outcome != RunOutcome::Complete);
        if (!RunOfferingRetry(this, kKeptQuestion, [&] { SendToImageWindow(id, image); }))
            throw LwError("The hologram was not sent to the image viewer");
    }
    t1.SetNow();
    const QString time = "TIME=" + QString::number(t1.DiffSeconds(t0), 'g', 6);
    status.End(outcome == RunOutcome::Complete ? time
               : outcome == RunOutcome::Failed ? "Failed"
                                               : "Terminated");
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
    EnergySeries series(path);
    series.EnsureWindow();
    const std::vector<double> energies = s.PhotonEnergyList_keV;
    for (std::size_t i = 0; i < energies.size(); ++i) {
        const auto index = static_cast<std::int32_t>(i);
        status.Show("Calculating " + QString::number(i + 1) + "/" + QString::number(energies.size()) + ": " +
                    QString::number(energies[i], 'g', 6) + " keV");
        // The images of the running energy go to its entry; a viewer that
        // cannot take them costs only these images, never the energy.
        bool showProgress = true;
        try {
            series.Select(index);
        } catch (const LwError& e) {
            qWarning().noquote() << QString::fromStdString(e.Message());
            showProgress = false;
        }
        const RunOutcome outcome = RunOneEnergy(
            energies[i] * 1000.0,
            [&series] {
                if (!Client().GetIsModeImage(series.Window()))
                    throw LwError("The image viewer has no series window " + std::to_string(series.Window()));
                SendImage(series.Window(), CurrentImage(true));
            },
            showProgress);
        // A failed energy ends the series: the energies before it stay saved.
        if (outcome == RunOutcome::Failed || outcome == RunOutcome::Quit) {
            status.End(outcome == RunOutcome::Failed ? "Failed" : "Terminated");
            return outcome;
        }
        // A complete energy is saved, a stopped one only shown (not as if it
        // were complete), in a series window that holds every saved energy.
        const HologramImage image = CurrentImage(outcome != RunOutcome::Complete);
        if (!RunOfferingRetry(this, kKeptQuestion, [&] {
                if (outcome == RunOutcome::Complete)
                    series.Save(index, image);
                else
                    series.Show(index, image);
            })) {
            const std::vector<double> lost(energies.begin() + static_cast<std::ptrdiff_t>(i), energies.end());
            const std::vector<double> kept(energies.begin(),
                                           energies.begin() + static_cast<std::ptrdiff_t>(i));
            throw LwError(
                "The series stopped before every energy was saved: " + EnergiesText(lost) + " not saved" +
                (kept.empty() ? std::string() : " (" + EnergiesText(kept) + " saved in " + path + ")"));
        }
        if (outcome == RunOutcome::Terminated) {
            status.End("Terminated");
            return outcome;
        }
    }
    t1.SetNow();
    status.End("TIME=" + QString::number(t1.DiffSeconds(t0), 'g', 6));
    return RunOutcome::Complete;
}

DlgHologram::RunOutcome DlgHologram::RunOneEnergy(double energy_eV, const std::function<void()>& sendProgress,
                                                  bool showProgress)
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
    // the result goes out at the end. A quit signal stops the calculation,
    // and nothing more is sent.
    for (int i = 0;; ++i) {
        if (thread.isFinished())
            break;
        const bool quit = LwQuitOnSignals::IsQuitRequested();
        if (s.IsTerminateRequest_ || quit)
            calc.IsTerminate.store(true);
        QCoreApplication::processEvents();
        QThread::msleep(kPollMs);
        if (showProgress && !quit && i % kPollsPerImage == 0 && calc.ColumnsDone.load() >= 0) {
            try {
                sendProgress();
            } catch (const LwError& e) {
                qWarning().noquote() << QString::fromStdString(e.Message());
                showProgress = false;
            }
        }
    }
    thread.wait();
    if (LwQuitOnSignals::IsQuitRequested())
        return RunOutcome::Quit;
    if (!thread.ErrorText().isEmpty()) {
        QMessageBox::information(this, "Warning", thread.ErrorText(), QMessageBox::Ok);
        return RunOutcome::Failed;
    }
    const bool complete = !s.CurrentDoc_->Grid.Planes.empty() &&
                          calc.ColumnsDone.load() >= s.CurrentDoc_->Grid.Planes[0].ColSize;
    return complete ? RunOutcome::Complete : RunOutcome::Terminated;
}
