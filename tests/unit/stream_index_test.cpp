#include "payload/inflate/indexed_piece.h"
#include "payload/inflate/stream_index.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>

#include <random>

#include "reference/inflate_payload.h"
#include "payload_builder.h"
#include "stream_cuts.h"
#include "stream_join.h"

namespace pelko {
namespace {

using packer::find_stream_index;
using packer::stream_piece_count;
using testing::raw_deflate;

// Text-like bytes that compress with many back references.
std::vector<std::byte> sample(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    static constexpr std::string_view kWords[] = {"pelko ", "setup ", "install ", "file ", "\n"};
    std::vector<std::byte> out;
    while (out.size() < size) {
        for (const char c : kWords[random() % 5]) out.push_back(static_cast<std::byte>(c));
        if (random() % 7 == 0) out.push_back(static_cast<std::byte>(random()));
    }
    out.resize(size);
    return out;
}

std::vector<std::byte> concat(const std::vector<std::vector<std::byte>>& parts) {
    std::vector<std::byte> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Parts deflated on their own and joined.
std::vector<std::byte> joined(const std::vector<std::vector<std::byte>>& parts, int level = 9) {
    std::vector<std::vector<std::byte>> streams;
    for (const auto& part : parts) streams.push_back(raw_deflate(part, level));
    return packer::join_raw_streams(streams).stream;
}

std::span<const std::byte> piece_of(std::span<const std::byte> stored, const StreamIndex& index,
                                    std::size_t i) {
    return piece_range(index, stored, i).stored;
}

TEST(StreamJoin, JoinedStreamInflatesToThePartsInOrder) {
    // Sizes that leave the final block's end at every bit of a byte, and empty parts.
    std::vector<std::vector<std::byte>> parts;
    for (std::size_t i = 0; i < 12; ++i) parts.push_back(sample(i * 997 % 5000, static_cast<unsigned>(i)));
    for (const int level : {0, 1, 9}) {
        const auto stream = joined(parts, level);
        const auto inflated = inflate_payload(stream);
        ASSERT_TRUE(inflated) << level;
        EXPECT_EQ(*inflated, concat(parts)) << level;
    }
    EXPECT_EQ(*inflate_payload(joined({sample(100, 1)})), sample(100, 1));
    EXPECT_THROW(packer::join_raw_streams({{std::byte{0xFF}}, raw_deflate(sample(10, 1))}),
                 std::runtime_error);
}

TEST(StreamIndex, FindsTheJoinsAndEachPieceInflatesAlone) {
    const std::vector<std::vector<std::byte>> parts{sample(70'000, 1), sample(50'000, 2),
                                                    sample(90'000, 3), sample(60'000, 4)};
    const auto stored = joined(parts);
    const auto container = concat(parts);

    const auto index = find_stream_index(stored, 4);
    ASSERT_TRUE(index);
    EXPECT_EQ(index->container_size, container.size());
    ASSERT_EQ(index->pieces.size(), 4u);
    std::uint64_t at = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(index->pieces[i].container_offset, at) << i;
        at += parts[i].size();
        std::vector<std::byte> out(parts[i].size());
        EXPECT_TRUE(inflate_piece(piece_of(stored, *index, i), out, i == 3)) << i;
        EXPECT_EQ(out, parts[i]) << i;
        // The installer's way for a recorded index gives the same bytes.
        std::vector<std::byte> fast(parts[i].size());
        EXPECT_TRUE(inflate_indexed_piece(piece_of(stored, *index, i), fast, i == 3, heap_memory()))
            << i;
        EXPECT_EQ(fast, parts[i]) << i;
    }

    // Fewer pieces: the joins closest to equal cuts (270,000 / 2 is nearest to 120,000).
    const auto two = find_stream_index(stored, 2);
    ASSERT_TRUE(two);
    ASSERT_EQ(two->pieces.size(), 2u);
    EXPECT_EQ(two->pieces[1].container_offset, 120'000u);
    // By default a container this small is one piece.
    EXPECT_EQ(find_stream_index(stored)->pieces.size(), 1u);
}

TEST(StreamIndex, PiecesThatDoNotStandAloneAreRefused) {
    const std::vector<std::vector<std::byte>> parts{sample(80'000, 5), sample(80'000, 6)};
    const auto stored = joined(parts);
    const auto index = *find_stream_index(stored, 2);
    ASSERT_EQ(index.pieces.size(), 2u);
    const auto first = piece_of(stored, index, 0);
    const auto second = piece_of(stored, index, 1);
    std::vector<std::byte> out(80'000);

    // Both ways of inflating a piece: zlib's, which the build checks the cuts with, and the
    // installer's for a recorded index.
    using Inflate = std::function<bool(std::span<const std::byte>, std::span<std::byte>, bool)>;
    const Inflate ways[] = {inflate_piece, [](auto in, auto to, bool last) {
                                return inflate_indexed_piece(in, to, last, heap_memory());
                            }};
    for (const Inflate& inflate : ways) {
        // The first piece is not the end of the stream, and the last must be.
        EXPECT_FALSE(inflate(first, out, true));
        EXPECT_FALSE(inflate(second, out, false));
        // A wrong size either way.
        std::vector<std::byte> small(79'999), large(80'001);
        EXPECT_FALSE(inflate(first, small, false));
        EXPECT_FALSE(inflate(first, large, false));
        EXPECT_FALSE(inflate(second, small, true));
        EXPECT_FALSE(inflate(second, large, true));
        // Cut a byte short or a byte long: not ending where the next piece begins.
        EXPECT_FALSE(inflate(first.first(first.size() - 1), out, false));
        EXPECT_FALSE(inflate(std::span(stored).first(first.size() + 1), out, false));
    }

    // A stream compressed in one go refers back across any block boundary: no place in it
    // stands alone, so it stays one piece.
    const auto whole = raw_deflate(concat(parts));
    const auto one = find_stream_index(whole, 2);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->pieces.size(), 1u);
    // zlib's full flush makes such places.
    const auto flushed = testing::raw_deflate_in_parts(concat(parts), 2);
    const auto at_flush = find_stream_index(flushed.stream, 2);
    ASSERT_TRUE(at_flush);
    EXPECT_EQ(*at_flush, flushed.index);
    EXPECT_EQ(at_flush->pieces[1].container_offset, 80'000u);

    EXPECT_FALSE(find_stream_index({}));
    EXPECT_FALSE(find_stream_index(std::span(stored).first(stored.size() / 2)));
}

TEST(StreamIndex, AStartThatWhatFollowsRefersBackAcrossIsDropped) {
    // Three parts: after the first a sync flush (the decoder's history goes on across it), after
    // the second a full flush.
    const auto data = sample(240'000, 7);
    const int flushes[] = {Z_SYNC_FLUSH};
    const auto made = testing::raw_deflate_in_parts(data, 3, flushes);
    const auto index = find_stream_index(made.stream, 3);
    ASSERT_TRUE(index);
    ASSERT_EQ(index->pieces.size(), 2u);
    EXPECT_EQ(index->pieces[1], made.index.pieces[2]);
    for (std::size_t i = 0; i < 2; ++i) {
        const PieceRange piece = piece_range(*index, made.stream, i);
        std::vector<std::byte> out(piece.container_length);
        EXPECT_TRUE(inflate_piece(piece.stored, out, piece.last)) << i;
        EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin() + piece.container_offset)) << i;
    }
}

TEST(StreamIndex, RecordedIndexReadsBackAndDamageIsRefused) {
    const StreamIndex index{1'000'000, {{0, 0}, {1000, 250'000}, {2500, 600'000}}};
    const auto bytes = encode_stream_index(index);
    EXPECT_EQ(bytes.size(), 4u + 8 + 3 * 16 + 4);
    EXPECT_EQ(decode_stream_index(bytes, 4000), index);

    for (std::size_t i = 0; i < bytes.size(); ++i) {  // any flipped bit
        auto damaged = bytes;
        damaged[i] ^= std::byte{0x10};
        EXPECT_FALSE(decode_stream_index(damaged, 4000)) << i;
    }
    EXPECT_FALSE(decode_stream_index(std::span(bytes).first(bytes.size() - 1), 4000));
    EXPECT_FALSE(decode_stream_index({}, 4000));
    // Sound bytes that do not fit the stream: a piece past its end.
    EXPECT_FALSE(decode_stream_index(bytes, 2500));

    const auto fits = [](StreamIndex i, std::uint64_t stored) { return fits_stream(i, stored); };
    EXPECT_TRUE(fits(index, 4000));
    EXPECT_FALSE(fits({1'000'000, {}}, 4000));                            // no piece
    EXPECT_FALSE(fits({1'000'000, {{1, 0}}}, 4000));                      // not at the start
    EXPECT_FALSE(fits({1'000'000, {{0, 0}, {1000, 0}}}, 4000));           // not increasing
    EXPECT_FALSE(fits({1'000'000, {{0, 0}, {0, 10}}}, 4000));             // not increasing
    EXPECT_FALSE(fits({1'000'000, {{0, 0}, {100, 1'000'000}}}, 4000));    // past the container
    EXPECT_FALSE(fits({1000ULL * 1032 * 1000, {{0, 0}}}, 1000));          // more than DEFLATE gives
    EXPECT_FALSE(fits({0, {{0, 0}}}, 1000));                              // nothing to inflate
    StreamIndex many{1'000'000, {}};
    for (std::uint64_t i = 0; i < 65; ++i) many.pieces.push_back({i * 10, i * 1000});
    EXPECT_FALSE(fits(many, 4000));
    many.pieces.pop_back();
    EXPECT_TRUE(fits(many, 4000));
}

TEST(StreamIndex, PieceCountGrowsWithTheContainer) {
    constexpr std::uint64_t MiB = 1 << 20;
    EXPECT_EQ(stream_piece_count(0), 1u);
    EXPECT_EQ(stream_piece_count(8 * MiB - 1), 1u);
    EXPECT_EQ(stream_piece_count(8 * MiB), 2u);
    EXPECT_EQ(stream_piece_count(20'029'476), 4u);
    EXPECT_EQ(stream_piece_count(31 * MiB), 4u);
    EXPECT_EQ(stream_piece_count(32 * MiB), 8u);
    EXPECT_EQ(stream_piece_count(600'000'000), 64u);
    EXPECT_EQ(stream_piece_count(std::uint64_t{1} << 40), 64u);
}

}  // namespace
}  // namespace pelko
