// The virtual keyboard's firmware model on its own (no library, no threads): checksum, state file format,
// input of any length.
#include "portmux/src/SimKeyboard.h"
#include "portmux/src/SimBackend.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace portmux::sim {
namespace {

Report sealed(uint8_t command, uint8_t length = 0, uint16_t address = 0, std::vector<uint8_t> data = {}) {
    Report r{};
    r[0] = 0x04;
    r[3] = command;
    r[4] = length;
    r[5] = static_cast<uint8_t>(address);
    r[6] = static_cast<uint8_t>(address >> 8);
    std::copy(data.begin(), data.end(), r.begin() + 8);
    sealReport(r);
    return r;
}

TEST(PortmuxSimKeyboard, ChecksumIsTheLow16BitsOfBytes3To63) {
    Report r{};
    r[3] = 0x34;
    r[4] = 0x12;
    for (size_t i = 5; i < 0x12 + 5; ++i) {
        r[i] = 0xFF; // 0x12 x 0xFF = 0x11EE
    }
    // 0x34 + 0x12 + 0x11EE = 0x1234
    sealReport(r);
    EXPECT_EQ(r[1], 0x34);
    EXPECT_EQ(r[2], 0x12);
    Report full{};
    full.fill(0xFF); // 61 x 0xFF = 0x3CC3; bytes 0..2 do not count
    EXPECT_EQ(reportChecksum(full), 0x3CC3);
    for (size_t i = 3; i < 64; ++i) {
        full[i] = 0xFF;
    }
    Report big{};
    for (size_t i = 3; i < 64; ++i) {
        big[i] = 0xFF;
    }
    EXPECT_EQ(reportChecksum(big), static_cast<uint16_t>(61 * 0xFF));
}

TEST(PortmuxSimKeyboard, FactoryFlashHasTheAgreedContents) {
    const Flash f = factoryFlash();
    EXPECT_EQ(f.config[10], 0);
    EXPECT_EQ(f.config[11], kFactoryMacroUnits);
    EXPECT_EQ(f.macros.size(), kFactoryMacroSize);
    EXPECT_EQ(f.config[12 + 17], 18);
    EXPECT_EQ(f.config[12 + 18], 20);
    EXPECT_EQ(f.config[12 + 19], 0);
    EXPECT_EQ(std::vector<uint8_t>(f.defaultKeys.begin(), f.defaultKeys.end()),
              std::vector<uint8_t>(kDefaultLayout.begin(), kDefaultLayout.end()));
    // Slot 54 and slot 105 both give "=" ({02 02 2E}).
    EXPECT_EQ(f.defaultKeys[54 * 3 + 2], 0x2E);
    EXPECT_EQ(f.defaultKeys[105 * 3 + 2], 0x2E);
    EXPECT_EQ(f.settings[42 + 8], 0x08);
    EXPECT_EQ(f.colours[0], 0xFF);
}

TEST(PortmuxSimKeyboard, StateFileRoundTrip) {
    Flash f = factoryFlash();
    f.keys[500] = 0x42;
    f.macros[8191] = 0x99;
    f.config[10] = 1;
    const auto bytes = serializeFlash(f);
    Flash back;
    ASSERT_TRUE(deserializeFlash(bytes, back));
    EXPECT_EQ(back, f);
}

TEST(PortmuxSimKeyboard, DamagedStateFilesAreRefused) {
    const Flash f = factoryFlash();
    const auto good = serializeFlash(f);
    Flash out;
    out.config[0] = 0x77; // untouched on refusal
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}});
    cases.push_back({"header only", std::vector<uint8_t>(good.begin(), good.begin() + 16)});
    cases.push_back({"one byte short", std::vector<uint8_t>(good.begin(), good.end() - 1)});
    auto longer = good;
    longer.push_back(0);
    cases.push_back({"one byte long", longer});
    auto magic = good;
    magic[0] = 'X';
    cases.push_back({"wrong magic", magic});
    auto version = good;
    version[8] = 2;
    cases.push_back({"other version", version});
    auto flipped = good;
    flipped[100] ^= 0x10;
    cases.push_back({"flipped bit", flipped});
    auto crc = good;
    crc.back() ^= 1;
    cases.push_back({"bad crc", crc});
    // A consistent file whose macro size disagrees with configuration byte 11.
    Flash odd = factoryFlash();
    odd.macros.resize(128);
    cases.push_back({"macro size against byte 11", serializeFlash(odd)});
    auto huge = good;
    huge[12] = 0xFF;
    huge[13] = 0xFF;
    huge[14] = 0xFF;
    cases.push_back({"absurd macro size", huge});
    for (const auto& c : cases) {
        EXPECT_FALSE(deserializeFlash(c.bytes, out)) << c.name;
        EXPECT_EQ(out.config[0], 0x77) << c.name;
    }
}

