#pragma once
// The hologram dialog: a projection, its image parameters and the structures
// of the loaded cluster; Calculate runs the hologram for every photon energy
// of the settings in the worker thread QThreadCalc while the dialog polls it
// every 100 ms, keeps the window responsive, passes a stop request on and
// sends the growing image to the viewer. One energy gives one image window,
// several an image series that the viewer saves. A computed image that
// cannot be sent is kept and offered again (Retry or Discard); a series whose
// viewer was restarted goes on in a new series window under the same series
// file, which gets every energy saved so far again. A quit signal stops the
// calculation, and nothing more is sent.
//
// While a calculation runs every Calculate button is disabled and the dialog
// refuses to close (title-bar button, Close, Escape).

#include "apps/velmora/engine/ElementRow.h"
#include "apps/velmora/engine/HologramRequest.h"

#include <QDialog>

#include <cstdint>
#include <functional>
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
    // cancelled one sends no image; after a quit signal nothing more is sent.
    enum class RunOutcome { NotRun, Complete, Terminated, Failed, Quit };

    // Calculate on projection tab `tab` (0 to 4).
    void CalculateOnTab(int tab);
    void TakeStructureSelection();
    // The tab's fields into its document's projection parameters, checked.
    void ReadTabParameters(int tab);
    RunOutcome CalculateHologram();
    // One energy into an image window; its image is kept and offered again
    // while it cannot be sent.
    RunOutcome RunSingleEnergy();
    // Every energy saved into one series window under the chosen series
    // file (see EnergySeries in the source); "Finished" only when every
    // energy was saved, else an error naming the energies not saved.
    RunOutcome RunEnergySeries();
    // One energy computed in the worker thread, `sendProgress` called about
    // every 5 s while `showProgress` (an LwError from it ends these sends).
    // Failed: the worker's error was shown; Terminated: stopped part-way;
    // Quit: a quit signal stopped it. The closing image is the caller's.
    RunOutcome RunOneEnergy(double energy_eV, const std::function<void()>& sendProgress,
                            bool showProgress = true);
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
