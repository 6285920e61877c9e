// Images to and from the viewer through shared memory, against the stand-in
// viewer on a thread of its own over TCP on the loopback host, compared with
// what cannot be avoided: a plain copy of the same bytes plus one message
// round trip ("Update"), and with the same copy into a new shared-memory
// block, as the protocol makes one per image.
//   build/benchmarks/bench_plugin_image
#include "plugin/LwPluginFuncZyvra.h"
#include "StandinViewer.h"

#include <QCoreApplication>
#include <QDir>
#include <QSharedMemory>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct Setup
{
    standin::StandinViewerThread viewer;
    LwPluginFuncZyvra client;
    int window = -1;
};

// Made on first use and destroyed before main returns, so that the image
// blocks are released (a block outlives a process that does not detach it).
std::unique_ptr<Setup> g_setup;

Setup& Shared()
{
    if (!g_setup) {
        g_setup = std::make_unique<Setup>();
        Setup* s = g_setup.get();
        if (!s->viewer.Start(0, ""))
            std::abort();
        const std::string port = std::to_string(s->viewer.Viewer().Port());
        std::vector<std::string> args = {"bench", "-P", port, "-"};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(&a[0]);
        s->client.InitSetCmdline(static_cast<int>(argv.size()), argv.data());
        if (!s->client.Connect())
            std::abort();
        s->window = s->client.ImageNewWindow();
    }
    return *g_setup;
}

LwFloatMatrix Image(int n)
{
    LwFloatMatrix m(n, n);
    for (int i = 0; i < m.ElementCount(); ++i)
        m.Buffer()[i] = static_cast<float>(i & 1023);
    return m;
}

void BM_ImageSet(benchmark::State& state)
{
    Setup& s = Shared();
    const LwFloatMatrix image = Image(static_cast<int>(state.range(0)));
    for (auto _ : state)
        s.client.ImageSet(s.window, image);
    state.SetBytesProcessed(state.iterations() * 4 * static_cast<std::int64_t>(image.ElementCount()));
}

void BM_ImageGet(benchmark::State& state)
{
    Setup& s = Shared();
    s.client.ImageSet(s.window, Image(static_cast<int>(state.range(0))));
    LwFloatMatrix back;
    for (auto _ : state) {
        s.client.ImageGet(s.window, back, false);
        benchmark::DoNotOptimize(back.Buffer());
    }
    state.SetBytesProcessed(state.iterations() * 4 * static_cast<std::int64_t>(back.ElementCount()));
}

// The floor: one copy of the pixels into fresh memory plus one round trip.
void BM_MemcpyPlusRoundTrip(benchmark::State& state)
{
    Setup& s = Shared();
    const LwFloatMatrix image = Image(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::unique_ptr<float[]> copy(new float[static_cast<std::size_t>(image.ElementCount())]);
        std::memcpy(copy.get(), image.Buffer(), 4 * static_cast<std::size_t>(image.ElementCount()));
        benchmark::DoNotOptimize(copy.get());
        s.client.UpdateAll();
    }
    state.SetBytesProcessed(state.iterations() * 4 * static_cast<std::int64_t>(image.ElementCount()));
}

// The floor of a protocol that hands every image over in a new block: the
// same plain copy, but into a shared-memory block made for it and released
// after it, plus one round trip. Its excess over the plain copy is the cost of
// mapping fresh pages, which the machine sets (small on bare metal, about
// 10 us per 4 KiB page on some virtual machines).
void BM_FreshBlockCopyPlusRoundTrip(benchmark::State& state)
{
    Setup& s = Shared();
    const LwFloatMatrix image = Image(static_cast<int>(state.range(0)));
    const std::size_t bytes = 4 * static_cast<std::size_t>(image.ElementCount());
    int serial = 0;
    for (auto _ : state) {
        QSharedMemory block(
            QStringLiteral("LWBENCHFLOOR%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial));
        if (!block.create(static_cast<int>(bytes)))
            std::abort();
        block.lock();
        std::memcpy(block.data(), image.Buffer(), bytes);
        block.unlock();
        block.detach();
        s.client.UpdateAll();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

BENCHMARK(BM_MemcpyPlusRoundTrip)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FreshBlockCopyPlusRoundTrip)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImageSet)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImageGet)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    // The blocks' key files live in a folder of the run's own.
    char folder[] = "/tmp/lwbench.XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return 3;
    setenv("TMPDIR", folder, 1);
    {
        QCoreApplication app(argc, argv);
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        g_setup.reset();
    }
    QDir(folder).removeRecursively();
    return 0;
}
