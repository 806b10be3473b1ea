// Cost of the settings-file calls: a key write (read, edit, flush to disk,
// rename) and a key read, on the first-start "Quillane.ini".
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "model/settings.h"
#include "support/profile.h"

namespace {

struct ScratchDir {
    std::string path;
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillane-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        path = pattern + "/";
        quillane::LoadOrCreateMainSettings(path);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

void BM_WriteKey(benchmark::State& state) {
    ScratchDir dir;
    int i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(quillane::WriteFindType(dir.path, ++i & 1));
}
BENCHMARK(BM_WriteKey)->Unit(benchmark::kMicrosecond);

void BM_ReadKey(benchmark::State& state) {
    ScratchDir dir;
    const std::string ini = dir.path + "Quillane.ini";
    for (auto _ : state)
        benchmark::DoNotOptimize(quillane::ReadProfileInt(ini, "Quillane", "bSenseInterfaceDev", 1));
}
BENCHMARK(BM_ReadKey)->Unit(benchmark::kMicrosecond);

void BM_LoadMainSettings(benchmark::State& state) {
    ScratchDir dir;
    for (auto _ : state) benchmark::DoNotOptimize(quillane::LoadOrCreateMainSettings(dir.path));
}
BENCHMARK(BM_LoadMainSettings)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
