// The messages between the library and portmux-sim serve: every kind written and read back, the bodies
// the daemon must refuse, and streams cut anywhere.
#include "portmux/src/SimWire.h"

#include <gtest/gtest.h>

namespace portmux::test {
namespace {

using namespace wire;

std::vector<uint8_t> bodyOf(const std::vector<uint8_t>& frame) {
    return {frame.begin() + kLengthSize, frame.end()};
}

sim::Report sampleReport() {
    sim::Report r{};
    for (size_t i = 0; i < r.size(); ++i) {
        r[i] = static_cast<uint8_t>(i * 3 + 1);
    }
    return r;
}

TEST(PortmuxWire, EveryClientMessageReadsBackAsWritten) {
    Control fault;
    fault.seq = 4;
    fault.op = Op::Fault;
    fault.fault = {sim::FaultKind::LateReply, 3, 0x08, 0, 250};
    Control page;
    page.seq = 5;
    page.op = Op::Reports;
    page.from = 1ull << 40;
    page.max = kMaxPage;
    Control flash;
    flash.seq = 6;
    flash.op = Op::Flash;
    flash.area = sim::Area::Colours;
    Control away;
    away.seq = 7;
    away.op = Op::UpdateReturn;
    away.delayMs = -1;
    Control code;
    code.seq = 8;
    code.op = Op::Consumer;
    code.value = 0x02FF;
    const std::vector<ClientMessage> messages = {
        Hello{kVersion, Role::Control},
        Write{0xFFFFFFFF, sampleReport()},
        StatusWrite{2, {0x05, 0x03}},
        fault,
        page,
        flash,
        away,
        code,
        Control{9, Op::Reset},
    };
    for (size_t i = 0; i < messages.size(); ++i) {
        SCOPED_TRACE(i);
        const auto frame = encode(messages[i]);
        const uint32_t length = frame[0] | (frame[1] << 8) | (frame[2] << 16) | (uint32_t{frame[3]} << 24);
        ASSERT_EQ(length, frame.size() - kLengthSize);
        const auto back = decodeClient(bodyOf(frame));
        ASSERT_TRUE(back.has_value());
        EXPECT_TRUE(*back == messages[i]);
        EXPECT_FALSE(decodeServer(bodyOf(frame)).has_value()) << "the directions have their own types";
    }
}

TEST(PortmuxWire, EveryServerMessageReadsBackAsWritten) {
    sim::ViolationRecord v{sim::Violation::OutOfArea, 0x07, 56, 1130, "readKeys outside the key blocks"};
    StatusInfo status;
    status.plugged = true;
    status.clients = 3;
    status.updateReturnMs = -1;
    status.reportTotal = 1ull << 33;
    status.hasLinkStatus = true;
    status.linkStatus = {0x05, 0x03};
    status.statePath = "/run/user/1000/portmux/flash.bin";
    const std::vector<ServerMessage> messages = {
        Welcome{kVersion, 1},
        WriteResult{12, true},
        ControlResult{1, Op::Unplug, true, Changed{true}},
        ControlResult{2, Op::Reports, true, ReportsPage{10, 12, {sampleReport(), sim::Report{}}}},
        ControlResult{3, Op::Violations, true, ViolationsPage{0, 1, {v}}},
        ControlResult{4, Op::Flash, true, FlashArea{std::vector<uint8_t>(kMaxAreaSize, 0xAB)}},
        ControlResult{5, Op::Status, true, status},
        ControlResult{6, Op::Consumer, false, Nothing{}},
        Reply{{0x04, 0x00, 0x00, 0x03}},
        ConsumerEvent{0x0401, {0x03, 0x01, 0x04}},
        CountEvent{0},
        Refused{"this server speaks version 1, not 9"},
    };
    for (size_t i = 0; i < messages.size(); ++i) {
        SCOPED_TRACE(i);
        const auto back = decodeServer(bodyOf(encode(messages[i])));
        ASSERT_TRUE(back.has_value());
        EXPECT_TRUE(*back == messages[i]);
    }
}

TEST(PortmuxWire, MalformedClientBodiesAreRefused) {
    const auto hello = bodyOf(encode(Hello{}));
    const auto write = bodyOf(encode(Write{1, sampleReport()}));
    auto badMagic = hello;
    badMagic[1] = 'X';
    auto badRole = hello;
    badRole.back() = 3;
    auto longWrite = write;
    longWrite.push_back(0);
    auto shortWrite = write;
    shortWrite.pop_back();
    auto emptyStatus = bodyOf(encode(StatusWrite{1, {0x05}}));
    emptyStatus[5] = 0; // length byte of the status bytes
    auto tooLongStatus = bodyOf(encode(StatusWrite{1, {0x05}}));
    tooLongStatus[5] = 65;
    auto unknownOp = bodyOf(encode(Control{1, Op::Status}));
    unknownOp[5] = 0x7F;
    Control page;
    page.op = Op::Reports;
    page.max = 1;
    auto zeroPage = bodyOf(encode(page));
    zeroPage[zeroPage.size() - 2] = 0; // max 0 (little-endian: the low byte first)
    auto bigPage = bodyOf(encode(page));
    bigPage[bigPage.size() - 2] = 0x01;
    bigPage[bigPage.size() - 1] = 0x10; // max 4097
    Control flash;
    flash.op = Op::Flash;
    auto badArea = bodyOf(encode(flash));
    badArea.back() = 6;
    Control code;
    code.op = Op::Consumer;
    auto bigCode = bodyOf(encode(code));
    bigCode.back() = 0x01; // value 0x01000000
    Control fault;
    fault.op = Op::Fault;
    auto badKind = bodyOf(encode(fault));
    badKind[6] = static_cast<uint8_t>(sim::FaultKind::AckDrop) + 1; // the first kind there is not

    const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
        {"empty", {}},
        {"unknown type", {0x7E}},
        {"a server type", bodyOf(encode(CountEvent{1}))},
        {"bad magic", badMagic},
        {"bad role", badRole},
        {"write with a byte more", longWrite},
        {"write with a byte less", shortWrite},
        {"status of 0 bytes", emptyStatus},
        {"status of 65 bytes", tooLongStatus},
        {"unknown operation", unknownOp},
        {"page of 0", zeroPage},
        {"page above the limit", bigPage},
        {"area 6", badArea},
        {"code above 16 bits", bigCode},
        {"fault kind after the last", badKind},
        {"above the size limit", std::vector<uint8_t>(kMaxClientBody + 1, 0x02)},
    };
    for (const auto& [name, body] : cases) {
        SCOPED_TRACE(name);
        std::string why;
        EXPECT_FALSE(decodeClient(body, &why).has_value());
        EXPECT_FALSE(why.empty());
    }
}

TEST(PortmuxWire, FramesComeOutWholeHoweverTheStreamIsCut) {
    std::vector<uint8_t> stream;
    std::vector<std::vector<uint8_t>> bodies;
    for (const ClientMessage& m : {ClientMessage{Hello{}}, ClientMessage{Write{1, sampleReport()}},
                                   ClientMessage{Control{2, Op::Status}}}) {
        const auto frame = encode(m);
        stream.insert(stream.end(), frame.begin(), frame.end());
        bodies.push_back(bodyOf(frame));
    }
    for (size_t piece = 1; piece <= stream.size(); ++piece) {
        SCOPED_TRACE(piece);
        FrameReader reader(kMaxClientBody);
        std::vector<std::vector<uint8_t>> got;
        for (size_t at = 0; at < stream.size(); at += piece) {
            const size_t n = std::min(piece, stream.size() - at);
            reader.feed(std::span<const uint8_t>(stream.data() + at, n));
            while (reader.hasFrame()) {
                auto body = reader.next();
                ASSERT_TRUE(body.has_value()) << "hasFrame() promised a whole body";
                got.push_back(*body);
            }
            EXPECT_FALSE(reader.next().has_value()) << "a whole body that hasFrame() did not see";
        }
        EXPECT_EQ(got, bodies);
        EXPECT_EQ(reader.buffered(), 0u);
        EXPECT_FALSE(reader.failed());
    }
}

TEST(PortmuxWire, ALengthOfZeroOrAboveTheLimitEndsTheStream) {
    for (const std::vector<uint8_t>& head : {std::vector<uint8_t>{0, 0, 0, 0},
                                             std::vector<uint8_t>{0x01, 0x02, 0, 0},
                                             {0xFF, 0xFF, 0xFF, 0xFF}}) {
        FrameReader reader(kMaxClientBody);
        const auto good = encode(Hello{});
        reader.feed(good);
        reader.feed(head);
        reader.feed(good);
        EXPECT_TRUE(reader.next().has_value()) << "the frame before is whole";
        EXPECT_FALSE(reader.next().has_value());
        EXPECT_TRUE(reader.failed());
        EXPECT_FALSE(reader.next().has_value()) << "nothing after a bad length";
    }
}

} // namespace
} // namespace portmux::test
