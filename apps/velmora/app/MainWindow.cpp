#include "apps/velmora/app/MainWindow.h"

#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/LwFileQt.h"
#include "core/LwQBarnFile.h"
#include "physics/LwAtomName.h"
#include "physics/LwClusterDocument.h"
#include "physics/LwDebye.h"
#include "physics/LwExtendedXyz.h"
#include "fgraph/LwFGraph.h"
#include "fgraph/LwFileDialogs.h"
#include "fgraph/LwWindowUtilities.h"
#include "apps/velmora/app/DlgHologram.h"
#include "apps/velmora/app/DlgViewClusterStructure.h"
#include "apps/velmora/app/ElementCombo.h"
#include "apps/velmora/app/MainForm.h"
#include "apps/velmora/app/ScatteringPatternMatrixSend.h"
#include "apps/velmora/app/SimulationSettings.h"
#include "apps/velmora/engine/AsfEntry.h"
#include "apps/velmora/engine/HologramRequest.h"

#include "ui_MainWindow.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QProgressDialog>

#include <cmath>
#include <set>

namespace {

constexpr const char* kVersion = "2.0.11";
constexpr const char* kAsfTableFile = "velmora_AtomicScatteringTable.csv";
constexpr const char* kAtomicWeightFile = "AtomicWeight.txt";
constexpr const char* kDebyeTemperatureFile = "DebyeTemperature_K.txt";

// "Error in element name" with the first symbol of the cluster that is no
// element.
void CheckElementNames(const LwCluster& cluster)
{
    std::set<std::string> checked;
    for (const LwStructure& structure : cluster)
        for (const LwClusterAtom& atom : structure) {
            if (!checked.insert(atom.Atom_).second)
                continue;
            LwAtomName element;
            try {
                element.SetAtomName(atom.Atom_);
            } catch (const LwError& e) {
                throw LwError(e.Message() + ": \"" + atom.Atom_ + "\"");
            }
        }
}

// The error of reading the file `path`, naming the file unless it does.
LwError NameTheFile(const LwError& error, const QString& path)
{
    const std::string name = path.toUtf8().toStdString();
    if (error.Message().find(name) != std::string::npos)
        return error;
    return LwError(error.Message() + " in file " + name);
}

}  // namespace

QString GetProgramTitle()
{
    return "Simulation for X-ray fluorescence hologram[fast]";
}

LwLDoubleMatrix MakeVector3(double x, double y, double z)
{
    LwLDoubleMatrix v;
    v.Create(3);
    const int b = v.VectorBegin();
    v[b] = x;
    v[b + 1] = y;
    v[b + 2] = z;
    return v.Release(true);
}

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), InitTimer_(this), Form_(std::make_unique<Ui_MainWindow>())
{
    PluginClient_.SetCommandTable(LwCommandTable::Velmora);
    Form_->setupUi(this);
    SimulationSettings& s = GetSimulationSettings();
    s.Version_ = kVersion;
    setWindowTitle(GetProgramTitle() + " " + QString::fromStdString(s.Version_));
    connect(&InitTimer_, &QTimer::timeout, this, &MainWindow::onInitTimer);
    InitTimer_.start(10);
}

MainWindow::~MainWindow()
{
    SimulationSettings& s = GetSimulationSettings();
    if (s.Plugin_ == &PluginClient_)
        s.Plugin_ = nullptr;
}

std::string MainWindow::ReadTableFile(const QString& name)
{
    LwFileQt file(QCoreApplication::applicationDirPath() + "/" + name, "r");
    std::string text;
    file.ReadAll(text);
    return text;
}

void MainWindow::ReportTableFile(LwError& error)
{
    error.AddFunction("Please intall this file.");
    ShowErrorBox(error.Message(), this);
    close();
}

