// The virtual keyboard through the library: every command with its areas and chunk addresses, staging
// and commit, the state file, protocol violations, plugging and consumer codes.
#include "tests/portmux/SimFixture.h"
#include "tests/support/ScopedEnv.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/file.h>
#include <unistd.h>

namespace portmux::test {
namespace {

using sim::Area;

class PortmuxSimCommands : public SimLibTest {};

TEST_F(PortmuxSimCommands, ReadConfigAnswersTheFactoryBlock) {
    const Report reply = ok(request(sim::kReadConfig, 44));
    EXPECT_EQ(reply[0], 0x04);
    EXPECT_EQ(reply[8 + 10], 0) << "current profile";
    EXPECT_EQ(reply[8 + 11], 64) << "macro capacity 64 x 128 = 8192 bytes";
    std::vector<uint8_t> modes(reply.begin() + 8 + 12, reply.begin() + 8 + 44);
    std::vector<uint8_t> expected = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 20};
    expected.resize(32, 0);
    EXPECT_EQ(modes, expected);
    // The reply carries its own checksum.
    uint32_t sum = 0;
    for (size_t i = 3; i < 64; ++i) {
        sum += reply[i];
    }
    EXPECT_EQ(reply[1] | (reply[2] << 8), static_cast<int>(sum & 0xFFFF));
    expectNoViolations();
}

struct CommandCase {
    uint8_t command;
    uint8_t length;
    uint16_t address;
    bool inFrame;
};

TEST_F(PortmuxSimCommands, EveryCommandOfTheTableIsAnswered) {
    const CommandCase cases[] = {
        {sim::kBeginWrite, 0, 0, false},
        {sim::kEndWrite, 0, 0, false},
        {sim::kReadConfig, 44, 0, false},
        {sim::kWriteConfig, 44, 0, false},
        {sim::kReadSettings, 56, 42, false},
        {sim::kWriteSettings, 1, 57, true},
        {sim::kReadKeys, 56, 378, false},
        {sim::kWriteKeys, 42, 714, true},
        {sim::kReadMacros, 16, 0, false},
        {sim::kWriteMacros, 56, 8136, true},
        {sim::kCmd0B, 0, 0, false},
        {sim::kCmd0C, 0, 0, false},
        {sim::kCmd0D, 0, 0, false},
        {sim::kCmd0E, 0, 0, false},
        {sim::kReadDefaultKeys, 42, 336, false},
        {sim::kReadColours, 3, 512 + 9, false},
        {sim::kWriteColours, 3, 1024 + 3, true},
    };
    std::set<uint8_t> covered;
    const std::vector<uint8_t> config = sim->area(Area::Config);
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.command));
        if (c.inFrame) {
            ok(request(sim::kBeginWrite));
        }
        std::vector<uint8_t> data;
        if (c.command == sim::kWriteConfig) {
            data = config;
        }
        ok(request(c.command, c.length, c.address, data));
        if (c.inFrame) {
            ok(request(sim::kEndWrite));
        }
        covered.insert(c.command);
    }
    EXPECT_EQ(covered.size(), 17u) << "0x01 to 0x11";
    expectNoViolations();
}

TEST_F(PortmuxSimCommands, WriteKeyBlockOneLandsAt378To755) {
    const std::vector<uint8_t> block = pattern(sim::kKeyBlockSize, 0x11);
    const std::vector<uint8_t> before = sim->area(Area::KeyBlocks);
    sim->clearReports();
    writeChunked(sim::kWriteKeys, 1 * 378, block);

    const auto reports = sim->reports();
    ASSERT_EQ(reports.size(), 9u) << "begin, seven chunks, end";
    const uint16_t addresses[] = {378, 434, 490, 546, 602, 658, 714};
    const uint8_t lengths[] = {56, 56, 56, 56, 56, 56, 42};
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(reports[1 + i][3], sim::kWriteKeys);
        EXPECT_EQ(addressOf(reports[1 + i]), addresses[i]);
        EXPECT_EQ(reports[1 + i][4], lengths[i]);
    }
    const std::vector<uint8_t> after = sim->area(Area::KeyBlocks);
    EXPECT_TRUE(std::equal(after.begin(), after.begin() + 378, before.begin())) << "block 0 untouched";
    EXPECT_TRUE(std::equal(block.begin(), block.end(), after.begin() + 378)) << "block 1 at 378..755";
    EXPECT_TRUE(std::equal(after.begin() + 756, after.end(), before.begin() + 756)) << "block 2 untouched";
    EXPECT_EQ(readChunked(sim::kReadKeys, 378, 378), block);
    expectNoViolations();
}

