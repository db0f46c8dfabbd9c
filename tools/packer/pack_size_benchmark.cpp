// Packed size of a payload with the packer's encoder against zlib level 9. Run it with a payload
// file (for instance the demo's, build/windows/payload/payload.bin) as the first argument:
//   pack_size_benchmark PAYLOAD [benchmark options]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "deflate_encoder.h"
#include "reference/inflate_payload.h"

namespace {

std::vector<std::byte> g_container;

void report(benchmark::State& state, std::size_t stored) {
    state.counters["container_bytes"] = static_cast<double>(g_container.size());
    state.counters["stored_bytes"] = static_cast<double>(stored);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_container.size()));
}

void BM_PackerEncoder(benchmark::State& state) {
    std::size_t stored = 0;
    for (auto _ : state) stored = pelko::packer::deflate_best(g_container).stream.size();
    report(state, stored);
    state.SetLabel(pelko::packer::best_encoder_name());
}

void BM_ZlibLevel9(benchmark::State& state) {
    std::size_t stored = 0;
    for (auto _ : state) stored = pelko::packer::deflate_zlib9(g_container).size();
    report(state, stored);
    state.SetLabel("zlib level 9");
}

BENCHMARK(BM_PackerEncoder)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ZlibLevel9)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: pack_size_benchmark PAYLOAD [benchmark options]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<char> file((std::istreambuf_iterator<char>(in)), {});
    const auto inflated = pelko::inflate_payload(std::as_bytes(std::span(file)));
    if (!in.is_open() || !inflated) {
        std::fprintf(stderr, "%s: not a payload\n", argv[1]);
        return 1;
    }
    g_container = *inflated;
    const std::size_t best = pelko::packer::deflate_best(g_container).stream.size();
    const std::size_t zlib9 = pelko::packer::deflate_zlib9(g_container).size();
    std::printf("container %zu bytes; %s %zu bytes; zlib level 9 %zu bytes; ratio %.4f\n",
                g_container.size(), pelko::packer::best_encoder_name().c_str(), best, zlib9,
                static_cast<double>(best) / static_cast<double>(zlib9));
    argv[1] = argv[0];
    int rest = argc - 1;
    benchmark::Initialize(&rest, argv + 1);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
