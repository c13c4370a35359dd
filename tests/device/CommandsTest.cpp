// The command set over a scripted exchanger: framing, checksums, chunking and result mapping.
#include "device/Commands.h"
#include "device/OnBoardProfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <numeric>
#include <optional>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tarvik::device {
namespace {

using Report = std::array<uint8_t, kReportSize>;

// Records every request; answers from a script, else with the request's command code and status 0.
class ScriptedExchanger final : public Exchanger {
public:
    struct Answer {
        int result = kOk;
        uint8_t status = 0;
        std::vector<uint8_t> data;      // reply bytes from 8 on
        size_t delivered = kReportSize; // how many reply bytes arrived
    };

    int transact(std::span<const uint8_t> request, std::span<uint8_t, kReportSize> reply,
                 size_t& delivered) override {
        Report r{};
        std::copy(request.begin(), request.end(), r.begin());
        sent.push_back(r);
        Answer a;
        if (!script.empty()) {
            a = script.front();
            script.pop_front();
        } else if (defaultData) {
            a.data = *defaultData;
        }
        std::fill(reply.begin(), reply.end(), uint8_t{0x5A}); // a caller must not rely on old contents
        reply[kOffCommand] = r[kOffCommand];
        reply[kOffStatus] = a.status;
        std::copy_n(a.data.begin(), std::min<size_t>(a.data.size(), kChunkSize), reply.begin() + kOffData);
        delivered = a.delivered;
        return a.result;
    }