TEST_F(PortmuxSimCommands, FactoryKeyBlocksAndDefaultBlockAreTheDefaultLayout) {
    const std::vector<uint8_t> def = readChunked(sim::kReadDefaultKeys, 0, 378);
    ASSERT_EQ(def.size(), 378u);
    // A few entries of the built-in layout: slot 0 {05 00 00}, slot 8 {02 02 29}, slot 53 {05 02 02},
    // slot 112 {03 B6 00}, slot 125 {00 00 00}.
    EXPECT_EQ(std::vector<uint8_t>(def.begin(), def.begin() + 3), (std::vector<uint8_t>{0x05, 0x00, 0x00}));
    EXPECT_EQ(std::vector<uint8_t>(def.begin() + 24, def.begin() + 27),
              (std::vector<uint8_t>{0x02, 0x02, 0x29}));
    EXPECT_EQ(std::vector<uint8_t>(def.begin() + 159, def.begin() + 162),
              (std::vector<uint8_t>{0x05, 0x02, 0x02}));
    EXPECT_EQ(std::vector<uint8_t>(def.begin() + 336, def.begin() + 339),
              (std::vector<uint8_t>{0x03, 0xB6, 0x00}));
    EXPECT_EQ(std::vector<uint8_t>(def.begin() + 375, def.end()), (std::vector<uint8_t>{0, 0, 0}));
    EXPECT_EQ(def, sim->area(Area::DefaultKeyBlock));
    for (uint16_t n = 0; n < 3; ++n) {
        EXPECT_EQ(readChunked(sim::kReadKeys, static_cast<uint16_t>(n * 378), 378), def) << "block " << n;
    }
    expectNoViolations();
}

TEST_F(PortmuxSimCommands, MacroWriteOfHundredBytesTakesTwoChunks) {
    const std::vector<uint8_t> image = pattern(100, 0x40);
    sim->clearReports();
    writeChunked(sim::kWriteMacros, 0, image);
    const auto reports = sim->reports();
    ASSERT_EQ(reports.size(), 4u);
    EXPECT_EQ(reports[1][4], 56);
    EXPECT_EQ(addressOf(reports[1]), 0);
    EXPECT_EQ(reports[2][4], 44);
    EXPECT_EQ(addressOf(reports[2]), 56);
    const auto macros = sim->area(Area::Macros);
    ASSERT_EQ(macros.size(), 8192u);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), macros.begin()));
    EXPECT_EQ(macros[100], 0);
    EXPECT_EQ(readChunked(sim::kReadMacros, 0, 100), image);
    expectNoViolations();
}

