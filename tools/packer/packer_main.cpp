// pelko-pack: makes the installer's payload from a manifest, and lists or extracts the payload
// of a payload file or of a built pelko-setup.exe.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "container_writer.h"
#include "deflate_encoder.h"
#include "exe_payload.h"
#include "manifest.h"
#include "payload/inflate_payload.h"
#include "payload/payload_checksum.h"
#include "payload/read_payload.h"
#include "payload/decompress_error.h"
#include "payload/stream_index.h"
#include "stream_cuts.h"
#include "payload/unpack_payload.h"

namespace fs = std::filesystem;
using namespace pelko;
using namespace pelko::packer;

namespace {

constexpr const char* kUsage =
    "usage: pelko-pack pack MANIFEST OUTPUT [--from DIR]... [--crc32 FILE] [--index FILE]\n"
    "       pelko-pack list PAYLOAD_OR_EXE\n"
    "       pelko-pack extract PAYLOAD_OR_EXE DIR\n"
    "       pelko-pack prepare PAYLOAD CRC32_OUTPUT INDEX_OUTPUT [--no-check]\n"
    "       pelko-pack checksum PAYLOAD OUTPUT\n"
    "       pelko-pack index PAYLOAD OUTPUT\n";

struct Failure {
    std::string text;
};

std::vector<std::byte> read_whole(const fs::path& path, std::uint64_t limit) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) throw Failure{path.string() + ": no such file"};
    const std::uint64_t size = fs::file_size(path, ec);
    if (ec) throw Failure{path.string() + ": cannot read: " + ec.message()};
    if (size > limit) {
        throw Failure{path.string() + ": file over 4 GiB (" + std::to_string(size) + " bytes)"};
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<std::byte> bytes(size);
    if (!in || !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
        throw Failure{path.string() + ": cannot read"};
    }
    return bytes;
}

void write_whole(const fs::path& path, std::span<const std::byte> bytes) {
    // Written beside the target, then renamed: a failed write leaves no partial output.
    const fs::path temporary = fs::path(path).concat(".tmp");
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out || !out.write(reinterpret_cast<const char*>(bytes.data()),
                               static_cast<std::streamsize>(bytes.size())) || !out.flush()) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            throw Failure{path.string() + ": cannot write"};
        }
    }
    std::error_code ec;
    fs::rename(temporary, path, ec);
    if (ec) throw Failure{path.string() + ": cannot write: " + ec.message()};
}

// The CRC-32 as the build records it: 4 bytes, little-endian.
std::vector<std::byte> crc32_record(std::uint32_t crc) {
    std::vector<std::byte> bytes;
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::byte>((crc >> (8 * i)) & 0xFF));
    return bytes;
}

// What pack writes beside the payload when asked: the build's records of it.
struct PackRecords {
    std::optional<fs::path> crc32;
    std::optional<fs::path> index;
};

int pack(const fs::path& manifest, const fs::path& output, std::vector<fs::path> search,
         const PackRecords& records) {
    search.insert(search.begin(), manifest.parent_path().empty() ? fs::path(".")
                                                                  : manifest.parent_path());
    // The manifest's own folder is tried last unless --from folders are given.
    std::rotate(search.begin(), search.begin() + 1, search.end());
    const auto lines = read_manifest(manifest, search);
    if (!lines) throw Failure{lines.error()};

    std::vector<std::string_view> names;
    for (const ManifestLine& line : *lines) {
        if (auto name = check_name(line.name); !name) {
            throw Failure{manifest.string() + ": " + name.error()};
        }
        names.push_back(line.name);
    }
    if (const auto collisions = staging_collision_text(names)) {
        throw Failure{manifest.string() + ": " + *collisions};
    }

    std::vector<std::byte> container;
    for (const ManifestLine& line : *lines) {
        const std::vector<std::byte> data = read_whole(line.source, 0xFFFFFFFFull);
        const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
        if (auto added = append_entry(container, line.name, text); !added) {
            throw Failure{added.error()};
        }
    }

    const PackedStream packed = deflate_best(container);
    if (auto verified = verify_stream(packed, container); !verified) {
        throw Failure{"internal error: " + verified.error()};
    }
    const std::vector<std::byte>& stream = packed.stream;
    write_whole(output, stream);
    if (records.crc32) write_whole(*records.crc32, crc32_record(payload_crc32(stream)));
    if (records.index) write_whole(*records.index, encode_stream_index(packed.index));

    const std::size_t zlib9 = deflate_zlib9(container).size();
    std::printf("%s: %zu entries, container %zu bytes, stored %zu bytes (%s); zlib level 9: %zu "
                "bytes; ratio %.4f\n",
                output.string().c_str(), lines->size(), container.size(), stream.size(),
                best_encoder_name().c_str(), zlib9,
                zlib9 == 0 ? 1.0 : static_cast<double>(stream.size()) / static_cast<double>(zlib9));
    return 0;
}

struct Opened {
    std::vector<std::byte> container;
    std::vector<PayloadEntry> entries;
    std::size_t stored = 0;
    std::uint32_t crc32 = 0;  // of the stored payload; checked against the recorded one in an exe
    bool from_exe = false;
};

