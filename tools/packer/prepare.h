#pragma once

#include <filesystem>
#include <string>

namespace pelko::packer {

// `pelko-pack prepare`: makes ready a payload packed elsewhere for the build, which embeds it.
// Checks it the way the installer will read it (unless `check` is off, for a payload meant to be
// refused at run time), then writes its payload section to `section_output`, with the index of
// its stream read off the stream itself (none when it cannot be indexed: the installer inflates
// it in one pass). Gives the line "{section_output}: {n} piece(s)". Throws Failure, naming the
// payload: "not a raw DEFLATE stream that inflates ({the installer's text})", the installer's
// refusal of a sound stream (with both files named when two names clash), or a line for each
// name Windows cannot create.
std::string prepare_payload(const std::filesystem::path& input,
                            const std::filesystem::path& section_output, bool check);

}  // namespace pelko::packer