TEST_F(PortmuxSimCommands, FactoryMacroAreaIsAnEmptyImage) {
    const std::vector<uint8_t> header = readChunked(sim::kReadMacros, 0, 16);
    EXPECT_EQ(header, (std::vector<uint8_t>{0xAA, 0x55, 0x10, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    // The last chunk of the area is readable, one past it is not.
    ok(request(sim::kReadMacros, 56, 8192 - 56));
    expectNoViolations();
}

TEST_F(PortmuxSimCommands, WritesAreStagedAndCommittedAtEnd) {
    const std::vector<uint8_t> before = sim->area(Area::Settings);
    ok(request(sim::kBeginWrite));
    EXPECT_TRUE(sim->frameOpen());
    ok(request(sim::kWriteSettings, 1, 42 + 1, {4}));
    EXPECT_EQ(sim->area(Area::Settings), before) << "nothing committed inside the frame";
    EXPECT_EQ(ok(request(sim::kReadSettings, 56, 42))[8 + 1], 4)
        << "reads inside the frame see the staged copy";
    EXPECT_EQ(sim->commitCount(), 0u);
    ok(request(sim::kEndWrite));
    EXPECT_FALSE(sim->frameOpen());
    EXPECT_EQ(sim->commitCount(), 1u);
    EXPECT_EQ(sim->area(Area::Settings)[42 + 1], 4);
    // Only that byte changed.
    auto after = sim->area(Area::Settings);
    after[42 + 1] = before[42 + 1];
    EXPECT_EQ(after, before);
    expectNoViolations();
}

TEST_F(PortmuxSimCommands, BeginAgainRestartsTheFrameAndUnplugDropsIt) {
    ok(request(sim::kBeginWrite));
    ok(request(sim::kWriteColours, 3, 0, {1, 2, 3}));
    ok(request(sim::kBeginWrite));
    ok(request(sim::kEndWrite));
    EXPECT_EQ(sim->area(Area::Colours)[0], 0xFF) << "the second begin forgot the first frame";

    ok(request(sim::kBeginWrite));
    ok(request(sim::kWriteColours, 3, 0, {1, 2, 3}));
    ASSERT_TRUE(sim->unplug());
    ASSERT_TRUE(sim->plug());
    EXPECT_FALSE(sim->frameOpen());
    ok(request(sim::kEndWrite));
    EXPECT_EQ(sim->area(Area::Colours)[0], 0xFF) << "unplugging lost the staged write";
    EXPECT_EQ(sim->commitCount(), 0u);
    expectNoViolations();
}

TEST_F(PortmuxSimCommands, EndWithoutBeginIsHarmless) {
    ok(request(sim::kEndWrite));
    EXPECT_EQ(sim->commitCount(), 0u);
    expectNoViolations();
}

TEST_F(PortmuxSimCommands, FactorySettingsAreTheRestoreDefaultsBlock) {
    const std::vector<uint8_t> block = {0x01, 0x05, 0x03, 0xFF, 0x01, 0xFF, 0x00, 0x00, 0x08,
                                        0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00,
                                        0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF,
                                        0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00};
    for (uint16_t p = 0; p < 3; ++p) {
        const Report reply = ok(request(sim::kReadSettings, 56, static_cast<uint16_t>(p * 42)));
        EXPECT_TRUE(std::equal(block.begin(), block.end(), reply.begin() + 8)) << "profile " << p;
        EXPECT_TRUE(
            std::all_of(reply.begin() + 8 + 35, reply.begin() + 8 + 42, [](uint8_t b) { return b == 0; }));
    }
    expectNoViolations();
}

TEST_F(PortmuxSimCommands, ReadSettingsAlwaysAnswers56Bytes) {
    std::vector<uint8_t> settings = pattern(126, 1);
    ASSERT_TRUE(sim->setArea(Area::Settings, 0, settings));
    // Profile 2 at 84: 42 bytes of the record, then 14 bytes past the area that read as 0.
    const Report reply = ok(request(sim::kReadSettings, 56, 84));
    EXPECT_TRUE(std::equal(settings.begin() + 84, settings.end(), reply.begin() + 8));
    EXPECT_TRUE(std::all_of(reply.begin() + 8 + 42, reply.end(), [](uint8_t b) { return b == 0; }));
    // Whatever length was asked for.
    const Report shortAsk = ok(request(sim::kReadSettings, 1, 0));
    EXPECT_TRUE(std::equal(settings.begin(), settings.begin() + 56, shortAsk.begin() + 8));
    expectNoViolations();
}

TEST_F(PortmuxSimCommands, ColoursAreAddressedByProfileAndKey) {
    ok(request(sim::kBeginWrite));
    ok(request(sim::kWriteColours, 3, 2 * 512 + 10 * 3, {0x10, 0x20, 0x30}));
    ok(request(sim::kEndWrite));
    const auto colours = sim->area(Area::Colours);
    EXPECT_EQ(colours[1054], 0x10);
    EXPECT_EQ(colours[1055], 0x20);
    EXPECT_EQ(colours[1056], 0x30);
    EXPECT_EQ(colours[1053], 0xFF);
    const Report reply = ok(request(sim::kReadColours, 3, 2 * 512 + 10 * 3));
    EXPECT_EQ(reply[8], 0x10);
    EXPECT_EQ(reply[10], 0x30);
    EXPECT_EQ(reply[11], 0xFF) << "56 bytes from the address";
    expectNoViolations();
}

TEST_F(PortmuxSimCommands, WriteConfigSelectsTheProfileWithoutAFrame) {
    std::vector<uint8_t> config = sim->area(Area::Config);
    config[10] = 2;
    config[11] = 1;  // the capacity belongs to the hardware
    config[12] = 99; // and so does the mode list
    config[3] = 0x5A;
    ok(request(sim::kWriteConfig, 44, 0, config));
    const auto stored = sim->area(Area::Config);
    EXPECT_EQ(stored[10], 2);
    EXPECT_EQ(stored[11], 64);
    EXPECT_EQ(stored[12], 1);
    EXPECT_EQ(stored[3], 0x5A);
    EXPECT_EQ(sim->commitCount(), 1u);
    EXPECT_EQ(ok(request(sim::kReadConfig, 44))[8 + 10], 2);
    expectNoViolations();

    config[10] = 3;
    const auto refused = exchange(request(sim::kWriteConfig, 44, 0, config));
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ((*refused)[7], static_cast<uint8_t>(sim::Violation::BadValue));
    EXPECT_EQ(sim->area(Area::Config)[10], 2);
    ASSERT_EQ(sim->violationCount(), 1u);
    EXPECT_EQ(sim->violations()[0].reason, sim::Violation::BadValue);
}

TEST_F(PortmuxSimCommands, BadChecksumIsCountedAndNotExecuted) {
    ok(request(sim::kBeginWrite));
    Report bad = request(sim::kWriteSettings, 1, 0, {5});
    bad[1] ^= 0x01;
    const auto reply = exchange(bad);
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ((*reply)[3], sim::kWriteSettings);
    EXPECT_EQ((*reply)[7], static_cast<uint8_t>(sim::Violation::BadChecksum));
    ok(request(sim::kEndWrite));
    EXPECT_EQ(sim->area(Area::Settings)[0], 0x01) << "not executed";
    EXPECT_EQ(sim->commitCount(), 0u);
    ASSERT_EQ(sim->violationCount(), 1u);
    const auto v = sim->violations()[0];
    EXPECT_EQ(v.reason, sim::Violation::BadChecksum);
    EXPECT_EQ(v.command, sim::kWriteSettings);
    EXPECT_NE(sim->violationSummary().find("checksum"), std::string::npos);
}

struct ViolationCase {
    const char* name;
    uint8_t command;
    uint8_t length;
    uint16_t address;
    bool inFrame;
    sim::Violation reason;
};

TEST_F(PortmuxSimCommands, ReportsBreakingTheRulesAreViolations) {
    const ViolationCase cases[] = {
        {"unknown 0x00", 0x00, 0, 0, false, sim::Violation::UnknownCommand},
        {"unknown 0x12", 0x12, 0, 0, false, sim::Violation::UnknownCommand},
        {"unknown 0xEE alone", 0xEE, 0, 0, false, sim::Violation::UnknownCommand},
        {"settings write outside a frame", sim::kWriteSettings, 1, 0, false,
         sim::Violation::WriteOutsideFrame},
        {"keys write outside a frame", sim::kWriteKeys, 56, 0, false, sim::Violation::WriteOutsideFrame},
        {"macros write outside a frame", sim::kWriteMacros, 56, 0, false, sim::Violation::WriteOutsideFrame},
        {"colours write outside a frame", sim::kWriteColours, 3, 0, false, sim::Violation::WriteOutsideFrame},
        {"settings write past the area", sim::kWriteSettings, 7, 120, true, sim::Violation::OutOfArea},
        {"settings write of length 0", sim::kWriteSettings, 0, 0, true, sim::Violation::OutOfArea},
        {"keys write of 57 bytes", sim::kWriteKeys, 57, 0, true, sim::Violation::OutOfArea},
        {"keys read past block 2", sim::kReadKeys, 5, 1130, false, sim::Violation::OutOfArea},
        {"macros write past the capacity", sim::kWriteMacros, 56, 8137, true, sim::Violation::OutOfArea},
        {"macros read of length 0", sim::kReadMacros, 0, 0, false, sim::Violation::OutOfArea},
        {"default keys read past the block", sim::kReadDefaultKeys, 56, 336, false,
         sim::Violation::OutOfArea},
        {"colours write past the table", sim::kWriteColours, 2, 1535, true, sim::Violation::OutOfArea},
        {"colours read past the table", sim::kReadColours, 3, 1536, false, sim::Violation::OutOfArea},
        {"config read at address 1", sim::kReadConfig, 43, 1, false, sim::Violation::OutOfArea},
        {"config write of 45 bytes", sim::kWriteConfig, 45, 0, false, sim::Violation::OutOfArea},
        {"settings read at 126", sim::kReadSettings, 1, 126, false, sim::Violation::OutOfArea},
        {"settings read of 57 bytes", sim::kReadSettings, 57, 0, false, sim::Violation::OutOfArea},
    };
    const auto flashBefore =
        std::vector<std::vector<uint8_t>>{sim->area(Area::Settings), sim->area(Area::KeyBlocks),
                                          sim->area(Area::Macros), sim->area(Area::Colours)};
    uint32_t expected = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.inFrame) {
            ok(request(sim::kBeginWrite));
        }
        const auto reply = exchange(request(c.command, c.length, c.address, pattern(56, 3)));
        ASSERT_TRUE(reply.has_value());
        EXPECT_EQ((*reply)[3], c.command);
        EXPECT_EQ((*reply)[7], static_cast<uint8_t>(c.reason));
        if (c.inFrame) {
            ok(request(sim::kEndWrite));
        }
        ++expected;
        ASSERT_EQ(sim->violationCount(), expected);
        EXPECT_EQ(sim->violations().back().reason, c.reason);
    }
    const auto flashAfter =
        std::vector<std::vector<uint8_t>>{sim->area(Area::Settings), sim->area(Area::KeyBlocks),
                                          sim->area(Area::Macros), sim->area(Area::Colours)};
    EXPECT_EQ(flashAfter, flashBefore) << "none of them was executed";
    EXPECT_EQ(sim->commitCount(), 0u);

    Report wrongId = request(sim::kReadConfig, 44);
    wrongId[0] = 0x05;
    const auto reply = exchange(wrongId);
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ((*reply)[7], static_cast<uint8_t>(sim::Violation::BadReportId));
}

TEST_F(PortmuxSimCommands, EveryReportReceivedIsRecorded) {
    std::vector<Report> sent = {request(sim::kReadConfig, 44), request(sim::kBeginWrite),
                                request(sim::kWriteSettings, 1, 15, {2}), request(sim::kEndWrite)};
    for (const auto& r : sent) {
        ok(r);
    }
    EXPECT_EQ(sim->reports(), sent);
    EXPECT_EQ(sim->reportCount(), 4u);
    sim->clearReports();
    EXPECT_TRUE(sim->reports().empty());
    // A short report reaches the keyboard padded with zeros.
    const UnitId u = kConfigUnit;
    const uint8_t shortReport[8] = {0x04, 0x03, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00};
    ASSERT_GT(
        lib->RequestWriteOne(&u, nullptr, 0, shortReport, 8, checkOf(u, nullptr, 0, shortReport, 8), nullptr),
        0);
    ASSERT_TRUE(sim->waitIdle(2000));
    ASSERT_EQ(sim->reports().size(), 1u);
    EXPECT_EQ(sim->reports()[0], request(sim::kReadConfig, 0));
    expectNoViolations();
}

TEST_F(PortmuxSimCommands, TheRecordKeepsTheNewestAndCountsEveryViolation) {
    struct RestoreLimit {
        PortmuxSimControl* s;
        ~RestoreLimit() { s->setRecordLimit(sim::kDefaultRecordLimit); }
    } restore{sim};
    EXPECT_EQ(sim->recordLimit(), sim::kDefaultRecordLimit);
    sim->setRecordLimit(5);
    std::vector<Report> sent;
    for (uint8_t i = 0; i < 12; ++i) {
        sent.push_back(request(sim::kReadSettings, 56, i));
        ok(sent.back());
    }
    EXPECT_EQ(sim->reports(), std::vector<Report>(sent.end() - 5, sent.end()));
    EXPECT_EQ(sim->reportCount(), 5u);
    EXPECT_EQ(sim->reportTotal(), 12u);

    for (uint8_t i = 0; i < 7; ++i) {
        Report bad = request(sim::kReadSettings, 56, i);
        bad[1] ^= 0x01;
        ASSERT_TRUE(exchange(bad).has_value());
        sent.push_back(bad);
    }
    EXPECT_EQ(sim->violationCount(), 7u) << "every violation counts, also those the record dropped";
    const auto kept = sim->violations();
    ASSERT_EQ(kept.size(), 5u);
    EXPECT_EQ(kept.front().address, 2);
    EXPECT_EQ(kept.back().address, 6);
    const std::string summary = sim->violationSummary();
    EXPECT_EQ(std::count(summary.begin(), summary.end(), '\n'), 5);

    sim->setRecordLimit(2); // shrinking drops the oldest at once
    EXPECT_EQ(sim->reports(), std::vector<Report>(sent.end() - 2, sent.end()));
    EXPECT_EQ(sim->violations().size(), 2u);
    sim->setRecordLimit(0);
    EXPECT_EQ(sim->recordLimit(), 1u) << "the record keeps at least the last report";
    sim->clearReports();
    EXPECT_EQ(sim->reportTotal(), 0u);
    EXPECT_TRUE(sim->reports().empty());
}

TEST_F(PortmuxSimCommands, PlugAndUnplugReachTheCtrlRegistrationOnly) {
    EXPECT_EQ(sim->keyboardCount(), 1);
    EXPECT_FALSE(sim->plug()) << "already attached: no change";
    ASSERT_TRUE(sim->unplug());
    EXPECT_FALSE(sim->unplug());
    EXPECT_EQ(sim->keyboardCount(), 0);
    ASSERT_TRUE(sim->plug());
    ASSERT_TRUE(sim->waitIdle(2000));
    const auto changes = Recorder::get().notes(PORTMUX_TAG_CTRL, PORTMUX_KIND_DEVICE_SET);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].count, 0u);
    EXPECT_EQ(changes[1].count, 1u);
    EXPECT_TRUE(Recorder::get().notes(PORTMUX_TAG_CONS, PORTMUX_KIND_DEVICE_SET).empty());
    EXPECT_TRUE(Recorder::get().notes(PORTMUX_TAG_CTRL, PORTMUX_KIND_REPORT).empty());
}