TEST(PortmuxSimKeyboard, StateFilesOnDisk) {
    const auto dir = std::filesystem::path(PORTMUX_TEST_WORK_DIR) / "sim-unit";
    std::filesystem::remove_all(dir);
    const std::string path = (dir / "a" / "b" / "state.bin").string();
    Flash f = factoryFlash();
    Flash out;
    EXPECT_FALSE(loadStateFile(path, out)) << "missing";
    EXPECT_FALSE(loadStateFile("", out));
    f.colours[7] = 1;
    ASSERT_TRUE(saveStateFile(path, f));
    ASSERT_TRUE(loadStateFile(path, out));
    EXPECT_EQ(out, f);
    f.colours[7] = 2;
    ASSERT_TRUE(saveStateFile(path, f)) << "replacing works too";
    ASSERT_TRUE(loadStateFile(path, out));
    EXPECT_EQ(out.colours[7], 2);
    size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir / "a" / "b")) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1u) << "no temporary file left";
    EXPECT_FALSE(loadStateFile(dir.string(), out)) << "a folder is not a state file";
    // A backend on a corrupt file starts from the factory state.
    {
        std::ofstream bad(path, std::ios::binary | std::ios::trunc);
        bad << "short";
    }
    SimBackend backend(path);
    EXPECT_EQ(backend.area(Area::Colours)[7], 0xFF);
    EXPECT_FALSE(saveStateFile("/proc/portmux-cannot-write/x.bin", f));
}

