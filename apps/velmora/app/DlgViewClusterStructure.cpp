#include "apps/velmora/app/DlgViewClusterStructure.h"

#include "core/LwConstants.h"
#include "core/LwMatrixArithmetic.h"
#include "apps/velmora/app/SimulationSettings.h"

#include "ui_DlgViewClusterStructure.h"

#include <QBrush>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QPen>

#include <algorithm>
#include <map>
#include <set>

namespace {

constexpr int kMaxDrawnAtoms = 50000;
constexpr double kPixelsPerAngstrom = 4.0;
constexpr int kTextMargin = 4;  // pixels around a text in the drawing area

QColor NameColor(std::size_t number)
{
    static const Qt::GlobalColor colours[] = {Qt::cyan, Qt::yellow,   Qt::darkYellow, Qt::blue,
                                              Qt::gray, Qt::darkGray, Qt::green};
    return number < 7 ? QColor(colours[number]) : QColor(Qt::gray);
}

}  // namespace

std::vector<ClusterViewAtom> ClusterViewAtoms(const std::vector<LwLDoubleMatrix>& positions,
                                              const std::vector<std::string>& names, double a, double b)
{
    const LwLDoubleMatrix rotation = EulerRotationMatrix(a, b, LwConst::Pi / 2);
    std::map<std::string, std::size_t> numbers;
    for (std::size_t i = 1; i < names.size(); ++i)
        numbers.emplace(names[i], 0);
    std::size_t n = 0;
    for (auto& entry : numbers)
        entry.second = n++;
    std::multimap<double, ClusterViewAtom> byDepth;
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const LwLDoubleMatrix p = rotation * positions[i];
        const int b0 = p.VectorBegin();
        ClusterViewAtom atom;
        atom.X = p[b0];
        atom.Y = p[b0 + 1];
        atom.Z = p[b0 + 2];
        atom.Color = i == 0 ? QColor(Qt::red) : NameColor(numbers[names[i]]);
        byDepth.emplace(atom.Y, atom);
    }
    std::vector<ClusterViewAtom> atoms;
    for (const auto& entry : byDepth)
        atoms.push_back(entry.second);
    return atoms;
}

DlgViewClusterStructure::DlgViewClusterStructure(QWidget* parent)
    : QDialog(parent), Form_(std::make_unique<Ui_DlgViewClusterStructure>())
{
    Form_->setupUi(this);
    connect(&Timer_, &QTimer::timeout, this, &DlgViewClusterStructure::on_timer);
}

DlgViewClusterStructure::~DlgViewClusterStructure()
{
    Timer_.stop();
    // The view lets go of the scene before the scene goes.
    Form_->graphicsView->setScene(nullptr);
}

void DlgViewClusterStructure::FillList()
{
    QListWidget& list = *Form_->listWidget;
    list.clear();
    const LwCluster& cluster = GetSimulationSettings().Cluster_;
    for (std::size_t i = 0; i < cluster.size(); ++i)
        list.addItem("Cluster " + QString::number(i) + ",N=" + QString::number(cluster[i].size()));
    list.setCurrentRow(0);
}

bool DlgViewClusterStructure::Exec()
{
    FillList();
    Timer_.start(200);
    exec();
    Timer_.stop();
    return true;
}

void DlgViewClusterStructure::on_pushButton_clicked()
{
    close();
}

void DlgViewClusterStructure::on_timer()
{
    if (IsInTimer_)
        return;
    IsInTimer_ = true;
    try {
        if (Form_->checkBox->isChecked()) {
            QSlider& slider = *Form_->horizontalSlider;
            slider.setValue(slider.value() < 179 ? slider.value() + 1 : 0);
        }
        DrawCluster();
    } catch (...) {
        // A failed tick is dropped; the next one draws again.
    }
    IsInTimer_ = false;
}

void DlgViewClusterStructure::DrawCluster()
{
    if (IsDrawing_)
        return;
    IsDrawing_ = true;
    try {
        if (!Scene_)
            Scene_ = std::make_unique<QGraphicsScene>();
        const LwCluster& cluster = GetSimulationSettings().Cluster_;
        const int row = Form_->listWidget->currentRow();
        QGraphicsView& view = *Form_->graphicsView;
        if (row >= 0 && row < static_cast<int>(cluster.size())) {
            const LwStructure& structure = cluster[static_cast<std::size_t>(row)];
            Scene_->clear();
            if (structure.size() > static_cast<std::size_t>(kMaxDrawnAtoms)) {
                // Wrapped to the drawing area, which may be narrower than
                // the line, and shown from its top-left corner.
                const QRect area = view.viewport()->rect();
                QGraphicsTextItem* text = Scene_->addText("Cannot Display: too many atoms");
                text->setTextWidth(std::max(1, area.width() - 2 * kTextMargin));
                text->setPos(kTextMargin, kTextMargin);
                view.setSceneRect(area);
            } else {
                view.setSceneRect(QRectF());  // the scene's own
                std::vector<LwLDoubleMatrix> positions;
                std::vector<std::string> names;
                for (const LwClusterAtom& atom : structure) {
                    positions.push_back(atom.Position_);
                    names.push_back(atom.Name_);
                }
                const double a = Form_->horizontalSlider->value() * 2 * LwConst::DegToRad;
                const double b = Form_->verticalSlider->value() * 2 * LwConst::DegToRad;
                const double w = view.width();
                const double h = view.height();
                for (const ClusterViewAtom& atom : ClusterViewAtoms(positions, names, a, b)) {
                    const double x = atom.X * LwConst::AngstromPerMetre * kPixelsPerAngstrom + w / 2;
                    const double z = atom.Z * LwConst::AngstromPerMetre * kPixelsPerAngstrom + h / 2;
                    Scene_->addEllipse(x - 2, h - z - 2, 4, 4, QPen(), QBrush(atom.Color));
                }
            }
            view.setScene(Scene_.get());
        }
    } catch (...) {
        // A failed drawing is dropped; the next tick draws again.
    }
    IsDrawing_ = false;
}
