#include "payload/unpack/embedded_payload.h"

#include "payload/inflate/payload_checksum.h"
#include "payload/inflate/stream_index.h"
#include "payload/unpack/unpack_in_pieces.h"
#include "payload/unpack/unpack_payload.h"

namespace pelko {

PayloadResult<EntryList> unpack_embedded_payload(Machine& os, const EmbeddedPayload& payload) {
    os.reached(RunPoint::checking);
    if (payload.recorded_crc32) {
        if (PayloadResult<void> intact = check_payload_crc32(payload.stored, *payload.recorded_crc32);
            !intact) {
            return std::unexpected(std::move(intact.error()));
        }
    }
    os.reached(RunPoint::inflating);
    if (const std::optional<StreamIndex> index =
            decode_stream_index(payload.index, payload.stored.size())) {
        return unpack_payload_in_pieces(payload.stored, *index, os);
    }
    return unpack_payload(payload.stored, os);
}

}  // namespace pelko