// Reads a payload file or the payload of a built installer. An installer's payload must match
// the CRC-32 recorded beside it, as the installer itself checks before inflating.
Opened open_payload(const fs::path& input) {
    const std::vector<std::byte> file = read_whole(input, UINT64_MAX);
    std::span<const std::byte> stored(file);
    Opened opened;
    if (looks_like_exe(file)) {
        const auto embedded = payload_of_exe(file);
        if (!embedded) throw Failure{input.string() + ": " + embedded.error()};
        stored = embedded->stored;
        opened.from_exe = true;
        if (const std::uint32_t computed = payload_crc32(stored);
            computed != embedded->recorded_crc32) {
            char text[96];
            std::snprintf(text, sizeof text, "payload damaged (CRC-32 recorded %08x, computed %08x)",
                          embedded->recorded_crc32, computed);
            throw Failure{input.string() + ": " + text};
        }
    }
    opened.crc32 = payload_crc32(stored);
    opened.stored = stored.size();
    auto inflated = inflate_payload(stored);
    if (!inflated) throw Failure{input.string() + ": " + inflated.error().text};
    opened.container = std::move(*inflated);
    auto entries = read_payload(opened.container);
    if (!entries) throw Failure{input.string() + ": " + entries.error().text};
    opened.entries = std::move(*entries);
    return opened;
}

int list(const fs::path& input) {
    const Opened opened = open_payload(input);
    std::uint64_t total = 0;
    for (const PayloadEntry& entry : opened.entries) {
        std::printf("%s\t%llu\n", entry.name().c_str(),
                    static_cast<unsigned long long>(entry.size()));
        total += entry.size();
    }
    std::printf("%zu entries, %llu bytes of file data, container %zu bytes, stored %zu bytes\n",
                opened.entries.size(), static_cast<unsigned long long>(total),
                opened.container.size(), opened.stored);
    std::printf("CRC-32 %08x%s\n", opened.crc32,
                opened.from_exe ? " (recorded in the executable, matches)" : "");
    return 0;
}

// Writes the CRC-32 of a payload file as 4 bytes, little-endian: what the build places in
// front of the payload in pelko-setup.exe.
int checksum(const fs::path& input, const fs::path& output) {
    write_whole(output, crc32_record(payload_crc32(read_whole(input, UINT64_MAX))));
    return 0;
}

// Makes ready a payload packed elsewhere for the build, which embeds it: checks it the way the
// installer will read it (unless `check` is off, for a payload meant to be refused at run time),
// then writes its CRC-32 and its stream's index as `checksum` and `index` do; a stream that
// cannot be indexed gets an empty index, which the installer reads as none.
int prepare(const fs::path& input, const fs::path& crc_output, const fs::path& index_output,
            bool check) {
    const std::vector<std::byte> stored = read_whole(input, UINT64_MAX);
    if (check) {
        HeapAllocator heap;
        if (const auto read = unpack_payload(stored, heap); !read) {
            const std::string& text = read.error().text;
            if (text.starts_with(kDecompressErrorStart)) {
                throw Failure{input.string() + ": not a raw DEFLATE stream that inflates (" +
                              text + ")"};
            }
            throw Failure{input.string() + ": " + text};
        }
    }
    write_whole(crc_output, crc32_record(payload_crc32(stored)));
    const std::optional<StreamIndex> found = find_stream_index(stored);
    write_whole(index_output, found ? encode_stream_index(*found) : std::vector<std::byte>());
    return 0;
}

// Writes where the payload can be inflated in pieces at the same time (see stream_index.h): what
// the build places after the payload in pelko-setup.exe. Prints the pieces.
int index(const fs::path& input, const fs::path& output) {
    const std::vector<std::byte> stored = read_whole(input, UINT64_MAX);
    const std::optional<StreamIndex> found = find_stream_index(stored);
    if (!found) throw Failure{input.string() + ": not a DEFLATE stream that inflates"};
    write_whole(output, encode_stream_index(*found));
    std::printf("%zu piece(s), container %llu bytes\n", found->pieces.size(),
                static_cast<unsigned long long>(found->container_size));
    return 0;
}

int extract(const fs::path& input, const fs::path& folder) {
    const Opened opened = open_payload(input);
    for (const PayloadEntry& entry : opened.entries) {
        // The same rules as the installer: no "..", nothing absolute, plain file paths only.
        if (auto name = check_name(entry.name()); !name) throw Failure{name.error()};
        std::string relative = entry.name();
        for (char& c : relative) {
            if (c == '\\') c = '/';
        }
        const fs::path target = folder / relative;
        std::error_code ec;
        fs::create_directories(target.parent_path(), ec);
        if (ec) throw Failure{target.parent_path().string() + ": " + ec.message()};
        write_whole(target, entry.data());
        std::printf("%s\n", target.string().c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() >= 3 && args[0] == "pack") {
            std::vector<fs::path> search;
            PackRecords records;
            for (std::size_t i = 3; i < args.size(); i += 2) {
                if (i + 1 >= args.size()) throw Failure{kUsage};
                if (args[i] == "--from") {
                    search.emplace_back(args[i + 1]);
                } else if (args[i] == "--crc32") {
                    records.crc32 = args[i + 1];
                } else if (args[i] == "--index") {
                    records.index = args[i + 1];
                } else {
                    throw Failure{kUsage};
                }
            }
            return pack(args[1], args[2], search, records);
        }
        if (args.size() == 2 && args[0] == "list") return list(args[1]);
        if (args.size() == 3 && args[0] == "extract") return extract(args[1], args[2]);
        if ((args.size() == 4 || (args.size() == 5 && args[4] == "--no-check")) &&
            args[0] == "prepare") {
            return prepare(args[1], args[2], args[3], args.size() == 4);
        }
        if (args.size() == 3 && args[0] == "checksum") return checksum(args[1], args[2]);
        if (args.size() == 3 && args[0] == "index") return index(args[1], args[2]);
        std::fputs(kUsage, stderr);
        return 2;
    } catch (const Failure& failure) {
        std::fprintf(stderr, "pelko-pack: %s\n", failure.text.c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pelko-pack: %s\n", e.what());
        return 1;
    }
}
