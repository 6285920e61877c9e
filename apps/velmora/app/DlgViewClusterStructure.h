#pragma once
// The cluster view: one line per structure of the loaded cluster and a small
// picture of the selected one, turning about the structure's z axis every
// 200 ms while "Rotation view" is checked. Atoms are discs of 4 pixels at 4
// pixels per Angstrom, projected along the rotated y axis and painted from
// the smallest depth to the largest; the first atom (the emitter) is red,
// the others are coloured by their name.

#include "core/LwMatrix.h"

#include <QColor>
#include <QDialog>
#include <QTimer>

#include <memory>
#include <vector>

class QGraphicsScene;
class Ui_DlgViewClusterStructure;

// A disc of the picture: rotated position (m) and colour.
struct ClusterViewAtom
{
    double X = 0, Y = 0, Z = 0;
    QColor Color;
};

// The atoms of a structure rotated by EulerRotationMatrix(a, b, pi/2) (a, b
// in radians) in drawing order (increasing rotated y; equal depths keep the
// structure's order), with their colours.
std::vector<ClusterViewAtom> ClusterViewAtoms(const std::vector<LwLDoubleMatrix>& positions,
                                              const std::vector<std::string>& names, double a, double b);

class DlgViewClusterStructure : public QDialog
{
    Q_OBJECT

public:
    explicit DlgViewClusterStructure(QWidget* parent = nullptr);
    ~DlgViewClusterStructure() override;

    // Lists the structures ("Cluster <i>,N=<atoms>"), selects the first and
    // runs the dialog modally with the timer going; true.
    bool Exec();
    // Fills the list and selects its first row (the first step of Exec).
    void FillList();
    // Draws the selected structure into the scene.
    void DrawCluster();
    Ui_DlgViewClusterStructure& Form() { return *Form_; }
    QGraphicsScene* Scene() const { return Scene_.get(); }

public slots:
    void on_pushButton_clicked();  // OK
    void on_timer();

private:
    QTimer Timer_;
    std::unique_ptr<Ui_DlgViewClusterStructure> Form_;
    // The picture; it goes with the dialog.
    std::unique_ptr<QGraphicsScene> Scene_;
    bool IsDrawing_ = false;
    bool IsInTimer_ = false;
};
