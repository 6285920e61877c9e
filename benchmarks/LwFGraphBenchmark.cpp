// Full redraws of the graph widget on the offscreen platform: a 1024 x 1024
// image (colour range, one colour look-up per output pixel, pixmap) and a
// curve of 100,000 points (one line item per visible segment).
#include "fgraph/LwFGraph.h"

#include <QApplication>
#include <QGraphicsView>

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

void BM_RedrawImage1024(benchmark::State& state)
{
    QGraphicsView view;
    view.resize(static_cast<int>(state.range(0)), static_cast<int>(state.range(0)));
    FGraph graph;
    graph.SetView(&view);
    LwFloatMatrix image(1024, 1024);
    for (int r = 0; r < 1024; ++r)
        for (int c = 0; c < 1024; ++c)
            image(c, r) = static_cast<float>(std::sin(c * 0.01) * std::cos(r * 0.02));
    graph.SetImage(image);
    graph.Redraw();  // first use: font database and other one-time set-up
    for (auto _ : state)
        graph.Redraw();
    state.SetItemsProcessed(state.iterations() * 1024 * 1024);
}
BENCHMARK(BM_RedrawImage1024)->Arg(600)->Arg(1100)->Unit(benchmark::kMillisecond);

void BM_RedrawCurve100k(benchmark::State& state)
{
    QGraphicsView view;
    view.resize(800, 600);
    FGraph graph;
    graph.SetView(&view);
    const int n = 100000;
    std::vector<double> x(n), y(n);
    for (int i = 0; i < n; ++i) {
        x[i] = i * 1e-3;
        y[i] = std::sin(x[i]);
    }
    graph.SetWave(0, x, y);
    graph.Redraw();  // first use: font database and other one-time set-up
    for (auto _ : state)
        graph.Redraw();
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_RedrawCurve100k)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
