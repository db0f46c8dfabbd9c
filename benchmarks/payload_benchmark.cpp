// The payload steps of the installer on a reference payload, measured as ratios against a
// baseline taken in the same run:
//   - time: unpack_payload (inflate + read in one pass) against a bare zlib raw inflate of the
//     same stream into a buffer of the exact size (CPU time); and, when the stream is indexed in
//     pieces, unpack_payload_in_pieces (what a run does then) on this machine's processors
//     against the same bare inflate (wall-clock time);
//   - size: the stored stream against zlib level 9 of the same container;
//   - memory: the peak heap of inflate + read + install (on the fake platform, whose files cost
//     nothing) against the inflated size, for both ways of reading; and, read in pieces, what
//     inflating takes above the container, then the bytes each entry costs (its list, name and
//     share of the name check).
//
//   payload_benchmark PAYLOAD [benchmark options]
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "deflate_encoder.h"
#include "stream_cuts.h"
#include "fake_platform.h"
#include "heap_meter.h"
#include "reference/inflate_payload.h"
#include "payload/install/install_payload.h"
#include "payload/container/read_payload.h"
#include "payload/inflate/stream_index.h"
#include "payload/unpack/unpack_in_pieces.h"
#include "payload/unpack/unpack_payload.h"

namespace {

pelko::HeapAllocator heap;

using namespace pelko;

std::vector<std::byte> g_stored;
std::size_t g_container_size = 0;
std::size_t g_data_size = 0;
std::optional<StreamIndex> g_index;  // when the stream has two pieces or more
const std::uint32_t g_processors = std::max(1u, std::thread::hardware_concurrency());

// The fake platform with a disk that keeps no bytes: only the installer's own memory counts.
class CountingDisk : public testing::FakePlatform {
public:
    OsResult<std::uint32_t> write_file(FileHandle, std::span<const std::byte> data) override {
        const std::size_t n = std::min<std::size_t>(data.size(), 0xFFFFFFFFu);
        written += n;
        return static_cast<std::uint32_t>(n);
    }
    std::uint64_t written = 0;
};

const OsString kInstallDir = OsString::from_utf8("C:\\Users\\a\\AppData\\Local\\Programs\\Pelko");

void BM_BareZlibInflate(benchmark::State& state) {
    for (auto _ : state) {
        std::unique_ptr<std::byte[]> out(new std::byte[g_container_size]);
        z_stream z{};
        inflateInit2(&z, -MAX_WBITS);
        z.next_in = reinterpret_cast<Bytef*>(g_stored.data());
        z.avail_in = static_cast<uInt>(g_stored.size());
        z.next_out = reinterpret_cast<Bytef*>(out.get());
        z.avail_out = static_cast<uInt>(g_container_size);
        if (inflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("inflate failed");
        inflateEnd(&z);
        benchmark::DoNotOptimize(out.get());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_container_size));
}

void BM_UnpackPayload(benchmark::State& state) {
    for (auto _ : state) {
        auto entries = unpack_payload(g_stored, heap);
        if (!entries) state.SkipWithError("unpack failed");
        benchmark::DoNotOptimize(entries->begin());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_container_size));
}

void BM_UnpackInPieces(benchmark::State& state) {
    if (!g_index) {
        state.SkipWithError("the stream is one piece");
        return;
    }
    testing::FakePlatform os;  // its run_concurrently starts real threads
    os.processors = g_processors;
    for (auto _ : state) {
        auto entries = unpack_payload_in_pieces(g_stored, *g_index, os);
        if (!entries) state.SkipWithError("unpack failed");
        benchmark::DoNotOptimize(entries->begin());
        os.calls.clear();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_container_size));
}

void BM_InflateThenRead(benchmark::State& state) {
    for (auto _ : state) {
        auto container = inflate_payload(g_stored);
        auto entries = read_payload(*container);
        if (!entries) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(entries->begin());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_container_size));
}

BENCHMARK(BM_BareZlibInflate)->Unit(benchmark::kMillisecond)->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_UnpackPayload)->Unit(benchmark::kMillisecond)->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_InflateThenRead)->Unit(benchmark::kMillisecond)->Repetitions(9)
    ->ReportAggregatesOnly(true);
// Wall-clock time: the pieces run on several threads at once.
BENCHMARK(BM_BareZlibInflate)->Name("BM_BareZlibInflateWall")->UseRealTime()
    ->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_UnpackInPieces)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(9)
    ->ReportAggregatesOnly(true);

// Keeps the median CPU time of every benchmark while printing as usual (CPU time: the machines
// these run on are shared, and the steps run on one thread), and the median wall-clock time of
// the ones measured that way.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                medians[run.run_name.function_name] = run.GetAdjustedCPUTime();
                wall_medians[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
    std::map<std::string, double> wall_medians;
};

// The heap at its highest during `steps`, above what was in use before, and the bytes installed.
template <class Steps>
std::pair<std::size_t, std::uint64_t> peak_heap_of(Steps steps) {
    CountingDisk os;
    os.calls.reserve(1024);
    bench::reset_heap_peak();
    const std::size_t before = bench::heap_in_use();
    const std::uint64_t total = steps(os);
    return {bench::heap_peak() - before, os.written == total ? total : 0};
}