void MainWindow::onInitTimer()
{
    InitTimer_.stop();
    SimulationSettings& s = GetSimulationSettings();
    s.UnusedIniEntries_.clear();
    try {
        s.ReadIni();
    } catch (...) {
        // A missing or broken ini file leaves the construction values.
    }
    // Hand-edited entries that could not be used are told once, here.
    std::string iniReport;
    if (!s.UnusedIniEntries_.empty()) {
        iniReport = "Entries of the ini file " + s.IniFileName().toUtf8().toStdString() +
                    " were not used (the table's or the default values are taken instead):";
        for (const std::string& entry : s.UnusedIniEntries_)
            iniReport += "\n" + entry;
    }
    try {
        Ui_MainWindow& f = *Form_;
        ShowEnergyList(f);
        ExchangeFormSettings(kToForm, f);
        f.tabWidget->setCurrentIndex(0);
        f.tabWidget_2->setCurrentIndex(0);
        QList<QLineEdit*> elements, f1, f2;
        GetAnomalousRowWidgets(f, elements, f1, f2);
        for (int i = 0; i < elements.size(); ++i) {
            f1[i]->setEnabled(false);
            f2[i]->setEnabled(false);
            elements[i]->setEnabled(false);
            elements[i]->clear();
        }
        HologramCalculation& calc = s.Calculation_;
        std::string asfText, weightText, debyeText;
        try {
            asfText = ReadTableFile(kAsfTableFile);
            qDebug() << "InitASF";
            calc.AsfTable.clear();
            LoadAsfTable(calc.AsfTable, asfText);
        } catch (LwError& e) {
            ReportTableFile(e);
        }
        try {
            weightText = ReadTableFile(kAtomicWeightFile);
        } catch (LwError& e) {
            ReportTableFile(e);
        }
        try {
            debyeText = ReadTableFile(kDebyeTemperatureFile);
        } catch (LwError& e) {
            ReportTableFile(e);
        }
        HologramCalculation::LoadAtomicWeight(calc.AtomicWeights, weightText);
        calc.DebyeTemperatures.clear();
        LoadDebyeTemperature(calc.DebyeTemperatures, debyeText);
        // Without a viewer the program runs all the same (its requests
        // connect once one is there); the user is told so.
        std::string viewerReport;
        try {
            s.WindowID_ = PluginClient_.WindowGetFocusedID();
        } catch (const LwError& e) {
            s.WindowID_ = -1;
            viewerReport = e.Message();
        }
        s.Plugin_ = &PluginClient_;
        ShowEnergyList(f);
        FillElementCombo(*f.comboBox);
        const std::string report =
            iniReport + (iniReport.empty() || viewerReport.empty() ? "" : "\n\n") + viewerReport;
        if (!report.empty())
            ShowErrorBox(report, this);
    } catch (const LwError& e) {
        ShowErrorBox(e.Message(), this);
        close();
    }
}

void MainWindow::on_pushButton_3_clicked()
{
    GetSimulationSettings().IsTerminateRequest_ = true;
    close();
}

void MainWindow::on_pushButton_2_clicked()
{
    RunShowingErrors(this, [this] {
        const QString path = GetOpenFileNameQString(this, "select cluster", "Cluster(*.xml_cl;*.xyz)");
        if (path.isEmpty())
            return;
        SimulationSettings& s = GetSimulationSettings();
        const QString suffix = QFileInfo(path).suffix();
        // Read into a cluster of its own: the loaded one stays until the new
        // one has been read and checked.
        LwCluster cluster;
        bool loaded = false;
        {
            QProgressDialog progress("Loading..", QString(), 0, 0, this);
            progress.show();
            QCoreApplication::processEvents();
            qDebug() << suffix;
            try {
                bool hasClusterRack = true;
                if (suffix == "xml_cl") {
                    LwQBarnFile file(path, "r");
                    hasClusterRack = LoadSaveCrystalStructureData(cluster, file, false);
                } else {
                    LwFileQt file(path, "r");
                    LoadExtendedXyz(cluster, file, false);
                }
                // A document without a structure would replace the loaded
                // cluster by nothing.
                loaded = hasClusterRack && !cluster.empty();
                if (loaded)
                    CheckElementNames(cluster);
            } catch (const LwError& e) {
                throw NameTheFile(e, path);
            }
        }
        QCoreApplication::processEvents();
        if (!loaded)
            throw LwError("This is not Cluster data");
        RememberFormElementValues(*Form_);
        s.Cluster_.swap(cluster);
        CollectClusterElements(s);
        FillAnomalousRows(*Form_);
        FillDebyeRows(*Form_);
        DlgViewClusterStructure view(this);
        view.Exec();
    });
}

void MainWindow::on_pushButton_5_clicked()
{
    RunShowingErrors(this, [this] {
        SimulationSettings& s = GetSimulationSettings();
        ReadEnergyList(*Form_);
        ExchangeFormSettings(kToSettings, *Form_);
        s.BuildElementMap();
        // A value that is no finite number is refused before it reaches the
        // ini file or the dialog.
        CheckElementTerms(s.Calculation_.ElementMap, s.Calculation_.Temperature_K);
        WriteIniReportingOnce(this);
        DlgHologram dialog(this);
        dialog.Exec();
    });
}

void MainWindow::on_pushButton_7_clicked()
{
    QList<QLineEdit*> elements, f1, f2;
    GetAnomalousRowWidgets(*Form_, elements, f1, f2);
    for (int i = 0; i < elements.size(); ++i) {
        f1[i]->setText(QString());
        f2[i]->setText(QString());
    }
}

