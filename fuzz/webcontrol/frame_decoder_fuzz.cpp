// Feeds arbitrary bytes to the frame decoder, in two pieces, as a peer could send them.
// Every outcome but a decoded message or a ProtocolError is a fault.
#include <cstddef>
#include <cstdint>

#include "webcontrol/wire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kivo::wire::FrameReader reader;
    const size_t split = size > 0 ? data[0] % (size + 1) : 0;
    try {
        reader.Append(reinterpret_cast<const char*>(data), split);
        while (auto message = reader.Next()) {
            // A decoded message must encode again (the bounds hold for what was accepted).
            (void)kivo::wire::Encode(*message);
        }
        reader.Append(reinterpret_cast<const char*>(data) + split, size - split);
        while (auto message = reader.Next()) (void)kivo::wire::Encode(*message);
    } catch (const kivo::wire::ProtocolError&) {
    }
    return 0;
}