TEST_F(PortmuxSimCommands, ConsumerCodesReachTheConsRegistrationOnly) {
    for (uint16_t usage : {0x02FF, 0x0401, 0x1810, 0x1811, 0x1801, 0xABCD}) {
        ASSERT_TRUE(sim->sendConsumer(usage));
    }
    ASSERT_TRUE(sim->waitIdle(2000));
    const auto notes = Recorder::get().notes(PORTMUX_TAG_CONS, PORTMUX_KIND_REPORT);
    ASSERT_EQ(notes.size(), 6u);
    EXPECT_EQ(notes[0].usage, 0x02FF);
    EXPECT_TRUE(notes[0].hasUsage);
    EXPECT_EQ(notes[0].bytes, (std::vector<uint8_t>{0x03, 0xFF, 0x02}));
    EXPECT_EQ(notes[5].usage, 0xABCD);
    EXPECT_TRUE(Recorder::get().notes(PORTMUX_TAG_CTRL, PORTMUX_KIND_REPORT).empty());
    ASSERT_TRUE(sim->unplug());
    EXPECT_FALSE(sim->sendConsumer(0x02FF)) << "a detached keyboard sends nothing";
}

TEST_F(PortmuxSimCommands, ResetClearsEverything) {
    ok(request(sim::kBeginWrite));
    ok(request(sim::kWriteSettings, 1, 0, {9}));
    ok(request(sim::kEndWrite));
    exchange(request(0x30));
    sim->injectFault({sim::FaultKind::BusyFF, 5});
    sim->setLatencyMs(500);
    ASSERT_TRUE(sim->unplug());
    sim->reset();
    EXPECT_EQ(sim->keyboardCount(), 1);
    EXPECT_EQ(sim->pendingFaults(), 0u);
    EXPECT_EQ(sim->violationCount(), 0u);
    EXPECT_EQ(sim->reportCount(), 0u);
    EXPECT_EQ(sim->commitCount(), 0u);
    EXPECT_EQ(sim->area(Area::Settings)[0], 0x01);
    ok(request(sim::kReadConfig, 44)); // answered at once: latency back to 0, no busy fault
}