    std::vector<Report> sent;
    std::deque<Answer> script;
    std::optional<std::vector<uint8_t>> defaultData;
};

uint16_t address(const Report& r) {
    return static_cast<uint16_t>(r[5] | (r[6] << 8));
}

uint16_t checksumOf(const Report& r) {
    return static_cast<uint16_t>(r[1] | (r[2] << 8));
}

void expectWellFramed(const Report& r) {
    EXPECT_EQ(r[0], 0x04);
    EXPECT_EQ(r[kOffStatus], 0);
    uint32_t sum = std::accumulate(r.begin() + 3, r.end(), 0u);
    EXPECT_EQ(checksumOf(r), static_cast<uint16_t>(sum));
}

TEST(Checksum, LowSixteenBitsLittleEndian) {
    Report r{};
    // 0x1234 = 4660 = 18 * 255 + 70
    for (size_t i = 3; i < 3 + 18; ++i) {
        r[i] = 0xFF;
    }
    r[21] = 70;
    r[0] = 0x04;
    setChecksum(r);
    EXPECT_EQ(r[1], 0x34);
    EXPECT_EQ(r[2], 0x12);

    // 61 bytes of 0xFF sum to 0x3C3C... only the low 16 bits are kept; bytes 0-2 are not summed.
    Report full;
    full.fill(0xFF);
    setChecksum(full);
    EXPECT_EQ(checksumOf(full), static_cast<uint16_t>(61 * 0xFF));
    Report again = full;
    setChecksum(again); // the checksum bytes themselves do not take part
    EXPECT_EQ(again, full);
}

TEST(Commands, KeyBlockOneGoesOutInSevenChunksAtItsAddress) {
    ScriptedExchanger ex;
    Commands c(ex);
    std::array<uint8_t, kKeyBlockSize> block;
    for (size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<uint8_t>(i * 7 + 1);
    }
    ASSERT_EQ(c.writeKeyBlock(block, 1), kOk);
    const uint16_t addresses[] = {378, 434, 490, 546, 602, 658, 714};
    const uint8_t lengths[] = {56, 56, 56, 56, 56, 56, 42};
    ASSERT_EQ(ex.sent.size(), 7u);
    for (size_t i = 0; i < 7; ++i) {
        const Report& r = ex.sent[i];
        expectWellFramed(r);
        EXPECT_EQ(r[3], CMD_WRITE_KEYS);
        EXPECT_EQ(address(r), addresses[i]);
        EXPECT_EQ(r[4], lengths[i]);
        EXPECT_TRUE(std::equal(r.begin() + 8, r.begin() + 8 + lengths[i], block.begin() + 56 * i));
        EXPECT_TRUE(std::all_of(r.begin() + 8 + lengths[i], r.end(), [](uint8_t b) { return b == 0; }));
    }
}

TEST(Commands, MacroAreaOfHundredBytesTakesTwoChunks) {
    ScriptedExchanger ex;
    Commands c(ex);
    std::vector<uint8_t> image(100);
    std::iota(image.begin(), image.end(), uint8_t{1});
    ASSERT_EQ(c.writeMacroArea(image), kOk);
    ASSERT_EQ(ex.sent.size(), 2u);
    EXPECT_EQ(ex.sent[0][4], 56);
    EXPECT_EQ(address(ex.sent[0]), 0);
    EXPECT_EQ(ex.sent[1][4], 44);
    EXPECT_EQ(address(ex.sent[1]), 56);
    EXPECT_EQ(ex.sent[1][8], 57);
    EXPECT_EQ(ex.sent[1][8 + 43], 100);
    EXPECT_EQ(ex.sent[1][8 + 44], 0);
}

TEST(Commands, NothingIsSentForBadBlocksOrEmptyAreas) {
    ScriptedExchanger ex;
    Commands c(ex);
    std::array<uint8_t, kKeyBlockSize> block{};
    EXPECT_EQ(c.readKeyBlock(block, 3), kBadBlock);
    EXPECT_EQ(c.writeKeyBlock(block, 3), kBadBlock);
    EXPECT_EQ(c.writeMacroArea({}), kOk);
    EXPECT_EQ(c.readMacroArea({}), kOk);
    EXPECT_EQ(c.writeSettings({}, 0), kOk); // an empty write is still one report
    EXPECT_EQ(ex.sent.size(), 1u);

    std::vector<uint8_t> tooLong(57);
    EXPECT_EQ(c.writeSettings(tooLong, 0), kBadLength);
    EXPECT_EQ(c.writeColours(tooLong, 0, 0), kBadLength);
    std::vector<uint8_t> huge(0x10001);
    EXPECT_EQ(c.writeMacroArea(huge), kBadLength);
    EXPECT_EQ(ex.sent.size(), 1u);
}

TEST(Commands, ReadsTakeTheirDataFromByteEight) {
    ScriptedExchanger ex;
    Commands c(ex);
    std::vector<uint8_t> data(56);
    std::iota(data.begin(), data.end(), uint8_t{100});
    ex.defaultData = data;

    std::array<uint8_t, kChunkSize> settings{};
    ASSERT_EQ(c.readSettings(settings, 1, 57), kOk); // asked for 1 byte, gets all 56
    EXPECT_TRUE(std::equal(settings.begin(), settings.end(), data.begin()));
    EXPECT_EQ(ex.sent.back()[4], 1);
    EXPECT_EQ(address(ex.sent.back()), 57);

    std::array<uint8_t, kConfigSize> config{};
    ASSERT_EQ(c.readConfig(config), kOk);
    EXPECT_EQ(ex.sent.back()[4], 44);
    EXPECT_TRUE(std::equal(config.begin(), config.end(), data.begin()));

    std::array<uint8_t, kChunkSize> colours{};
    ASSERT_EQ(c.readColours(colours, 6, 10, 2), kOk);
    EXPECT_EQ(address(ex.sent.back()), 2 * 512 + 10 * 3);
    EXPECT_EQ(ex.sent.back()[4], 6);

    std::array<uint8_t, kKeyBlockSize> defaults{};
    ex.sent.clear();
    ASSERT_EQ(c.readDefaultKeyBlock(defaults), kOk);
    ASSERT_EQ(ex.sent.size(), 7u);
    EXPECT_EQ(address(ex.sent[6]), 336); // the default block is addressed from 0
    EXPECT_EQ(ex.sent[6][4], 42);
    EXPECT_EQ(defaults[336], data[0]);
    EXPECT_EQ(defaults[377], data[41]);
    for (const auto& r : ex.sent) {
        expectWellFramed(r);
    }
}

TEST(Commands, EveryOperationSendsItsCommandCode) {
    ScriptedExchanger ex;
    Commands c(ex);
    std::array<uint8_t, kConfigSize> config{};
    config[10] = 2;
    std::array<uint8_t, kChunkSize> buf{};
    std::array<uint8_t, kKeyBlockSize> block{};
    const uint8_t rgb[] = {1, 2, 3};
    struct Row {
        std::function<int()> op;
        uint8_t command;
        uint8_t length;
        uint16_t address;
    };
    const Row rows[] = {
        {[&] { return c.beginWrite(); }, CMD_BEGIN_WRITE, 0, 0},
        {[&] { return c.endWrite(); }, CMD_END_WRITE, 0, 0},
        {[&] { return c.readConfig(config); }, CMD_READ_CONFIG, 44, 0},
        {[&] { return c.writeConfig(config); }, CMD_WRITE_CONFIG, 44, 0},
        {[&] { return c.readSettings(buf, 42, 84); }, CMD_READ_SETTINGS, 42, 84},
        {[&] { return c.writeSettings(rgb, 42 + 15); }, CMD_WRITE_SETTINGS, 3, 57},
        {[&] { return c.readKeyBlock(block, 2); }, CMD_READ_KEYS, 56, 756},
        {[&] { return c.readMacroArea(std::span(buf).first(16)); }, CMD_READ_MACROS, 16, 0},
        {[&] { return c.readDefaultKeyBlock(block); }, CMD_READ_DEFAULT_KEYS, 56, 0},
        {[&] { return c.readColours(buf, 3, 5, 1); }, CMD_READ_COLOURS, 3, 527},
        {[&] { return c.writeColours(rgb, 5, 1); }, CMD_WRITE_COLOURS, 3, 527},
    };
    for (const auto& row : rows) {
        ex.sent.clear();
        EXPECT_EQ(row.op(), kOk);
        ASSERT_FALSE(ex.sent.empty());
        const Report& r = ex.sent.front();
        SCOPED_TRACE(testing::Message() << "command " << int(row.command));
        expectWellFramed(r);
        EXPECT_EQ(r[3], row.command);
        EXPECT_EQ(r[4], row.length);
        EXPECT_EQ(address(r), row.address);
    }
    ex.sent.clear();
    config[10] = 2;
    c.writeConfig(config);
    EXPECT_EQ(ex.sent[0][8 + 10], 2); // the block travels from byte 8
}

TEST(Commands, ResultMapping) {
    struct Row {
        int transactResult;
        uint8_t status;
        int expected;
    };
    const Row rows[] = {
        {kOk, 0x00, kOk},       {kOk, 0x01, kOk},        {kOk, 0xFD, kOk},
        {kOk, 0xFF, kBusyFF},   {kOk, 0xFE, kBusyFE},    {kNoKeyboard, 0, kNoKeyboard},
        {kWriteRefused, 0, -1}, {kNoReply, 0, kNoReply},
    };
    for (const auto& row : rows) {
        ScriptedExchanger ex;
        Commands c(ex);
        ex.script.push_back({row.transactResult, row.status, {9, 9, 9}});
        std::array<uint8_t, kConfigSize> config{};
        SCOPED_TRACE(testing::Message()
                     << "transact " << row.transactResult << " status " << int(row.status));
        EXPECT_EQ(c.readConfig(config), row.expected);
        // Data is taken only from a successful reply.
        EXPECT_EQ(config[0], row.expected == kOk ? 9 : 0);
    }
}

TEST(Commands, AFailingChunkEndsTheOperation) {
    ScriptedExchanger ex;
    Commands c(ex);
    ex.script = {{kOk, 0, {1}}, {kOk, 0, {2}}, {kOk, 0xFE, {3}}};
    std::array<uint8_t, kKeyBlockSize> block{};
    EXPECT_EQ(c.readKeyBlock(block, 0), kBusyFE);
    EXPECT_EQ(ex.sent.size(), 3u);
    EXPECT_EQ(block[0], 1);
    EXPECT_EQ(block[56], 2);
    EXPECT_EQ(block[112], 0); // the busy chunk's data is not taken

    ex.sent.clear();
    ex.script = {{kNoReply, 0, {}}};
    std::vector<uint8_t> image(200, 7);
    EXPECT_EQ(c.writeMacroArea(image), kNoReply);
    EXPECT_EQ(ex.sent.size(), 1u);
}

TEST(Commands, AReplyTooShortForWhatTheCommandReadsIsRefused) {
    struct Row {
        const char* name;
        size_t delivered;
        int expected;
    } rows[] = {
        {"whole", 64, kOk},
        {"the configuration block exactly", 8 + 44, kOk},
        {"one byte short of it", 8 + 43, kShortReply},
        {"only the header", 8, kShortReply},
        {"not even the status", 7, kShortReply},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedExchanger ex;
        Commands c(ex);
        AppLinkState state;
        std::vector<uint8_t> config(44);
        config[10] = 2;
        config[11] = 64;
        ex.script.push_back({kOk, 0, config, row.delivered});
        EXPECT_EQ(refreshMacroCapacity(c, state), row.expected);
        // A short configuration block is no macro capacity of 0 (which would refuse every download).
        EXPECT_EQ(state.macroCapacity.load(), row.expected == kOk ? 8192u : 0u);
    }

    // Every read wants its data; every other command at least the status byte.
    ScriptedExchanger ex;
    Commands c(ex);
    std::array<uint8_t, kKeyBlockSize> block{};
    ex.script = {{kOk, 0, {1}, 64}, {kOk, 0, {2}, 8 + 55}};
    EXPECT_EQ(c.readKeyBlock(block, 0), kShortReply);
    std::array<uint8_t, kChunkSize> window{};
    ex.script = {{kOk, 0, {}, 63}};
    EXPECT_EQ(c.readSettings(window, 1, 0), kShortReply) << "settings always deliver 56 bytes";
    ex.script = {{kOk, 0, {}, 8}};
    EXPECT_EQ(c.beginWrite(), kOk);
    ex.script = {{kOk, 0xFF, {}, 7}};
    EXPECT_EQ(c.beginWrite(), kShortReply) << "a busy byte that never arrived is not success either";
}

TEST(Commands, AWriteSequenceSucceedsOnlyWholeAndAFailedOneIsDiscarded) {
    struct Row {
        const char* name;
        std::vector<ScriptedExchanger::Answer> script; // begin, write, end, ...
        int result;
        SequenceStep step;
        std::vector<uint8_t> sent;
    } rows[] = {
        {"all taken", {}, kOk, SequenceStep::None, {CMD_BEGIN_WRITE, CMD_WRITE_SETTINGS, CMD_END_WRITE}},
        {"begin busy", {{kOk, 0xFF, {}}}, kBusyFF, SequenceStep::Begin, {CMD_BEGIN_WRITE}},
        {"write busy",
         {{kOk, 0, {}}, {kOk, 0xFE, {}}},
         kBusyFE,
         SequenceStep::Write,
         {CMD_BEGIN_WRITE, CMD_WRITE_SETTINGS, CMD_BEGIN_WRITE, CMD_END_WRITE}},
        {"end busy",
         {{kOk, 0, {}}, {kOk, 0, {}}, {kOk, 0xFF, {}}},
         kBusyFF,
         SequenceStep::End,
         {CMD_BEGIN_WRITE, CMD_WRITE_SETTINGS, CMD_END_WRITE, CMD_BEGIN_WRITE, CMD_END_WRITE}},
        {"keyboard gone",
         {{kOk, 0, {}}, {kNoKeyboard, 0, {}}},
         kNoKeyboard,
         SequenceStep::Write,
         {CMD_BEGIN_WRITE, CMD_WRITE_SETTINGS}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedExchanger ex;
        Commands c(ex, LinkTiming{}.scaledDown(1000));
        ex.script.assign(row.script.begin(), row.script.end());
        const uint8_t rate[] = {1};
        SequenceResult r = c.writeSequence([&] { return c.writeSettings(rate, 15); });
        EXPECT_EQ(r.result, row.result);
        EXPECT_EQ(r.step, row.step);
        std::vector<uint8_t> sent;
        for (const auto& report : ex.sent) {
            sent.push_back(report[kOffCommand]);
        }
        EXPECT_EQ(sent, row.sent);
    }
}

TEST(Commands, WithVerifyOnWhatWasWrittenIsReadBackAfterEndWrite) {
    using A = ScriptedExchanger::Answer;
    const A taken{kOk, 0, {}};
    struct Row {
        const char* name;
        bool verify;
        A read; // the answer to the read-back
        int result;
        SequenceStep step;
        std::optional<WriteMismatch> mismatch;
    } rows[] = {
        {"kept", true, {kOk, 0, {2, 3}}, kOk, SequenceStep::None, std::nullopt},
        {"not kept",
         true,
         {kOk, 0, {2, 0}},
         kVerifyMismatch,
         SequenceStep::Verify,
         WriteMismatch{WriteArea::Settings, 16, 3, 0}},
        {"read busy", true, {kOk, 0xFF, {2, 3}}, kBusyFF, SequenceStep::Verify, std::nullopt},
        {"read reply too short", true, {kOk, 0, {2, 3}, 20}, kShortReply, SequenceStep::Verify, std::nullopt},
        {"off", false, {}, kOk, SequenceStep::None, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedExchanger ex;
        Commands c(ex, LinkTiming{}.scaledDown(1000));
        c.setVerifyWrites(row.verify);
        ex.script = {taken, taken, taken, taken, row.read};
        const uint8_t rate[] = {2};
        const uint8_t next[] = {3};
        SequenceResult r = c.writeSequence([&] {
            int rc = c.writeSettings(rate, 15);
            return rc == kOk ? c.writeSettings(next, 16) : rc;
        });
        EXPECT_EQ(r.result, row.result);
        EXPECT_EQ(r.step, row.step);
        EXPECT_EQ(r.mismatch, row.mismatch);
        EXPECT_EQ(c.lastMismatch(), row.mismatch);
        if (!row.verify) {
            EXPECT_EQ(ex.sent.size(), 4u) << "nothing is read";
            continue;
        }
        // Both one-byte writes are read back in one report, after the frame is closed.
        ASSERT_EQ(ex.sent.size(), 5u);
        EXPECT_EQ(ex.sent[3][kOffCommand], CMD_END_WRITE);
        EXPECT_EQ(ex.sent[4][kOffCommand], CMD_READ_SETTINGS);
        EXPECT_EQ(ex.sent[4][kOffLength], 2);
        EXPECT_EQ(address(ex.sent[4]), 15);
        expectWellFramed(ex.sent[4]);
    }
}

TEST(Commands, OnlyTheWritesOfTheLastFrameAreReadBack) {
    ScriptedExchanger ex;
    Commands c(ex, LinkTiming{}.scaledDown(1000));
    c.setVerifyWrites(true);
    // A key block chunk refused half-way: that sequence is discarded, and the next one writes colours.
    std::array<uint8_t, kKeyBlockSize> block{};
    ex.script = {{}, {}, {kOk, 0xFF, {}}};
    EXPECT_EQ(c.writeSequence([&] { return c.writeKeyBlock(block, 0); }).step, SequenceStep::Write);
    ex.script.clear();
    ex.sent.clear();
    ex.defaultData = std::vector<uint8_t>(kChunkSize, 0);
    const uint8_t rgb[] = {0, 0, 0};
    EXPECT_TRUE(c.writeSequence([&] { return c.writeColours(rgb, 4, 1); }).ok());
    std::vector<uint8_t> commands;
    for (const auto& r : ex.sent) {
        commands.push_back(r[kOffCommand]);
    }
    EXPECT_EQ(commands,
              (std::vector<uint8_t>{CMD_BEGIN_WRITE, CMD_WRITE_COLOURS, CMD_END_WRITE, CMD_READ_COLOURS}));
    EXPECT_EQ(address(ex.sent.back()), 512 + 12);
}

TEST(Commands, TheFrameKeepsOtherThreadsAndProcessesOutAndIsReentrant) {
    const auto lockFile = std::filesystem::temp_directory_path() /
                          ("tarvik-frame-" + std::to_string(::getpid())) / "device.lock";
    LinkTiming t = LinkTiming{}.scaledDown(1000);
    t.sequenceWait = std::chrono::milliseconds(30);
    ScriptedExchanger ex;
    Commands mine(ex, t, lockFile);
    {
        // Another process: another open of the same lock file.
        ScriptedExchanger theirsEx;
        Commands theirs(theirsEx, t, lockFile);
        Commands::Frame held = theirs.frame();
        ASSERT_TRUE(held);
        EXPECT_EQ(mine.beginWrite(), kLinkBusy);
        EXPECT_TRUE(ex.sent.empty());
        // The holder's own commands nest inside its frame.
        EXPECT_EQ(theirs.beginWrite(), kOk);
        EXPECT_EQ(theirs.endWrite(), kOk);
    }
    EXPECT_EQ(mine.beginWrite(), kOk);

    // Another thread of this process.
    Commands::Frame held = mine.frame();
    ASSERT_TRUE(held);
    int other = kOk;
    std::thread([&] { other = mine.endWrite(); }).join();
    EXPECT_EQ(other, kLinkBusy);
    EXPECT_EQ(ex.sent.size(), 1u);

    // Closed: nothing waits and nothing is sent.
    mine.close();
    std::thread([&] { other = mine.endWrite(); }).join();
    EXPECT_EQ(other, kNoKeyboard);
    EXPECT_EQ(ex.sent.size(), 1u);
    std::filesystem::remove_all(lockFile.parent_path());
}

// A lock file that cannot be had (its folder open to others, as a pre-created one in /tmp would be) is a
// failure of every sequence, never a sequence that runs without it.
TEST(Commands, WithoutItsLockFileNothingIsSent) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("tarvik-open-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::filesystem::permissions(folder, std::filesystem::perms::all);
    ScriptedExchanger ex;
    Commands c(ex, LinkTiming{}.scaledDown(1000), folder / "device.lock");
    EXPECT_EQ(c.beginWrite(), kLockUnavailable);
    EXPECT_FALSE(c.frame());
    EXPECT_TRUE(ex.sent.empty());
    std::filesystem::remove_all(folder);
}

TEST(OnBoardProfile, CurrentProfileIsReadOnceAndCached) {
    ScriptedExchanger ex;
    Commands c(ex);
    AppLinkState state;
    std::vector<uint8_t> config(44);
    config[10] = 2;
    config[11] = 64;
    ex.defaultData = config;
    EXPECT_EQ(currentOnBoardProfile(c, state), 2);
    EXPECT_EQ(currentOnBoardProfile(c, state), 2);
    EXPECT_EQ(ex.sent.size(), 1u);
    EXPECT_EQ(state.currentProfile.load(), 2);

    state.currentProfile = -1;
    ex.script = {{kNoReply, 0, {}}};
    EXPECT_EQ(currentOnBoardProfile(c, state), -1);
    EXPECT_EQ(state.currentProfile.load(), -1);

    config[10] = 3; // not a profile
    ex.defaultData = config;
    EXPECT_EQ(currentOnBoardProfile(c, state), -1);
    EXPECT_EQ(state.currentProfile.load(), -1);
}

TEST(OnBoardProfile, SelectWritesBackTheBlockWithTheNewProfile) {
    ScriptedExchanger ex;
    Commands c(ex);
    AppLinkState state;
    std::vector<uint8_t> config(44);
    std::iota(config.begin(), config.end(), uint8_t{40});
    ex.defaultData = config;

    EXPECT_EQ(selectOnBoardProfile(c, state, 1), kOk);
    ASSERT_EQ(ex.sent.size(), 2u);
    EXPECT_EQ(ex.sent[0][3], CMD_READ_CONFIG);
    EXPECT_EQ(ex.sent[1][3], CMD_WRITE_CONFIG);
    for (size_t i = 0; i < 44; ++i) {
        EXPECT_EQ(ex.sent[1][8 + i], i == 10 ? 1 : config[i]) << "byte " << i;
    }
    EXPECT_EQ(state.currentProfile.load(), 1);

    ex.script = {{kOk, 0, config}, {kOk, 0xFF, {}}};
    EXPECT_EQ(selectOnBoardProfile(c, state, 2), kBusyFF);
    EXPECT_EQ(state.currentProfile.load(), -1);

    ex.sent.clear();
    state.currentProfile = 0;
    EXPECT_EQ(selectOnBoardProfile(c, state, -1), kOk);
    EXPECT_EQ(selectOnBoardProfile(c, state, 3), kBadBlock);
    EXPECT_TRUE(ex.sent.empty());
    EXPECT_EQ(state.currentProfile.load(), 0);
}

TEST(OnBoardProfile, MacroCapacityComesFromByteEleven) {
    ScriptedExchanger ex;
    Commands c(ex);
    AppLinkState state;
    std::vector<uint8_t> config(44);
    config[11] = 64;
    ex.defaultData = config;
    EXPECT_EQ(refreshMacroCapacity(c, state), kOk);
    EXPECT_EQ(state.macroCapacity.load(), 8192u);
    ex.script = {{kNoReply, 0, {}}};
    EXPECT_EQ(refreshMacroCapacity(c, state), kNoReply);
    EXPECT_EQ(state.macroCapacity.load(), 8192u); // kept
}

} // namespace
} // namespace tarvik::device
