// Per-key colours: painting, base-colour changes, slots, uploads and the user lighting file.
#include "lighting/UserLighting.h"
#include "lighting/UserFiles.h"
#include "platform/IniFile.h"
#include "tests/lighting/FakeKeyboard.h"
#include "tests/lighting/TestFolder.h"

#include <gtest/gtest.h>

namespace tarvik::lighting {
namespace {

using device::CMD_BEGIN_WRITE;
using device::CMD_END_WRITE;
using device::CMD_WRITE_COLOURS;
using device::CMD_WRITE_SETTINGS;
using test::FakeKeyboard;
using test::writeText;

// Button indexes of a few keys (their layout positions) and their LED matrix positions.
constexpr int kA = 0;      // LED 64
constexpr int kW = 22;     // LED 44
constexpr int kEsc = 37;   // LED 0
constexpr int kSpace = 40; // LED 108

class UserLightingTest : public testing::Test {
protected:
    std::filesystem::path file(int n) const { return userLightingFilePath(folder, n); }
    UserLighting& load(int profile, const std::string& text) {
        writeText(file(profile), text);
        user.setProfile(profile);
        user.refillSlots();
        user.loadSlot(false);
        kb.requests.clear();
        return user;
    }
    IniFile fileNow(int n) const { return IniFile::load(file(n)); }