std::vector<uint8_t> readSourceFile(const std::string& relative) {
    std::ifstream in(std::string(PORTMUX_SOURCE_DIR) + "/" + relative, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(PortmuxSimKeyboard, TheFuzzSeedStateFileIsValid) {
    // The seed starts the fuzzer past every check of the state file parser.
    const auto bytes = readSourceFile("fuzz/portmux/corpus/portmux_sim_fuzz/state-file");
    ASSERT_FALSE(bytes.empty());
    Flash f;
    ASSERT_TRUE(deserializeFlash(bytes, f));
    EXPECT_EQ(f.macros.size(), 256u);
    EXPECT_EQ(f.macros[0], 0xAA);
}

TEST(PortmuxPackaging, UdevRuleOpensOnlyTheKeyboardsHidrawNodes) {
    const auto bytes = readSourceFile("packaging/70-tarvik.rules");
    std::string text(bytes.begin(), bytes.end());
    std::istringstream lines(text);
    std::string line;
    int rules = 0;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        ++rules;
        EXPECT_NE(line.find("SUBSYSTEM==\"hidraw\""), std::string::npos) << line;
        EXPECT_NE(line.find("ATTRS{idVendor}==\"0c45\""), std::string::npos) << line;
        EXPECT_NE(line.find("ATTRS{idProduct}==\"8508\""), std::string::npos) << line;
        EXPECT_NE(line.find("TAG+=\"uaccess\""), std::string::npos) << line;
        EXPECT_EQ(line.find("MODE"), std::string::npos) << "access through uaccess only: " << line;
    }
    EXPECT_EQ(rules, 1);
}

TEST(PortmuxSimKeyboard, InputOfAnyLength) {
    SimKeyboard kb;
    EXPECT_EQ(kb.handle({}).violation->reason, Violation::BadLength);
    EXPECT_FALSE(kb.handle({}).reply);
    std::vector<uint8_t> longer(65, 0);
    EXPECT_EQ(kb.handle(longer).violation->reason, Violation::BadLength);
    // A short report is padded: {04 03 00 03} is readConfig with its checksum.
    const std::vector<uint8_t> shortRead = {0x04, 0x03, 0x00, 0x03};
    auto o = kb.handle(shortRead);
    ASSERT_TRUE(o.reply);
    EXPECT_FALSE(o.violation.has_value());
    EXPECT_EQ(o.replyBytes[3], kReadConfig);
    EXPECT_EQ(o.replyBytes[8 + 11], kFactoryMacroUnits);
    const std::vector<uint8_t> one = {0x04};
    EXPECT_EQ(kb.handle(one).violation->reason, Violation::UnknownCommand);
}

TEST(PortmuxSimKeyboard, CommitOnlyWhenSomethingChanged) {
    SimKeyboard kb;
    EXPECT_FALSE(kb.handle(sealed(kBeginWrite)).committed);
    EXPECT_FALSE(kb.handle(sealed(kEndWrite)).committed) << "an empty frame changes nothing";
    kb.handle(sealed(kBeginWrite));
    kb.handle(sealed(kWriteSettings, 1, 0, {0x01})); // the same value as before
    EXPECT_FALSE(kb.handle(sealed(kEndWrite)).committed);
    kb.handle(sealed(kBeginWrite));
    kb.handle(sealed(kWriteSettings, 1, 0, {0x02}));
    EXPECT_TRUE(kb.handle(sealed(kEndWrite)).committed);
    EXPECT_EQ(kb.flash().settings[0], 0x02);
}

TEST(PortmuxSimKeyboard, WriteConfigInsideAFrameIsStaged) {
    SimKeyboard kb;
    auto config = kb.area(Area::Config);
    config[10] = 1;
    kb.handle(sealed(kBeginWrite));
    auto o = kb.handle(sealed(kWriteConfig, 44, 0, config));
    EXPECT_TRUE(o.executed);
    EXPECT_FALSE(o.committed);
    EXPECT_EQ(kb.flash().config[10], 0);
    EXPECT_TRUE(kb.handle(sealed(kEndWrite)).committed);
    EXPECT_EQ(kb.flash().config[10], 1);
}

TEST(PortmuxSimKeyboard, UpdateTriggerNeedsNoChecksum) {
    SimKeyboard kb;
    kb.handle(sealed(kBeginWrite));
    Report trigger{};
    trigger[0] = 0x04;
    trigger[3] = 0xEE;
    trigger[4] = 0xEE;
    auto o = kb.handle(trigger);
    EXPECT_TRUE(o.updateTrigger);
    EXPECT_FALSE(o.reply);
    EXPECT_FALSE(o.violation.has_value());
    EXPECT_FALSE(kb.frameOpen()) << "leaving drops the open frame";
}

TEST(PortmuxSimKeyboard, SetAreaKeepsTheMacroAreaInStepWithTheCapacity) {
    SimKeyboard kb;
    EXPECT_TRUE(kb.setArea(Area::Macros, 8190, std::vector<uint8_t>{1, 2}));
    EXPECT_FALSE(kb.setArea(Area::Macros, 8191, std::vector<uint8_t>{1, 2}));
    EXPECT_FALSE(kb.setArea(Area::Colours, 1537, std::vector<uint8_t>{}));
    EXPECT_TRUE(kb.setArea(Area::Config, 11, std::vector<uint8_t>{1}));
    EXPECT_EQ(kb.area(Area::Macros).size(), 128u);
    EXPECT_EQ(kb.area(Area::Macros)[0], 0xAA) << "the prefix is kept";
    EXPECT_TRUE(kb.setArea(Area::Config, 11, std::vector<uint8_t>{0}));
    EXPECT_TRUE(kb.area(Area::Macros).empty());
    const auto o = kb.handle(sealed(kReadMacros, 16, 0));
    ASSERT_TRUE(o.violation.has_value()) << "nothing to read from a macro area of size 0";
    EXPECT_EQ(o.violation->reason, Violation::OutOfArea);
}

} // namespace
} // namespace portmux::sim
