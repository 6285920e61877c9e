#pragma once
// velmora's main window: the form with every input of a hologram run, the
// program's one viewer client and the start-up timer. Its slots are the
// buttons of the form, connected by name; each reports an LwError in the
// "ERROR" box and keeps the window open.

#include "plugin/LwPluginFuncZyvra.h"

#include <QMainWindow>
#include <QString>
#include <QTimer>

#include <memory>

class FGraph;
class LwError;
class Ui_MainWindow;

// "Simulation for X-ray fluorescence hologram[fast]".
QString GetProgramTitle();

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    LwPluginFuncZyvra& PluginClient() { return PluginClient_; }
    Ui_MainWindow& Form() { return *Form_; }

public slots:
    // Close: asks a running calculation to stop and closes the window.
    void on_pushButton_3_clicked();
    // Start-up, once: ini file, form, atomic data tables, focused viewer window.
    void onInitTimer();
    // "(1) Load Cluster".
    void on_pushButton_2_clicked();
    // "Calculate" of the scattering pattern matrix.
    void on_pushButton_4_clicked();
    // "(3) Hologram Image".
    void on_pushButton_5_clicked();
    // "Show Atomic structure factor".
    void on_pushButton_clicked();
    // "TD(K) ->> Vibration (A)".
    void on_pushButton_6_clicked();
    // "clear all" of the anomalous group.
    void on_pushButton_7_clicked();
    // "Clear all" of the Debye group.
    void on_pushButton_8_clicked();

private:
    // Reads one table file of the program's folder whole, as UTF-8.
    static std::string ReadTableFile(const QString& name);
    // The start-up's report of a table file that cannot be read: the box,
    // then the window closes.
    void ReportTableFile(LwError& error);

    LwPluginFuncZyvra PluginClient_;
    QTimer InitTimer_;
    std::unique_ptr<Ui_MainWindow> Form_;
    // The plot of "Show Atomic structure factor", made at its first use; it
    // goes with the window, before the application object.
    std::unique_ptr<FGraph> AsfGraph_;
};

// The three-element column vector (x, y, z), returned for a buffer take-over.
LwLDoubleMatrix MakeVector3(double x, double y, double z);
