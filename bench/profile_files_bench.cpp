// Start-up cost of a long profile list, and time and peak memory of reading the costliest
// JSON documents the size limits let through.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/platform/files.h"
#include "core/profile/json_file.h"
#include "core/profile/profile_list.h"

namespace {

namespace fs = std::filesystem;

struct ScratchFolder {
    std::string path;
    ScratchFolder() {
        std::string tmpl = (fs::temp_directory_path() / "tellune-bench-XXXXXX").string();
        path = ::mkdtemp(tmpl.data()) ? tmpl + "/" : std::string();
    }
    ~ScratchFolder() {
        std::error_code ec;
        if (!path.empty()) fs::remove_all(path, ec);
    }
};

// A compact list file of `count` entries, named "P<i>" or (named = false) without names.
std::string list_text(int count, bool named) {
    std::string text = R"({"profileselect": 0, "profilelist": [)";
    for (int i = 0; i < count; ++i) {
        text += i ? "," : "";
        text += named ? R"({"profilename": "P)" + std::to_string(i) + R"(", )" : std::string("{");
        text += R"("profileUUID": "u)" + std::to_string(i) + "\"}";
    }
    return text + "]}";
}

// ProfileList::init over a list of state.range(0) entries, named when state.range(1) is 1;
// what the profile bar does at start. Unnamed entries are named and the list written back.
void BM_LoadProfileList(benchmark::State& state) {
    ScratchFolder folder;
    const std::string text = list_text(int(state.range(0)), state.range(1) != 0);
    for (auto _ : state) {
        state.PauseTiming();
        tellune::write_file_atomic(folder.path + tellune::kProfileListFileName, text);
        tellune::ProfileList list;
        list.set_paths(folder.path, folder.path + "none.Json");
        state.ResumeTiming();
        if (!list.init()) state.SkipWithError("init failed");
        benchmark::DoNotOptimize(list.size());
    }
    state.counters["file_KB"] = double(text.size()) / 1024.0;
}
BENCHMARK(BM_LoadProfileList)
    ->Args({2000, 0})
    ->Args({2000, 1})
    ->Args({40000, 1})
    ->Unit(benchmark::kMillisecond);

long long status_bytes(const char* key) {
    std::ifstream in("/proc/self/status");
    const std::string k = key;
    for (std::string line; std::getline(in, line);)
        if (line.rfind(k, 0) == 0) return std::stoll(line.substr(k.size())) * 1024;
    return -1;
}

// read_json of the worst documents under the limits: state.range(0) picks the shape.
// Reports the peak rise of the resident set while reading (peak_MB).
void BM_ReadCappedJson(benchmark::State& state) {
    const long long values = tellune::kMaxJsonValues;
    std::string text;
    auto repeat = [&](const std::string& item, long long n) {
        text = "[";
        for (long long i = 0; i < n; ++i) text += (i ? "," : "") + item;
        text += "]";
    };
    switch (state.range(0)) {
        case 0:
            repeat("0", values - 2);
            state.SetLabel("zeros");
            break;
        case 1:
            repeat("\"x\"/**/", values / 3 - 1);
            state.SetLabel("strings with comments");
            break;
        case 2:
            repeat("[]", values / 2 - 1);
            state.SetLabel("empty arrays");
            break;
        default:
            text = "[\"" + std::string(size_t(tellune::kMaxJsonFileSize) - 4, 'z') + "\"]";
            state.SetLabel("one 4 MiB string");
            break;
    }
    ScratchFolder folder;
    const std::string path = folder.path + "worst.Json";
    tellune::write_file_atomic(path, text);
    text.clear();
    text.shrink_to_fit();
    long long peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ::malloc_trim(0);
        std::ofstream("/proc/self/clear_refs") << "5";
        const long long start = status_bytes("VmRSS:");
        state.ResumeTiming();
        {
            const Json::Value doc = tellune::read_json(path);
            benchmark::DoNotOptimize(doc.size());
        }
        peak = std::max(peak, status_bytes("VmHWM:") - start);
    }
    state.counters["peak_MB"] = double(peak) / (1024.0 * 1024.0);
}
BENCHMARK(BM_ReadCappedJson)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

}  // namespace