using tarvik::testsupport::ScopedEnv;

// A folder of the build tree (never the real home folder).
std::filesystem::path freshFolder(const char* name) {
    std::filesystem::path dir = std::filesystem::path(PORTMUX_TEST_WORK_DIR) / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// A daemon that starts on the state file later owns it (it holds FILE.lock): this in-process keyboard
// leaves the file alone and steps aside as an unplug, so the write it could not keep fails.
TEST_F(PortmuxSimCommands, AStateFileADaemonKeepsIsNotOverwrittenInProcess) {
    const auto dir = freshFolder("sim-held");
    const std::string file = (dir / "kbd.bin").string();
    EXPECT_FALSE(sim->setStatePath(file));
    writeChunked(sim::kWriteKeys, 0, pattern(56, 0x21));
    auto bytes = [&] {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string before = bytes();
    ASSERT_FALSE(before.empty());
    const int daemon = ::open((file + ".lock").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(daemon, 0);
    ASSERT_EQ(::flock(daemon, LOCK_EX), 0); // another open file description: as another process holds it
    ok(request(sim::kBeginWrite));
    ok(request(sim::kWriteKeys, 56, 0, pattern(56, 0x55)));
    EXPECT_FALSE(exchange(request(sim::kEndWrite), std::chrono::milliseconds(300)).has_value());
    EXPECT_EQ(bytes(), before);
    ::close(daemon);
    EXPECT_TRUE(sim->plug());
}

TEST_F(PortmuxSimCommands, FlashPersistsAcrossAReloadOfTheStateFile) {
    const auto dir = freshFolder("sim-persist");
    const std::string file = (dir / "nested" / "kbd.bin").string();
    EXPECT_FALSE(sim->setStatePath(file)) << "no file yet: factory state";
    const std::vector<uint8_t> block = pattern(378, 0x21);
    writeChunked(sim::kWriteKeys, 756, block);
    ASSERT_TRUE(std::filesystem::exists(file));
    for (const auto& e : std::filesystem::directory_iterator(dir / "nested")) {
        // Beside the file only its lock, which tells in-process keyboards whether a daemon keeps it.
        EXPECT_TRUE(e.path().filename() == "kbd.bin" || e.path().filename() == "kbd.bin.lock")
            << "no temporary file left behind: " << e.path();
    }
    // Change the flash without saving, then reload: the saved state comes back.
    EXPECT_FALSE(sim->setStatePath("")) << "no file: factory state, not persisted";
    EXPECT_NE(sim->area(Area::KeyBlocks)[756], block[0]);
    ASSERT_TRUE(sim->setStatePath(file));
    auto keys = sim->area(Area::KeyBlocks);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), keys.begin() + 756));
    EXPECT_TRUE(sim->reloadState());

    // A new start of the library with PORTMUX_SIM_STATE naming the file finds the same flash.
    lib->DeleteRequestFromUnitId(ctrl);
    lib->DeleteRequestFromUnitId(cons);
    ASSERT_EQ(lib->End(), 1);
    {
        ScopedEnv env("PORTMUX_SIM_STATE", file);
        ASSERT_GT(lib->Init(0), 0);
    }
    ASSERT_EQ(lib->sim(), sim);
    EXPECT_EQ(sim->statePath(), file);
    keys = sim->area(Area::KeyBlocks);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), keys.begin() + 756));
    ctrl = registerRead(kConfigUnit, PORTMUX_TAG_CTRL);
    cons = registerRead(kConsumerUnit, PORTMUX_TAG_CONS);
    EXPECT_EQ(readChunked(sim::kReadKeys, 756, 378), block);

    // A short or corrupt file gives the factory state, never a crash.
    const auto full = std::filesystem::file_size(file);
    std::filesystem::resize_file(file, full / 2);
    EXPECT_FALSE(sim->reloadState());
    EXPECT_EQ(sim->area(Area::KeyBlocks)[756], sim->area(Area::DefaultKeyBlock)[0]);
    {
        std::ofstream garbage(file, std::ios::binary | std::ios::trunc);
        garbage << std::string(static_cast<size_t>(full), 'x');
    }
    EXPECT_FALSE(sim->reloadState());
    EXPECT_EQ(sim->area(Area::Config)[11], 64);
    sim->setStatePath("");
    expectNoViolations();
}

