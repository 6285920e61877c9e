// Base64 text of a 1024 x 1024 float image, the size of a viewer image stored
// in a processed-image document, in both written forms and back.
#include "core/LwBinaryDataToText.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

std::vector<float> Image()
{
    std::vector<float> pixels(1024 * 1024);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = std::sin(0.001f * static_cast<float>(i));
    return pixels;
}

void BM_Encode(benchmark::State& state)
{
    const std::vector<float> pixels = Image();
    const bool standardBase64 = state.range(0) != 0;
    const LwBinaryDataToText codec;
    std::string text;
    for (auto _ : state) {
        codec.ToText(pixels.data(), static_cast<int>(pixels.size() * sizeof(float)), text, true,
                     standardBase64);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(pixels.size() * sizeof(float)));
}

void BM_Decode(benchmark::State& state)
{
    const std::vector<float> pixels = Image();
    const bool standardBase64 = state.range(0) != 0;
    const LwBinaryDataToText codec;
    std::string text;
    codec.ToText(pixels.data(), static_cast<int>(pixels.size() * sizeof(float)), text, true, standardBase64);
    std::vector<unsigned char> bytes;
    int count = 0;
    for (auto _ : state) {
        codec.ToBinary(text, bytes, count, true, standardBase64);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(pixels.size() * sizeof(float)));
}

}  // namespace

// Argument 0: "base64" header form; 1: "base64b".
BENCHMARK(BM_Encode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