void MainWindow::on_pushButton_8_clicked()
{
    QList<QLineEdit*> elements, examples, debye, amplitudes;
    GetDebyeRowWidgets(*Form_, elements, examples, debye, amplitudes);
    for (int k = 0; k < elements.size(); ++k) {
        debye[k]->setText(QString());
        amplitudes[k]->setText(QString());
    }
}

void MainWindow::on_pushButton_6_clicked()
{
    RunShowingErrors(nullptr, [this] {
        SetGlobalLocaleJapanese();
        const double t = Form_->le_temp_K->text().toDouble();
        const std::vector<double>& weights = GetSimulationSettings().Calculation_.AtomicWeights;
        QList<QLineEdit*> elements, examples, debye, amplitudes;
        GetDebyeRowWidgets(*Form_, elements, examples, debye, amplitudes);
        for (int k = 0; k < elements.size(); ++k) {
            if (elements[k]->text().isEmpty())
                continue;
            qDebug() << elements[k]->text() << debye[k]->text();
            const double thetaD = debye[k]->text().toDouble();
            LwAtomName element;
            element.SetAtomName(elements[k]->text().toUtf8().toStdString());
            const int z = element.GetAtomicNumber();
            double u = 0;
            if (thetaD > 0) {
                if (z < 1 || static_cast<std::size_t>(z) >= weights.size() || !(weights[z] > 0))
                    throw LwError("Atomic weight is not listed: Z=" + std::to_string(z));
                u = DebyeMeanSquareDisplacement_m2(t, weights[static_cast<std::size_t>(z)], thetaD);
            }
            const double sigma = std::sqrt(u);
            qDebug() << sigma;
            amplitudes[k]->setText(QString::number(sigma * LwConst::AngstromPerMetre, 'g', 6) + "/\t" +
                                   QString::number(u * LwConst::SquareAngstromPerSquareMetre, 'g', 6));
        }
    });
}

void MainWindow::on_pushButton_clicked()
{
    RunShowingErrors(this, [this] {
        const AsfEntryList& table = GetSimulationSettings().Calculation_.AsfTable;
        const int i = Form_->spinBox->value();
        if (i < 0 || static_cast<std::size_t>(i) >= table.size())
            throw LwError("Atomic scattering table has no row " + std::to_string(i));
        const AsfEntry& entry = table[static_cast<std::size_t>(i)];
        std::vector<double> s, y;
        for (double x = 0; x <= 2.0; x += 0.05) {
            s.push_back(x);
            y.push_back(AtomicFormFactor(entry, x));
        }
        if (!AsfGraph_) {
            AsfGraph_ = std::make_unique<FGraph>();
            // Axis titles with their units, and room for them below and
            // left of the frame.
            LwFGraphImpl& graph = AsfGraph_->Impl();
            graph.ItemSet.Gradation.Axes[0].Title = "s = sin(\u03b8)/\u03bb (1/\u00c5)";
            graph.ItemSet.Gradation.Axes[1].Title = "f0 (electrons)";
            graph.Layout.BottomMargin = 36;
            graph.Layout.LeftMargin = 70;
        }
        AsfGraph_->SetView(Form_->graphicsView);
        AsfGraph_->SetWave(0, s, y);
        AsfGraph_->Redraw();
        Form_->lineEdit->setText(QString::fromLatin1(entry.Symbol.c_str()));
        for (double a : entry.A)
            qDebug() << "A" << a;
        for (double b : entry.B)
            qDebug() << "B" << b;
        qDebug() << "C" << entry.C;
    });
}

void MainWindow::on_pushButton_4_clicked()
{
    RunShowingErrors(nullptr, [this] {
        const Ui_MainWindow& f = *Form_;
        ScatteringMatrixInputs in;
        in.Energy_keV = f.doubleSpinBox_4->value();
        in.RMin_A = f.doubleSpinBox->value();
        in.RMax_A = f.doubleSpinBox_2->value();
        in.RStep_A = f.doubleSpinBox_3->value();
        in.Division = f.spinBox_2->value();
        in.AtomicNumber = f.comboBox->currentIndex() + 1;
        in.RadialExponent = f.doubleSpinBox_5->value();
        SimulationSettings& s = GetSimulationSettings();
        s.CurrentDoc_ = &s.DocCosZ_;
        const LwFloatMatrix image = CalculateScatteringPatternMatrix(s.Calculation_, s.DocCosZ_, in);
        // A send that failed or was cancelled does not lose the image: it is
        // offered again, into a new window.
        RunOfferingRetry(this, "The computed image is kept. Send it to the image viewer again?",
                         [&] { SendScatteringPatternMatrix(PluginClient_, image, in); });
    });
}
