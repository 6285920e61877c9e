#include "fgraph/QGraphicsSceneFG.h"

#include "fgraph/LwFGraph.h"
#include "fgraph/LwFileDialogs.h"
#include "fgraph/LwWindowUtilities.h"

#include <QAction>
#include <QGraphicsSceneContextMenuEvent>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>

namespace {

// Scene position truncated toward zero, as the mouse operation counts pixels.
int TruncX(const QGraphicsSceneMouseEvent* e)
{
    return static_cast<int>(e->scenePos().x());
}
int TruncY(const QGraphicsSceneMouseEvent* e)
{
    return static_cast<int>(e->scenePos().y());
}

}  // namespace

QGraphicsSceneFG::QGraphicsSceneFG(LwFGraphImpl* owner) : owner_(owner)
{
    QAction* autoScaleAction = menu_.addAction("Auto scale (double click)");
    QAction* copyAction = menu_.addAction("Copy Clipboard");
    QAction* csvAction = menu_.addAction("Save wave as CSV");
    QAction* pdfAction = menu_.addAction("Save image as PDF");
    connect(copyAction, &QAction::triggered, this, &QGraphicsSceneFG::copyClipboard);
    connect(csvAction, &QAction::triggered, this, &QGraphicsSceneFG::saveAsCSV);
    connect(pdfAction, &QAction::triggered, this, &QGraphicsSceneFG::saveAsPDF);
    connect(autoScaleAction, &QAction::triggered, this, &QGraphicsSceneFG::autoScale);
}

void QGraphicsSceneFG::Reported(const std::function<void()>& action)
{
    RunShowingErrors(owner_->View(), action);
}

void QGraphicsSceneFG::copyClipboard()
{
    Reported([this] { owner_->CopyToClipboard(); });
}

void QGraphicsSceneFG::saveAsCSV()
{
    Reported([this] {
        const QString path =
            SelectSaveFileNameQString(owner_->View(), "Save wave as CSV", "csv(*.csv)", "default.csv");
        if (!path.isEmpty())
            owner_->SaveCsv(path);
    });
}

void QGraphicsSceneFG::saveAsPDF()
{
    Reported([this] {
        const std::string path =
            SelectSaveFileName(owner_->View(), "Save image as PDF", "pdf(*.pdf)", "default.pdf");
        if (!path.empty())
            owner_->SavePdf(QString::fromStdString(path));
    });
}

void QGraphicsSceneFG::autoScale()
{
    Reported([this] {
        if (!owner_->HasImage())
            owner_->SetAutoScale();
        if (QGraphicsView* view = owner_->View()) {
            owner_->SetView(view);  // the scene follows the view's current size
            owner_->Redraw();
        }
    });
}

void QGraphicsSceneFG::contextMenuEvent(QGraphicsSceneContextMenuEvent* event)
{
    menu_.exec(event->screenPos());
    event->accept();
}

void QGraphicsSceneFG::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    Reported([this, event] { owner_->MousePress(TruncX(event), TruncY(event)); });
    event->accept();
}

void QGraphicsSceneFG::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    Reported([this, event] { owner_->MouseMove(TruncX(event), TruncY(event)); });
    event->accept();
}

void QGraphicsSceneFG::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    Reported([this, event] {
        owner_->MouseRelease(TruncX(event), TruncY(event));
        owner_->Redraw();
    });
    event->accept();
}

void QGraphicsSceneFG::mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event)
{
    autoScale();
    event->accept();
}
