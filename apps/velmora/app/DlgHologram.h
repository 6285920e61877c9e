#pragma once
// The hologram dialog: a projection, its image parameters and the structures
// of the loaded cluster; Calculate runs the hologram for every photon energy
// of the settings in the worker thread QThreadCalc while the dialog polls it
// every 100 ms, keeps the window responsive, passes a stop request on and
// sends the growing image to the viewer. One energy gives one image window,
// several an image series that the viewer saves.
//
// While a calculation runs every Calculate button is disabled and the dialog
// refuses to close (title-bar button, Close, Escape).

#include "apps/velmora/engine/ElementRow.h"
#include "apps/velmora/engine/HologramRequest.h"

#include <QDialog>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QPushButton;
class Ui_DlgHologram;

class DlgHologram : public QDialog
{
    Q_OBJECT

public:
    explicit DlgHologram(QWidget* parent = nullptr);
    ~DlgHologram() override;

    // Fills the structure list and runs the dialog modally.
    int Exec();
    // One checked item "Structure:<i>" per structure of the cluster.
    void FillStructureList();
    Ui_DlgHologram& Form() { return *Form_; }
    // The five Calculate buttons in tab order.
    std::vector<QPushButton*> CalculateButtons() const;

public slots:
    void on_pushButton_2_clicked();  // Calculate, equidistant cylindrical
    void on_pushButton_4_clicked();  // Close
    void on_pushButton_3_clicked();  // Terminate calculation
    void on_pushButton_5_clicked();  // Calculate, azimuthal equidistant
    void on_pushButton_6_clicked();  // Calculate, gnomonic
    void on_pushButton_7_clicked();  // Calculate, stereographic
    void on_pushButton_8_clicked();  // Calculate, orthographic
    void on_pushButton_clicked();  // Select all
    void on_pushButton_9_clicked();  // Clear all
    // Escape: refused like a close while a calculation runs.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // How a Calculate ended. Only a complete run says "Finished"; a failed or
    // cancelled one sends no image.
    enum class RunOutcome { NotRun, Complete, Terminated, Failed };

    // Calculate on projection tab `tab` (0 to 4).
    void CalculateOnTab(int tab);
    void TakeStructureSelection();
    // The tab's fields into its document's projection parameters, checked.
    void ReadTabParameters(int tab);
    RunOutcome CalculateHologram();
    RunOutcome RunSingleEnergy();
    RunOutcome RunEnergySeries();
    // One energy in the worker thread. Failed: the worker's error was shown
    // and no final image sent; Terminated: the final image went out marked
    // partial.
    RunOutcome RunOneEnergy(std::int32_t id, double energy_eV);
    // The image and its keys; "__XFH.Partial" is 1 for an image that not
    // every column has reached yet (or will ever reach), else 0.
    void SendHologramImage(std::int32_t& id, bool partial);
    // Whether a close may go on; shows the caution box when not.
    bool MayClose();

    std::unique_ptr<Ui_DlgHologram> Form_;
};

// A box with the title and the text (UTF-8), one Ok button, application-modal.
void ShowInformationBox(const std::string& title, const std::string& text, QWidget* parent);

// SimulationSettings::WriteIni; a failure is shown in the "ERROR" box the
// first time in a run (the program folder may be read-only) and written to
// the warning output after that; the caller goes on either way.
void WriteIniReportingOnce(QWidget* parent);
