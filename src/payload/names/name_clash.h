#pragma once

#include <cstddef>
#include <expected>
#include <string_view>

#include "platform/buffer_allocator.h"
#include "platform/function_ref.h"

namespace pelko {

// Two entries of a payload whose files Windows would mix up, so that installing one would lose
// the other with success reported, or make the installation fail every time.
enum class NameClashKind {
    // The entry's staging file (see staging_path.h) is a file of the payload (its own target
    // when `other` is `entry`): writing it would empty that file, and the move carry it off.
    staging_is_file,
    // The entry's staging file is a directory of the payload ("x.dll" beside "x.new/readme.txt"):
    // it can never be created, or, written first, the directory never be made.
    staging_is_directory,
    // The entry's file is a directory of another entry ("a" beside "a/b").
    file_is_directory,
    // A component of the entry, or its staging file, is in the form of a short name that may be
    // the alias Windows makes up for a name of another entry in the same folder (see
    // short_alias.h): "A~1.dll", staged as "A~1.new", beside "a.newer". Opening it could open
    // that other file.
    short_alias,
};
struct NameClash {
    NameClashKind kind = NameClashKind::staging_is_file;
    std::size_t entry = 0;  // the entry whose name makes the clash
    std::size_t other = 0;  // the first entry whose file or directory it meets
    // For short_alias: the entry's staging file is the name in short-name form (not one of the
    // components of its own name).
    bool by_staging_file = false;
    friend bool operator==(const NameClash&, const NameClash&) = default;
};

// Every clash among `count` names (`name_at(i)`, UTF-8 relative paths), compared under Windows'
// name rules (file_name_key), in the order of the clashing entries; `on_clash` returns false to
// stop. A name given twice (in any letter case) is no clash; neither are two entries that share
// a staging file ("a.exe" and "a.dll": it is moved away before the next is written). Its tables
// come from `memory`: NoMemory when they cannot be had, nothing reported then.
std::expected<void, NoMemory> find_name_clashes(
    std::size_t count, FunctionRef<std::string_view(std::size_t)> name_at,
    BufferAllocator& memory, FunctionRef<bool(const NameClash&)> on_clash);

}  // namespace pelko