TEST_F(PortmuxSimCommands, DefaultStateFileFollowsXdgStateHome) {
    const auto dir = freshFolder("sim-xdg");
    lib->DeleteRequestFromUnitId(ctrl);
    lib->DeleteRequestFromUnitId(cons);
    ASSERT_EQ(lib->End(), 1);
    {
        ScopedEnv xdg("XDG_STATE_HOME", dir.string());
        ::unsetenv("PORTMUX_SIM_STATE");
        ASSERT_GT(lib->Init(0), 0);
        ::setenv("PORTMUX_SIM_STATE", "", 1);
    }
    EXPECT_EQ(sim->statePath(), (dir / "portmux" / "sim-keyboard.bin").string());
    ASSERT_TRUE(sim->setArea(Area::Colours, 0, {1, 2, 3}));
    EXPECT_TRUE(std::filesystem::exists(dir / "portmux" / "sim-keyboard.bin"));
    ASSERT_EQ(lib->End(), 1);
    ASSERT_GT(lib->Init(0), 0);
    EXPECT_EQ(sim->statePath(), "") << "PORTMUX_SIM_STATE empty: nothing kept";
    ctrl = registerRead(kConfigUnit, PORTMUX_TAG_CTRL);
    cons = registerRead(kConsumerUnit, PORTMUX_TAG_CONS);
}

TEST_F(PortmuxSimCommands, SeedingTheMacroCapacityResizesTheMacroArea) {
    ASSERT_TRUE(sim->setArea(Area::Config, 11, {2}));
    EXPECT_EQ(sim->area(Area::Macros).size(), 256u);
    EXPECT_EQ(ok(request(sim::kReadConfig, 44))[8 + 11], 2);
    ok(request(sim::kReadMacros, 56, 200));
    EXPECT_FALSE(sim->setArea(Area::Macros, 250, pattern(7, 0))) << "does not fit";
    const auto reply = exchange(request(sim::kReadMacros, 56, 201));
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ((*reply)[7], static_cast<uint8_t>(sim::Violation::OutOfArea));
}

} // namespace
} // namespace portmux::test
