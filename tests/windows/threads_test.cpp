// Work spread over threads by the Win32 platform, and the payload inflated in pieces on them.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <algorithm>
#include <atomic>
#include <iostream>
#include <set>

#include "payload/inflate/stream_index.h"
#include "payload/unpack/unpack_in_pieces.h"
#include "payload/unpack/unpack_payload.h"
#include "payload_builder.h"
#include "platform/windows/windows_platform.h"

namespace pelko {
namespace {

HeapAllocator heap;

TEST(WindowsThreads, TaskRunsAtOnceOnAsManyThreadsAsAllowedThenAllHaveReturned) {
    win::WindowsPlatform os;
    const DWORD processors = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    std::cout << "processors: " << processors << "\n";
    for (const std::uint32_t threads : {1u, 2u, 3u, 100u}) {
        const std::uint32_t expected = std::min<std::uint32_t>({threads, processors, 64});
        std::atomic<std::uint32_t> started{0};
        std::atomic<std::uint32_t> finished{0};
        std::atomic<std::uint32_t> saw_all{0};
        std::array<DWORD, 64> ids{};
        os.run_concurrently(
            [&] {
                ids[started.fetch_add(1)] = GetCurrentThreadId();
                // Every run is under way at the same time: each waits (up to 10 s) for the others.
                const ULONGLONG until = GetTickCount64() + 10'000;
                while (started.load() < expected && GetTickCount64() < until) Sleep(1);
                if (started.load() == expected) saw_all.fetch_add(1);
                Sleep(20);
                finished.fetch_add(1);
            },
            threads);
        EXPECT_EQ(started.load(), expected) << threads;
        EXPECT_EQ(finished.load(), expected) << threads;  // none still running
        EXPECT_EQ(saw_all.load(), expected) << threads;
        const std::set<DWORD> distinct(ids.begin(), ids.begin() + started.load());
        EXPECT_EQ(distinct.size(), expected) << threads;
        EXPECT_TRUE(distinct.contains(GetCurrentThreadId())) << threads;
    }
}

TEST(WindowsThreads, PayloadInPiecesGivesTheEntriesOfOnePass) {
    testing::ContainerBuilder builder;
    for (int i = 0; i < 12; ++i) {
        std::string data;
        for (int j = 0; j < 40'000; ++j) data += static_cast<char>('a' + (i * 7 + j * j) % 23);
        builder.entry("lib/file" + std::to_string(i) + ".dll", data);
    }
    const auto [stored, index] = testing::raw_deflate_in_parts(builder.bytes, 4);

    win::WindowsPlatform os;
    const auto in_pieces = unpack_payload_in_pieces(stored, index, os);
    const auto one_pass = unpack_payload(stored, heap);
    ASSERT_TRUE(in_pieces);
    ASSERT_TRUE(one_pass);
    ASSERT_EQ(in_pieces->size(), one_pass->size());
    for (std::size_t i = 0; i < one_pass->size(); ++i) {
        EXPECT_EQ((*in_pieces)[i].name(), (*one_pass)[i].name());
        EXPECT_TRUE(std::ranges::equal((*in_pieces)[i].data(), (*one_pass)[i].data())) << i;
    }
}

}  // namespace
}  // namespace pelko
