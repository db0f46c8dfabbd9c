#include "main/linked_payload.h"

#include "payload/unpack/payload_section.h"

// The payload section as the packer wrote it, placed by the generated assembly file of the build.
extern "C" const std::byte pelko_payload_section[];
extern "C" const std::byte pelko_payload_section_end[];

namespace pelko::win {

EmbeddedPayload linked_payload() {
    // The build placed a section the packer made: it always parses. Were it ever cut short, an
    // empty stream would fail to inflate, with the decoder's words.
    return parse_payload_section(std::span(pelko_payload_section, pelko_payload_section_end))
        .value_or(EmbeddedPayload({}));
}

}  // namespace pelko::win
