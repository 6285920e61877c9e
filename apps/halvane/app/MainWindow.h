#pragma once
// halvane's main window: the form, the program's one viewer client, the
// start timer that loads the ini file, and one slot per button and menu
// entry.
//
// Slot frame of the drawing and operation buttons: the form is copied into
// the record, the ini file is written (a file that cannot be written is
// reported once per run on the error box, then on Qt's warning output, and
// the slot goes on), and the action runs on a copy of the record taken
// then. An LwError ends the slot in the "ERROR" box, any other exception in
// the "Undefined error" box; the window stays open. An operation cancelled
// from its progress dialog ("2) Remove BG", "Adjust Screen", the fit of
// "New Image (Apply checked operations)") ends the slot quietly with nothing
// changed; a series keeps the images saved before. "Update Mask" and
// "Adjust Screen" show the values they found in the form afterwards; a
// value the form cannot hold is refused in words, the record and the form
// unchanged.
//
// GUI thread only. While the client waits for the viewer the event loop
// runs. So that no second operation starts inside a running one (the
// client would refuse its requests), the form and the menus, with every
// operation and drawing button, "Cancel" and "Load Parameters", stay
// disabled from the start of a slot to its end, and the operations show
// their progress dialog at once; the focus then goes back where it was.
// Closing the window meanwhile, also from its title bar, asks first; a yes
// stops the operation as its Cancel does and closes the window once it has
// ended.

#include "fgraph/LwWindowUtilities.h"
#include "plugin/LwPluginFuncZyvra.h"

#include <QMainWindow>
#include <QTimer>

#include <functional>
#include <memory>

class QCloseEvent;
class QResizeEvent;
class RfaParameters;
class Ui_MainWindow;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    LwPluginFuncZyvra& Client() { return Client_; }
    Ui_MainWindow& Form() { return *Form_; }
    QTimer& StartTimer() { return Timer_; }

private slots:
    void on_pushButton_3_clicked();
    void onInitTimer();
    void on_pushButton_6_clicked();
    void on_pushButton_7_clicked();
    void on_pushButton_5_clicked();
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();
    void on_pushButton_8_clicked();
    void on_pushButton_10_clicked();
    void on_pushButton_4_clicked();
    void on_pushButton_9_clicked();
    void on_pushButton_11_clicked();
    void on_pushButton_12_clicked();
    void on_actionLoad_parameters_triggered();
    void on_actionSave_Parameters_triggered();

protected:
    void closeEvent(QCloseEvent* event) override;
    // A window manager that ignores the minimum size (or none at all) may
    // still squeeze the window; it is given its minimum back, so that every
    // label stays readable.
    void resizeEvent(QResizeEvent* event) override;

private:
    // The slot frame around `action`, which gets the copy of the record.
    // `formBack`: the record is shown in the form afterwards.
    void RunOperation(bool formBack, const std::function<void(RfaParameters&)>& action);
    void SetOperationsEnabled(bool enabled);
    // LwError "<operation> found a value the form cannot show, ..." unless
    // every value of `found` fits the form.
    void CheckFoundValuesFit(const RfaParameters& found, const char* operation) const;
    // Removes the focused window's regions and draws one red ellipse.
    void DrawEllipse(float cx, float cy, double w, double h, bool movable);

    LwPluginFuncZyvra Client_;
    QTimer Timer_;
    std::unique_ptr<Ui_MainWindow> Form_;
    // The ini file written before each operation; a failure is reported
    // once per window, and the slot goes on.
    LwIniWriteReporter IniReporter_;
    bool Running_ = false;  // a slot's action runs
    bool AskingToClose_ = false;
    bool CloseWhenDone_ = false;  // the user chose to close during an operation
};