std::vector<std::byte> read_file(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    const auto view = std::as_bytes(std::span(bytes));
    return std::vector<std::byte>(view.begin(), view.end());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: payload_benchmark PAYLOAD [benchmark options]\n");
        return 2;
    }
    const std::string payload_path = argv[1];
    g_stored = read_file(argv[1]);
    const auto container = inflate_payload(g_stored);
    if (g_stored.empty() || !container) {
        std::fprintf(stderr, "%s: not a payload\n", argv[1]);
        return 1;
    }
    const auto entries = read_payload(*container);
    if (!entries) {
        std::fprintf(stderr, "%s: not a payload\n", argv[1]);
        return 1;
    }
    g_container_size = container->size();
    for (const PayloadEntry& e : *entries) g_data_size += e.size();
    const std::size_t zlib9 = packer::deflate_zlib9(*container).size();
    if (auto index = packer::find_stream_index(g_stored); index && index->pieces.size() > 1) g_index = index;

    // Memory: what a run does, and the two-step reading for comparison.
    const auto [unpack_peak, unpack_total] = peak_heap_of([](CountingDisk& os) {
        auto read = unpack_payload(g_stored, heap);
        return *install_payload(os, kInstallDir, *read);
    });
    const auto [two_step_peak, two_step_total] = peak_heap_of([](CountingDisk& os) {
        EntryList read(heap_memory());
        {
            auto inflated = inflate_payload(g_stored);
            read = std::move(*read_payload(*inflated));
        }
        return *install_payload(os, kInstallDir, read);
    });
    std::size_t pieces_peak = 0;
    // Read in pieces, above the inflated container: the heap at its highest while inflating (the
    // pieces' decoders and input), then at its highest while the entries are read (their list,
    // names and the name check's tables), and what stays once they are read.
    struct Inflated : CountingDisk {
        void reached(RunPoint point) override {
            if (point != RunPoint::inflated) return;
            inflate_peak = bench::heap_peak();
            bench::reset_heap_peak();
        }
        std::size_t inflate_peak = 0;
    };
    std::size_t inflate_peak = 0;
    std::size_t read_peak = 0;
    std::size_t read_kept = 0;
    if (g_index) {
        Inflated os;
        os.processors = g_processors;
        bench::reset_heap_peak();
        const std::size_t before = bench::heap_in_use();
        auto read = unpack_payload_in_pieces(g_stored, *g_index, os);
        if (!read || os.inflate_peak == 0) {
            std::fprintf(stderr, "the payload did not read in pieces\n");
            return 1;
        }
        inflate_peak = os.inflate_peak - before;
        read_peak = bench::heap_peak() - before;
        read_kept = bench::heap_in_use() - before;
    }
    if (g_index) {
        std::uint64_t pieces_total = 0;
        std::tie(pieces_peak, pieces_total) = peak_heap_of([](CountingDisk& os) {
            os.processors = g_processors;
            auto read = unpack_payload_in_pieces(g_stored, *g_index, os);
            return *install_payload(os, kInstallDir, *read);
        });
        if (pieces_total != g_data_size) {
            std::fprintf(stderr, "the install did not write every byte\n");
            return 1;
        }
    }
    if (unpack_total != g_data_size || two_step_total != g_data_size) {
        std::fprintf(stderr, "the install did not write every byte\n");
        return 1;
    }

    argv[1] = argv[0];
    int rest = argc - 1;
    benchmark::Initialize(&rest, argv + 1);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto ratio = [](double a, double b) { return b == 0 ? 0.0 : a / b; };
    std::printf("\nreference payload: %s, %zu entries, container %zu bytes (%zu of file data), "
                "stored %zu bytes\n",
                payload_path.c_str(), entries->size(), g_container_size,
                g_data_size, g_stored.size());
    std::printf("time   inflate+read / bare zlib inflate: %.3f  (median CPU %.1f ms / %.1f ms; "
                "goal <= 1.10; two-step inflate then read: %.3f)\n",
                ratio(reporter.medians["BM_UnpackPayload"], reporter.medians["BM_BareZlibInflate"]),
                reporter.medians["BM_UnpackPayload"], reporter.medians["BM_BareZlibInflate"],
                ratio(reporter.medians["BM_InflateThenRead"],
                      reporter.medians["BM_BareZlibInflate"]));
    if (g_index) {
        std::printf("time   inflate+read in %zu pieces on %u processors / bare zlib inflate, wall "
                    "clock: %.3f  (median %.1f ms / %.1f ms)\n",
                    g_index->pieces.size(), g_processors,
                    ratio(reporter.wall_medians["BM_UnpackInPieces"],
                          reporter.wall_medians["BM_BareZlibInflateWall"]),
                    reporter.wall_medians["BM_UnpackInPieces"],
                    reporter.wall_medians["BM_BareZlibInflateWall"]);
    }
    std::printf("size   stored / zlib level 9:              %.4f  (%zu / %zu bytes; goal <= 0.955)\n",
                ratio(static_cast<double>(g_stored.size()), static_cast<double>(zlib9)),
                g_stored.size(), zlib9);
    std::printf("memory peak heap / inflated size:          %.3f  (%zu / %zu bytes; goal <= 1.6; "
                "two-step inflate then read: %.3f)\n",
                ratio(static_cast<double>(unpack_peak), static_cast<double>(g_container_size)),
                unpack_peak, g_container_size,
                ratio(static_cast<double>(two_step_peak), static_cast<double>(g_container_size)));
    if (g_index) {
        std::printf("memory the same, inflated in pieces:        %.3f  (%zu bytes)\n",
                    ratio(static_cast<double>(pieces_peak), static_cast<double>(g_container_size)),
                    pieces_peak);
        const auto per_entry = [&](std::size_t bytes) {
            return static_cast<double>(bytes - std::min(bytes, g_container_size)) /
                   static_cast<double>(entries->size());
        };
        std::printf("memory above the container, in pieces:     inflating %zu bytes at the "
                    "peak; then per entry %.1f bytes at the peak, %.1f kept\n",
                    inflate_peak - std::min(inflate_peak, g_container_size),
                    per_entry(read_peak), per_entry(read_kept));
    }
    return 0;
}
