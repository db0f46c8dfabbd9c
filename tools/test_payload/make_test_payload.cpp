// make-test-payload: the inputs of the release tests that build installers around payloads
// other than the demo's, made on the build machine with the container's own format.
//
//   make-test-payload files DIR   the files of a payload of 9 MiB (four files of word-like
//                                  bytes and 1,100 small ones in 11 folders, the same on every
//                                  run) and their manifest, DIR/manifest.txt, for pelko-pack pack
//   make-test-payload zeros K OUT a payload of one entry, pelko.exe, of 1 + 258 * K zero bytes,
//                                  its stream made by hand so that gigabytes take a moment
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "payload/container/container_format.h"

namespace fs = std::filesystem;

namespace {

bool write_file(const fs::path& path, std::span<const std::byte> bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// Four files of words and, one chunk in ten, 8 random bytes, then 1,100 files of 64 to 511 bytes
// (many small files, which the installer writes on every processor); from a fixed seed.
int make_files(const fs::path& dir) {
    std::mt19937_64 random(20261208);
    const std::string_view words[] = {"pelko ", "setup ", "install ", "file ",
                                      "update ", "guard ", "\r\n"};
    struct File {
        std::string name;
        std::size_t size;
    };
    std::vector<File> files = {{"pelko.exe", 3 << 20},
                               {"lib/core.dll", 4 << 20},
                               {"lib/extra.dll", 2 << 20},
                               {"licenses/notice.txt", 4096}};
    for (int i = 0; i < 1100; ++i) {
        files.push_back({"modules/m" + std::to_string(i / 100) + "/f" + std::to_string(i) + ".js",
                         static_cast<std::size_t>(64 + (i * 37) % 448)});
    }
    std::string manifest;
    for (const File& file : files) {
        const fs::path path = dir / "files" / fs::path(file.name);
        fs::create_directories(path.parent_path());
        std::vector<std::byte> bytes;
        bytes.reserve(file.size + 8);
        while (bytes.size() < file.size) {
            if (random() % 10 != 0) {
                for (const char c : words[random() % std::size(words)]) {
                    bytes.push_back(static_cast<std::byte>(c));
                }
            } else {
                const std::uint64_t value = random();
                for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<std::byte>(value >> (8 * i)));
            }
        }
        bytes.resize(file.size);
        if (!write_file(path, bytes)) return 1;
        manifest += file.name + "\t" + path.string() + "\n";
    }
    return write_file(dir / "manifest.txt", std::as_bytes(std::span(manifest))) ? 0 : 1;
}

// DEFLATE's bits: header fields and extra bits least significant bit first, Huffman codes most
// significant bit first.
class Bits {
public:
    void put(std::uint32_t value, int count) {
        acc_ |= static_cast<std::uint64_t>(value) << pending_;
        pending_ += count;
        while (pending_ >= 8) {
            out_.push_back(static_cast<std::byte>(acc_ & 0xFF));
            acc_ >>= 8;
            pending_ -= 8;
        }
    }
    void put_code(std::uint32_t code, int length) {
        for (int i = length - 1; i >= 0; --i) put((code >> i) & 1, 1);
    }
    int pending() const { return pending_; }
    std::vector<std::byte>& bytes() { return out_; }

private:
    std::vector<std::byte> out_;
    std::uint64_t acc_ = 0;
    int pending_ = 0;
};

// A stored block with the entry's header and its first zero, then one dynamic block of K copies
// of the length 258 at distance 1 (the literal/length codes 256 and 285 of one bit each, one
// distance code of one bit, so that four copies fill a byte), and the end of the block.
std::vector<std::byte> zeros_stream(std::uint64_t k) {
    std::vector<std::byte> data;
    pelko::append_entry_header(data, "pelko.exe", 1 + 258 * k);
    data.push_back(std::byte{0});
    Bits b;
    b.put(0, 3);  // not final, stored
    b.put(0, 5);  // to the byte boundary
    b.put(static_cast<std::uint32_t>(data.size()), 16);
    b.put(static_cast<std::uint32_t>(data.size()) ^ 0xFFFF, 16);
    for (const std::byte byte : data) b.put(std::to_integer<std::uint32_t>(byte), 8);
    b.put(1, 1);          // final
    b.put(2, 2);          // dynamic
    b.put(286 - 257, 5);  // literal/length codes
    b.put(0, 5);          // one distance code
    b.put(18 - 4, 4);     // all 18 code length codes given
    // Code length codes: 1 -> '0', 0 -> '10', 18 (a run of zeros) -> '11'.
    const auto length_of = [](int symbol) { return symbol == 1 ? 1 : symbol == 0 || symbol == 18 ? 2 : 0; };
    for (const int symbol : {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1}) {
        b.put(static_cast<std::uint32_t>(length_of(symbol)), 3);
    }
    const auto put_length = [&](int length) {
        if (length == 1) b.put_code(0, 1);
        else b.put_code(2, 2);
    };
    // 256 and 285 of one bit, then the distance code 0 of one bit.
    std::vector<int> lengths(256, 0);
    lengths.push_back(1);
    lengths.insert(lengths.end(), 28, 0);
    lengths.push_back(1);
    lengths.push_back(1);
    for (std::size_t i = 0; i < lengths.size();) {
        std::size_t run = 0;
        while (lengths[i] == 0 && i + run < lengths.size() && lengths[i + run] == 0 && run < 138) {
            ++run;
        }
        if (run >= 11) {
            b.put_code(3, 2);
            b.put(static_cast<std::uint32_t>(run - 11), 7);
            i += run;
        } else {
            put_length(lengths[i]);
            ++i;
        }
    }
    // 256 -> '0', 285 -> '1', distance 0 -> '0': a copy is the bits 1, 0; then the end, 0. The
    // bits alternate: whole bytes of them are 0x55 (starting with 1) or 0xAA.
    std::uint64_t position = 0;  // of the 2k bits of the copies
    while (position < 2 * k && b.pending() != 0) {
        b.put(static_cast<std::uint32_t>(1 - position % 2), 1);
        ++position;
    }
    const std::uint64_t whole = (2 * k - position) / 8;
    b.bytes().insert(b.bytes().end(), whole,
                     std::byte{static_cast<unsigned char>(position % 2 == 0 ? 0x55 : 0xAA)});
    for (position += 8 * whole; position < 2 * k; ++position) {
        b.put(static_cast<std::uint32_t>(1 - position % 2), 1);
    }
    b.put_code(0, 1);  // end of block
    if (b.pending() != 0) b.put(0, 8 - b.pending());
    return std::move(b.bytes());
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "files") return make_files(args[1]);
    if (args.size() == 3 && args[0] == "zeros" && !args[1].empty() &&
        args[1].find_first_not_of("0123456789") == std::string::npos) {
        return write_file(args[2], zeros_stream(std::stoull(args[1]))) ? 0 : 1;
    }
    std::fputs("usage: make-test-payload files DIR | zeros K OUT\n", stderr);
    return 2;
}
