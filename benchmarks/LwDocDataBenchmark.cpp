// Saving and loading a processed-image document holding one 1024 x 1024
// pattern image, as the pattern step of cmd_drev writes it, through both Barn
// file classes. The file goes to the system's temporary folder.

#include "LwBarnFile.h"
#include "LwDocData.h"
#include "LwQBarnFile.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

constexpr int kSide = 1024;

LwDocData PatternDocument()
{
    LwDocData data;
    LwFloatMatrix image(kSide, kSide);
    // A smooth pattern with all mantissa bits in use, like a computed image.
    for (int k = 0; k < image.ElementCount(); ++k) image.Buffer()[k] = std::sin(0.001f * static_cast<float>(k)) + 1.5f;
    data.Images[data.CurrentChannel] = image;
    SetInfoString(data.InfoString, "__SphereProjection.Name", "AzimuthalEquidistant");
    return data;
}

std::string TempFile(const char* name)
{
    return (std::filesystem::temp_directory_path() / name).string();
}

// Writes the document once through the given file class.
template <class File>
void Save(LwDocData& data, const std::string& name);

template <>
void Save<LwQBarnFile>(LwDocData& data, const std::string& name)
{
    LwQBarnFile file(QString::fromStdString(name), "w");
    data.Serialize(file);
    file.Save();
}

template <>
void Save<LwBarnFile>(LwDocData& data, const std::string& name)
{
    LwBarnFile file(name, "w");
    data.Serialize(file);
    file.Save();
}

template <class File>
void BM_Save1024Image(benchmark::State& state)
{
    LwDocData data = PatternDocument();
    const std::string name = TempFile("lw_bench_save.xml_img");
    for (auto _ : state) Save<File>(data, name);
    state.SetBytesProcessed(state.iterations() * std::int64_t(kSide) * kSide * 4);
    std::remove(name.c_str());
}

void LoadInto(LwDocData& data, const std::string& name, LwQBarnFile*)
{
    LwQBarnFile file(QString::fromStdString(name), "r");
    data.Serialize(file);
}

void LoadInto(LwDocData& data, const std::string& name, LwBarnFile*)
{
    LwBarnFile file(name, "r");
    data.Serialize(file);
}

template <class File>
void BM_Load1024Image(benchmark::State& state)
{
    LwDocData data = PatternDocument();
    const std::string name = TempFile("lw_bench_load.xml_img");
    Save<File>(data, name);
    for (auto _ : state) {
        LwDocData read;
        LoadInto(read, name, static_cast<File*>(nullptr));
        benchmark::DoNotOptimize(read.Images.at(0.0f).Buffer()[0]);
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(kSide) * kSide * 4);
    std::remove(name.c_str());
}

} // namespace

BENCHMARK_TEMPLATE(BM_Save1024Image, LwQBarnFile)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Load1024Image, LwQBarnFile)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Save1024Image, LwBarnFile)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Load1024Image, LwBarnFile)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
