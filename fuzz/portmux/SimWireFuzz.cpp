// The wire between the library and portmux-sim serve on any input: the daemon's reading of a client's
// byte stream (frames, then messages) and the library's reading of the daemon's messages. No crash, no
// read out of bounds, memory bounded by one frame, the same frames however the stream is cut, and every
// message that parses is written back byte for byte.
#include "portmux/src/SimWire.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

namespace {

using namespace portmux::wire;

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// A parsed body is exactly what encoding the message gives.
template <typename Message> void checkRoundTrip(const Message& m, std::span<const uint8_t> body) {
    const std::vector<uint8_t> frame = encode(m);
    check(frame.size() == kLengthSize + body.size());
    const size_t length = frame[0] | (frame[1] << 8) | (frame[2] << 16) | (size_t{frame[3]} << 24);
    check(length == body.size());
    check(std::equal(body.begin(), body.end(), frame.begin() + kLengthSize));
}

void checkBody(std::span<const uint8_t> body) {
    if (auto m = decodeClient(body)) {
        check(body.size() <= kMaxClientBody);
        checkRoundTrip(*m, body);
    }
    if (auto m = decodeServer(body)) {
        check(body.size() <= kMaxServerBody);
        checkRoundTrip(*m, body);
    }
}

// Every body a reader gives until it has none complete or fails.
std::vector<std::vector<uint8_t>> drain(FrameReader& reader) {
    std::vector<std::vector<uint8_t>> out;
    while (auto body = reader.next()) {
        out.push_back(std::move(*body));
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> input(data, size);
    checkBody(input);

    // The stream as the daemon reads a client: all at once, and in pieces whose sizes the input chooses.
    FrameReader whole(kMaxClientBody);
    whole.feed(input);
    const auto bodies = drain(whole);

    FrameReader pieces(kMaxClientBody);
    std::vector<std::vector<uint8_t>> pieceBodies;
    for (size_t at = 0; at < size;) {
        const size_t n = std::min<size_t>(size - at, 1 + data[at] % 61);
        pieces.feed(input.subspan(at, n));
        at += n;
        for (auto& b : drain(pieces)) {
            pieceBodies.push_back(std::move(b));
        }
        check(pieces.failed() || pieces.buffered() < kLengthSize + kMaxClientBody);
    }
    check(bodies == pieceBodies);
    check(whole.failed() == pieces.failed());
    for (const auto& b : bodies) {
        check(!b.empty() && b.size() <= kMaxClientBody);
        checkBody(b);
    }
    return 0;
}
