// Runs the graph widget as a program of its own, for what a test binary with
// one long-lived QApplication cannot show:
//   teardown          a function-local static graph outlives the application
//                     object, as in velmora; the program must end cleanly;
//   grab <file.png>   a window with a curve graph and an image graph is shown
//                     on the display and grabbed from the screen into a PNG.
#include "fgraph/LwFGraph.h"
#include "fgraph/QGraphicsSceneFG.h"

#include <QApplication>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

FGraph& StaticGraph()
{
    static FGraph graph;
    return graph;
}

void SineCurve(FGraph& graph)
{
    std::vector<double> x, y;
    for (int i = 0; i <= 200; ++i) {
        x.push_back(i * 0.05);
        y.push_back(std::sin(i * 0.05));
    }
    graph.SetWave(0, x, y);
}

int Teardown(int argc, char** argv)
{
    QPointer<QGraphicsScene> scene;
    {
        QApplication app(argc, argv);
        QGraphicsView view;
        view.resize(400, 300);
        FGraph& graph = StaticGraph();
        graph.SetView(&view);
        SineCurve(graph);
        graph.Redraw();
        view.show();
        if (!QTest::qWaitForWindowExposed(&view))
            return 2;
        scene = graph.Impl().Scene();
    }  // the view, then the application end here; the graph lives on
    if (scene) {
        std::fprintf(stderr, "the graph's scene outlived the application\n");
        return 4;
    }
    return 0;  // the graph itself ends after main
}

int Grab(int argc, char** argv, const char* png)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle("graph widget");
    auto* layout = new QHBoxLayout(&window);
    auto* curveView = new QGraphicsView;
    auto* imageView = new QGraphicsView;
    curveView->setFixedSize(420, 300);
    imageView->setFixedSize(420, 300);
    layout->addWidget(curveView);
    layout->addWidget(imageView);
    window.show();
    // A first start on a busy machine may take long before the window
    // shows; the test bounds the whole run.
    if (!QTest::qWaitForWindowExposed(&window, 180000))
        return 2;

    FGraph curve;
    curve.SetView(curveView);
    SineCurve(curve);
    curve.Impl().ItemSet.Gradation.Axes[0].Title = "x";
    curve.Redraw();

    FGraph image;
    image.SetView(imageView);
    LwFloatMatrix pixels(64, 48);
    for (int r = 0; r < 48; ++r)
        for (int c = 0; c < 64; ++c)
            pixels(c, r) = static_cast<float>(std::cos(c * 0.15) * std::sin(r * 0.15) + 2);
    image.SetImage(pixels);
    image.SetWave(0, {5, 60}, {5, 40});
    image.Redraw();

    QTest::qWait(300);
    const QPixmap shot = window.screen()->grabWindow(window.winId());
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(png)))
        return 3;
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "teardown") == 0)
        return Teardown(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "grab") == 0)
        return Grab(argc, argv, argv[2]);
    std::fprintf(stderr, "usage: %s teardown | grab <file.png>\n", argv[0]);
    return 1;
}
