// Saving and loading a processed-image document holding one 1024 x 1024
// pattern image, as the pattern step of cmd_drev writes it, through both Barn
// file classes. The file goes to the system's temporary folder.

#include "core/LwBarnFile.h"
#include "core/LwDocData.h"
#include "core/LwQBarnFile.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <type_traits>
#include <unistd.h>

namespace {

constexpr int kSide = 1024;

LwDocData PatternDocument()
{
    LwDocData data;
    LwFloatMatrix image(kSide, kSide);
    // A smooth pattern with all mantissa bits in use, like a computed image.
    for (int k = 0; k < image.ElementCount(); ++k)
        image.Buffer()[k] = std::sin(0.001f * static_cast<float>(k)) + 1.5f;
    data.Images[data.CurrentChannel] = image;
    SetInfoString(data.InfoString, "__SphereProjection.Name", "AzimuthalEquidistant");
    return data;
}

// A file name in the temporary folder, unique to this process.
std::string TempFile(const char* name)
{
    return (std::filesystem::temp_directory_path() / (std::to_string(getpid()) + name)).string();
}

// The Barn file `name` opened through the file class File in `mode`.
template <class File>
std::unique_ptr<File> OpenFile(const std::string& name, const char* mode)
{
    if constexpr (std::is_same_v<File, LwQBarnFile>)
        return std::make_unique<File>(QString::fromStdString(name), QString(mode));
    else
        return std::make_unique<File>(name, mode);
}

template <class File>
void Save(LwDocData& data, const std::string& name)
{
    auto file = OpenFile<File>(name, "w");
    data.Serialize(*file);
    file->Save();
}

template <class File>
void BM_Save1024Image(benchmark::State& state)
{
    LwDocData data = PatternDocument();
    const std::string name = TempFile("lw_bench_save.xml_img");
    for (auto _ : state)
        Save<File>(data, name);
    state.SetBytesProcessed(state.iterations() * std::int64_t(kSide) * kSide * 4);
    std::remove(name.c_str());
}

template <class File>
void BM_Load1024Image(benchmark::State& state)
{
    LwDocData data = PatternDocument();
    const std::string name = TempFile("lw_bench_load.xml_img");
    Save<File>(data, name);
    for (auto _ : state) {
        LwDocData read;
        read.Serialize(*OpenFile<File>(name, "r"));
        benchmark::DoNotOptimize(read.Images.at(0.0f).Buffer()[0]);
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(kSide) * kSide * 4);
    std::remove(name.c_str());
}

}  // namespace

BENCHMARK_TEMPLATE(BM_Save1024Image, LwQBarnFile)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Load1024Image, LwQBarnFile)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Save1024Image, LwBarnFile)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Load1024Image, LwBarnFile)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
