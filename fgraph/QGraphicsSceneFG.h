#pragma once
// The graph's scene: it takes the mouse events of the view for the
// rubber-band zoom and offers the context menu. No failure of a redraw or an
// export leaves its event handlers or slots: each is shown in the "ERROR"
// box with the view as parent.

#include <QGraphicsScene>
#include <QMenu>

#include <functional>

class LwFGraphImpl;
class QAction;

class QGraphicsSceneFG : public QGraphicsScene
{
    Q_OBJECT

public:
    explicit QGraphicsSceneFG(LwFGraphImpl* owner);

    // The context menu and its four actions: "Auto scale (double click)",
    // "Copy Clipboard", "Save wave as CSV", "Save image as PDF".
    QMenu* Menu() { return &menu_; }

public slots:
    void copyClipboard();
    void saveAsCSV();
    void saveAsPDF();
    void autoScale();

protected:
    void contextMenuEvent(QGraphicsSceneContextMenuEvent* event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event) override;

private:
    // Runs `action`; a failure is shown in the error box.
    void Reported(const std::function<void()>& action);

    QMenu menu_;
    LwFGraphImpl* owner_;
};