    FakeKeyboard kb;
    device::Commands commands{kb, test::noPauses()};
    std::filesystem::path folder = test::freshFolder();
    UserLighting user{commands, folder};
};

TEST_F(UserLightingTest, LedPositionsOfButtons) {
    EXPECT_EQ(ledOfButton(kA), 64);
    EXPECT_EQ(ledOfButton(kW), 44);
    EXPECT_EQ(ledOfButton(kEsc), 0);
    EXPECT_EQ(ledOfButton(kFirstGButton), 125);
    EXPECT_EQ(ledOfButton(kFnButton - 1), 125);
    EXPECT_EQ(ledOfButton(kFnButton), 110);
    EXPECT_EQ(ledOfButton(kLitButtonCount), -1);
    EXPECT_EQ(ledOfButton(-1), -1);
    EXPECT_EQ(buttonOfControl(1058), kA);
    EXPECT_EQ(buttonOfControl(1000), kFirstGButton);
    EXPECT_EQ(buttonOfControl(1143), kFirstGButton + 8);
    EXPECT_EQ(buttonOfControl(1174), kFnButton);
    EXPECT_EQ(buttonOfControl(1146), -1);
}

TEST_F(UserLightingTest, MissingFileGivesRedKeysThatFollowTheBase) {
    user.setProfile(1);
    user.refillSlots();
    user.loadSlot(false);
    EXPECT_EQ(user.slot(), 0);
    EXPECT_EQ(user.brush(), 0);
    EXPECT_EQ(user.baseColour(), (Rgb{0, 0, 0}));
    EXPECT_EQ(user.paintColour(), (Rgb{0, 0, 0}));
    for (const auto& name : user.slotNames()) {
        EXPECT_EQ(name, u"0");
    }
    for (int b = 0; b < kKeyButtonCount; ++b) {
        EXPECT_EQ(user.tint(b), (Rgb{255, 0, 0})) << b;
        EXPECT_TRUE(user.followsBase(1, b)) << b;
    }
    EXPECT_EQ(user.tint(kFnButton), (Rgb{255, 0, 0}));
    // Position 125 (the G keys) is not loaded from a slot.
    EXPECT_EQ(user.table().entry(1, 125), (Rgb{}));
    EXPECT_FALSE(user.followsBase(1, kFirstGButton));
}

TEST_F(UserLightingTest, SlotValuesLoadWithTheFlagReadAsAnyNonZero) {
    load(0, "[PRESENTMODE]\nmode=2\n[MODENAME]\n2=Game\n[Mode2]\ntool=1\njcolor=1,2,3\ncolor=4,5,6\n"
            "64=12,34,56,7\n44=9,8,7,0\n110=1,1,1,1\n0=300,-5,12\n");
    EXPECT_EQ(user.slot(), 2);
    EXPECT_EQ(user.slotNames()[2], u"Game");
    EXPECT_EQ(user.slotNames()[3], u"0");
    EXPECT_EQ(user.brush(), 1);
    EXPECT_EQ(user.baseColour(), (Rgb{1, 2, 3}));
    EXPECT_EQ(user.paintColour(), (Rgb{4, 5, 6}));
    EXPECT_EQ(user.tint(kA), (Rgb{12, 34, 56}));
    EXPECT_TRUE(user.followsBase(0, kA));
    EXPECT_EQ(user.tint(kW), (Rgb{9, 8, 7}));
    EXPECT_FALSE(user.followsBase(0, kW));
    EXPECT_TRUE(user.followsBase(0, kFnButton));
    // Out-of-range channels are clamped; a missing flag reads as 0.
    EXPECT_EQ(user.tint(kEsc), (Rgb{255, 0, 12}));
    EXPECT_FALSE(user.followsBase(0, kEsc));
}

TEST_F(UserLightingTest, PresentSlotOutsideTheListIsSlotZero) {
    load(0, "[PRESENTMODE]\nmode=42\n[Mode0]\n64=1,2,3,0\n");
    EXPECT_EQ(user.slot(), 0);
    EXPECT_EQ(user.tint(kA), (Rgb{1, 2, 3}));
}

TEST_F(UserLightingTest, UploadOfProfileOneSendsEightChunksAt512Plus54k) {
    load(1, "[Mode0]\n0=1,2,3,0\n");
    ASSERT_EQ(user.uploadKeyColors(), 1);
    auto cmds = kb.commands();
    ASSERT_EQ(cmds.size(), 10u);
    EXPECT_EQ(cmds.front(), CMD_BEGIN_WRITE);
    EXPECT_EQ(cmds.back(), CMD_END_WRITE);
    auto chunks = kb.of(CMD_WRITE_COLOURS);
    ASSERT_EQ(chunks.size(), 8u);
    for (size_t k = 0; k < 8; ++k) {
        EXPECT_EQ(chunks[k].address, 512 + 54 * k);
        EXPECT_EQ(chunks[k].length, 54);
        // Byte 6 carries the profile as 2p plus the high byte of the key's offset.
        EXPECT_EQ(chunks[k].report[6], (512 + 54 * k) >> 8);
    }
    EXPECT_EQ(chunks[0].data[0], 1);
    EXPECT_EQ(chunks[0].data[1], 2);
    EXPECT_EQ(chunks[0].data[2], 3);
    // The last chunk covers positions 126..143, which belong to no key: zeros.
    for (uint8_t b : chunks[7].data) {
        EXPECT_EQ(b, 0);
    }
    // Chunk 6 ends at position 125 (the G keys, never loaded: black) after Fn (110, default red).
    EXPECT_EQ(chunks[6].data[(110 - 108) * 3], 255);
}

TEST_F(UserLightingTest, UploadStopsAtTheFirstRefusedChunkButClosesTheFrame) {
    load(0, "");
    kb.failures[CMD_WRITE_COLOURS] = device::kBusyFE;
    EXPECT_EQ(user.uploadKeyColors(), device::kBusyFE);
    // The frame is closed empty: a fresh beginWrite drops what was staged, so nothing half-done is kept.
    EXPECT_EQ(kb.commands(),
              (std::vector<uint8_t>{CMD_BEGIN_WRITE, CMD_WRITE_COLOURS, CMD_BEGIN_WRITE, CMD_END_WRITE}));
}

TEST_F(UserLightingTest, PaintingSendsTheKeyAndWritesItToTheSlot) {
    load(2, "[PRESENTMODE]\nmode=3\n[Mode3]\ntool=0\njcolor=255,255,255\ncolor=0,0,255\n");
    ASSERT_TRUE(user.paint(kSpace));
    EXPECT_EQ(kb.commands(), (std::vector<uint8_t>{CMD_BEGIN_WRITE, CMD_WRITE_COLOURS, CMD_END_WRITE}));
    auto w = kb.of(CMD_WRITE_COLOURS).front();
    EXPECT_EQ(w.address, 2 * 512 + 3 * 108);
    EXPECT_EQ(w.length, 3);
    EXPECT_EQ(w.data, (std::vector<uint8_t>{0, 0, 255}));
    EXPECT_EQ(user.tint(kSpace), (Rgb{0, 0, 255}));
    EXPECT_EQ(fileNow(2).get(u"Mode3", u"108"), u"0,0,255,0");

    // Fn paints at 110; the base brush sets the flag.
    user.setBrush(kBaseBrush);
    ASSERT_TRUE(user.paint(kFnButton));
    EXPECT_EQ(fileNow(2).get(u"Mode3", u"110"), u"255,255,255,1");
    EXPECT_EQ(fileNow(2).get(u"Mode3", u"tool"), u"1");
    EXPECT_TRUE(user.followsBase(2, kFnButton));
}

TEST_F(UserLightingTest, AStrokeIsWrittenOnceAndUploadedOnceAtItsEnd) {
    load(1, "[PRESENTMODE]\nmode=2\n[Mode2]\ntool=1\njcolor=9,8,7\ncolor=0,0,255\n");
    // G buttons and indexes outside the buttons are skipped, not painted.
    const std::vector<int> stroke = {kA, kFirstGButton, kW, kEsc, kFnButton, kLitButtonCount};
    EXPECT_EQ(user.paintStroke(stroke), 4);
    std::vector<uint8_t> expected = {CMD_BEGIN_WRITE};
    expected.insert(expected.end(), 8, CMD_WRITE_COLOURS);
    expected.push_back(CMD_END_WRITE);
    EXPECT_EQ(kb.commands(), expected);
    for (int b : {kA, kW, kEsc, kFnButton}) {
        EXPECT_EQ(user.tint(b), (Rgb{9, 8, 7})) << b;
        EXPECT_TRUE(user.followsBase(1, b)) << b;
        const int led = ledOfButton(b);
        EXPECT_EQ(kb.colours[512 + 3 * led], 9) << b;
    }
    IniFile f = fileNow(1);
    EXPECT_EQ(f.get(u"Mode2", u"64"), u"9,8,7,1");
    EXPECT_EQ(f.get(u"Mode2", u"110"), u"9,8,7,1");
    EXPECT_FALSE(f.contains(u"Mode2", u"125"));

    // A stroke of one key sends that key only, with the paint brush's colour.
    kb.requests.clear();
    user.setBrush(kPaintBrush);
    EXPECT_EQ(user.paintStroke(std::vector<int>{kSpace}), 1);
    EXPECT_EQ(kb.commands(), (std::vector<uint8_t>{CMD_BEGIN_WRITE, CMD_WRITE_COLOURS, CMD_END_WRITE}));
    EXPECT_EQ(kb.of(CMD_WRITE_COLOURS).front().address, 512 + 3 * 108);
    EXPECT_FALSE(user.followsBase(1, kSpace));

    // Nothing paintable: nothing sent.
    kb.requests.clear();
    EXPECT_EQ(user.paintStroke(std::vector<int>{kFirstGButton, -1}), 0);
    EXPECT_TRUE(kb.requests.empty());
}

TEST_F(UserLightingTest, BrushesOtherThanZeroAndOneAndGButtonsPaintNothing) {
    load(0, "[Mode0]\ntool=5\n");
    EXPECT_FALSE(user.paint(kA));
    user.setBrush(7); // refused
    EXPECT_EQ(user.brush(), 5);
    user.setBrush(kPaintBrush);
    EXPECT_FALSE(user.paint(kFirstGButton));
    EXPECT_FALSE(user.paint(-1));
    EXPECT_FALSE(user.paint(kLitButtonCount));
    EXPECT_TRUE(kb.of(CMD_WRITE_COLOURS).empty());
    load(0, "[Mode0]\ntool=5\n");
    EXPECT_EQ(user.paintStroke(std::vector<int>{kA, kW}), 0);
    EXPECT_TRUE(kb.of(CMD_WRITE_COLOURS).empty());
}

TEST_F(UserLightingTest, BaseColourChangeRecoloursOnlyKeysPaintedWithTheBaseBrush) {
    load(0, "[Mode0]\ntool=1\njcolor=255,255,255\ncolor=0,255,0\n");
    user.paint(kA); // base brush: follows
    user.setBrush(kPaintBrush);
    user.paint(kW); // paint brush: keeps its colour
    kb.requests.clear();

    user.setBaseColour(Rgb{10, 20, 30});
    EXPECT_EQ(user.tint(kA), (Rgb{10, 20, 30}));
    EXPECT_EQ(user.tint(kW), (Rgb{0, 255, 0}));
    EXPECT_EQ(fileNow(0).get(u"Mode0", u"64"), u"10,20,30,1");
    EXPECT_EQ(fileNow(0).get(u"Mode0", u"44"), u"0,255,0,0");
    EXPECT_EQ(fileNow(0).get(u"Mode0", u"jcolor"), u"10,20,30");

    // The table in one frame, then the base colour into bytes 9..11 of the record in another.
    std::vector<uint8_t> expected = {CMD_BEGIN_WRITE};
    expected.insert(expected.end(), 8, CMD_WRITE_COLOURS);
    expected.insert(expected.end(), {CMD_END_WRITE, CMD_BEGIN_WRITE, CMD_WRITE_SETTINGS, CMD_END_WRITE});
    EXPECT_EQ(kb.commands(), expected);
    auto s = kb.of(CMD_WRITE_SETTINGS).front();
    EXPECT_EQ(s.address, 9);
    EXPECT_EQ(s.data, (std::vector<uint8_t>{10, 20, 30}));
    EXPECT_EQ(kb.colours[64 * 3], 10);

    // The same colour again sends nothing.
    kb.requests.clear();
    user.setBaseColour(Rgb{10, 20, 30});
    EXPECT_TRUE(kb.requests.empty());
}

TEST_F(UserLightingTest, FlagsAfterADeviceReadFollowTheRecordsBaseColour) {
    load(1, "[Mode0]\n64=7,7,7,0\n44=1,1,1,0\n");
    ParamsBlocks blocks{};
    blocks[1][kParamBaseColour] = 7;
    blocks[1][kParamBaseColour + 1] = 7;
    blocks[1][kParamBaseColour + 2] = 7;
    user.recomputeFlags(blocks);
    EXPECT_TRUE(user.followsBase(1, kA));
    EXPECT_FALSE(user.followsBase(1, kW));
    EXPECT_FALSE(user.followsBase(1, kEsc)); // default red is not the base colour 7,7,7
    // Profile 0's table is black everywhere, and so is its base colour: every button follows it,
    // the G buttons included.
    EXPECT_TRUE(user.followsBase(0, kA));
    EXPECT_TRUE(user.followsBase(0, kFirstGButton + 4));
}

TEST_F(UserLightingTest, BaseColourChangeRecoloursPosition125WhenAGButtonFollows) {
    load(0, "[Mode0]\njcolor=0,0,0\n");
    ParamsBlocks blocks{}; // base colour black = the never-loaded entry 125
    user.recomputeFlags(blocks);
    ASSERT_TRUE(user.followsBase(0, kFirstGButton));
    kb.requests.clear();
    user.setBaseColour(Rgb{0, 128, 255});
    EXPECT_EQ(user.table().entry(0, 125), (Rgb{0, 128, 255}));
    EXPECT_EQ(fileNow(0).get(u"Mode0", u"125"), u"0,128,255,1");
    auto chunks = kb.of(CMD_WRITE_COLOURS);
    ASSERT_EQ(chunks.size(), 8u);
    EXPECT_EQ(chunks[6].data[(125 - 108) * 3 + 1], 128);
}

TEST_F(UserLightingTest, SelectingARenamingAndHeadersGoToTheFile) {
    load(0, "[PRESENTMODE]\nmode=0\n[MODENAME]\n0=One\n1=Two\n[Mode1]\ntool=1\njcolor=9,9,9\ncolor=8,8,8\n"
            "64=5,5,5,0\n");
    user.selectSlot(1);
    EXPECT_EQ(user.slot(), 1);
    EXPECT_EQ(user.brush(), 1);
    EXPECT_EQ(user.tint(kA), (Rgb{5, 5, 5}));
    EXPECT_EQ(fileNow(0).get(u"PRESENTMODE", u"mode"), u"1");
    EXPECT_EQ(kb.of(CMD_WRITE_COLOURS).size(), 8u);

    user.renameSlot(u"Racing\nline");
    EXPECT_EQ(user.slotNames()[1], u"Racing\nline");
    // A line break can never add a line to the file.
    EXPECT_EQ(fileNow(0).get(u"MODENAME", u"1"), u"Racing line");
    EXPECT_EQ(fileNow(0).get(u"MODENAME", u"0"), u"One");

    user.setPaintColour(Rgb{1, 2, 3});
    IniFile f = fileNow(0);
    EXPECT_EQ(f.get(u"Mode1", u"color"), u"1,2,3");
    EXPECT_EQ(f.get(u"Mode1", u"jcolor"), u"9,9,9");
    EXPECT_EQ(f.get(u"Mode1", u"tool"), u"1");

    user.selectSlot(10); // outside the list
    EXPECT_EQ(user.slot(), 1);
}

TEST_F(UserLightingTest, EachChangeGoesIntoTheFileAsItIsNowAndAFailedSaveIsReported) {
    load(1, "[PRESENTMODE]\nmode=0\n[MODENAME]\n0=One\n[Mode0]\ntool=0\njcolor=9,9,9\ncolor=0,0,255\n");
    // Another program names a slot after the file was read; a paint does not write the old file back.
    IniFile other = fileNow(1);
    other.set(u"MODENAME", u"4", u"Theirs");
    ASSERT_TRUE(other.save(file(1)));
    ASSERT_TRUE(user.paint(kSpace));
    EXPECT_EQ(fileNow(1).get(u"MODENAME", u"4"), u"Theirs");
    EXPECT_EQ(fileNow(1).get(u"Mode0", u"108"), u"0,0,255,0");
    ASSERT_TRUE(user.takeFileSaved());

    // With the folder away for a moment the rename cannot be saved. What was read from nothing then is
    // never written over the file once it is back.
    const std::filesystem::path away = folder.string() + ".away";
    std::filesystem::rename(folder, away);
    user.renameSlot(u"Mine");
    EXPECT_FALSE(user.takeFileSaved());
    std::filesystem::rename(away, folder);
    ASSERT_TRUE(user.paint(kA));
    EXPECT_TRUE(user.takeFileSaved());
    const IniFile now = fileNow(1);
    EXPECT_EQ(now.get(u"MODENAME", u"0"), u"One");
    EXPECT_EQ(now.get(u"MODENAME", u"4"), u"Theirs");
    EXPECT_EQ(now.get(u"Mode0", u"64"), u"0,0,255,0");
    EXPECT_EQ(now.get(u"Mode0", u"108"), u"0,0,255,0");
}

TEST_F(UserLightingTest, TheFilesEncodingIsKeptWhenKeysAreWritten) {
    // A UTF-16 LE file with its BOM, as a template may be.
    std::u16string text = u"[MODENAME]\r\n0=Spiel\r\n[Mode0]\r\ntool=0\r\ncolor=1,2,3\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    load(0, bytes);
    EXPECT_EQ(user.slotNames()[0], u"Spiel");
    ASSERT_TRUE(user.paint(kA));
    std::string after = test::readText(file(0));
    ASSERT_GE(after.size(), 2u);
    EXPECT_EQ(after.substr(0, 2), "\xFF\xFE");
    IniFile f = IniFile::load(file(0));
    EXPECT_EQ(f.encoding(), IniEncoding::Utf16Le);
    EXPECT_EQ(f.get(u"Mode0", u"64"), u"1,2,3,0");
    EXPECT_EQ(f.get(u"MODENAME", u"0"), u"Spiel");
}

TEST_F(UserLightingTest, RestoreCopiesThePristineFileAndRefillsTheSlots) {
    load(1, "[MODENAME]\n0=Edited\n");
    writeText(file(kPristineUserFile), "[MODENAME]\n0=Fresh\n");
    user.restoreUserFile();
    EXPECT_EQ(user.slotNames()[0], u"Fresh");
    EXPECT_EQ(test::readText(file(1)), "[MODENAME]\n0=Fresh\n");
}

TEST_F(UserLightingTest, UploadingASlotOfAnotherFileLeavesTheOwnFileAlone) {
    load(0, "[Mode0]\n64=1,1,1,0\n");
    auto other = UserLightingFile::fromIni(IniFile::parse("[Mode4]\n64=200,100,50,0\n"));
    EXPECT_EQ(user.uploadSlotOf(other, 4), 1);
    EXPECT_EQ(user.tint(kA), (Rgb{200, 100, 50}));
    EXPECT_EQ(kb.colours[64 * 3], 200);
    EXPECT_EQ(fileNow(0).get(u"Mode0", u"64"), u"1,1,1,0");
    EXPECT_EQ(user.uploadSlotOf(other, 10), device::kBadBlock);
}

TEST(UserLightingValues, ParseAndFormat) {
    struct Row {
        std::u16string_view text;
        KeyValue expected;
    };
    const Row rows[] = {
        {u"12,34,56,7", {{12, 34, 56}, true}},
        {u"12,34,56,0", {{12, 34, 56}, false}},
        {u"255,0,0,1", {{255, 0, 0}, true}},
        {u" 1, 2, 3, 1", {{1, 2, 3}, true}},
        {u"1,2", {{1, 2, 0}, false}},
        {u"", {{0, 0, 0}, false}},
        {u"abc", {{0, 0, 0}, false}},
        {u"1;2;3;1", {{1, 0, 0}, false}},
        {u"999999999999999999,0,0,1", {{255, 0, 0}, true}},
        {u"-1,256,+7,-3", {{0, 255, 7}, true}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(parseKeyValue(row.text), row.expected) << std::string(row.text.begin(), row.text.end());
    }
    EXPECT_EQ(parseRgb(u"7,8,9"), (Rgb{7, 8, 9}));
    EXPECT_EQ(formatRgb(Rgb{0, 10, 255}), u"0,10,255");
    EXPECT_EQ(formatKeyValue({{1, 2, 3}, true}), u"1,2,3,1");
    EXPECT_EQ(formatKeyValue({{0, 0, 0}, false}), u"0,0,0,0");
}

} // namespace
} // namespace tarvik::lighting
