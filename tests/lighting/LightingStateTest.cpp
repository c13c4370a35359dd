// The operations of the lighting panel: the exact reports each sends, and what the panel is told to show.
#include "lighting/LightingState.h"
#include "lighting/UserFiles.h"
#include "tests/lighting/FakeKeyboard.h"
#include "tests/lighting/TestFolder.h"

#include <gtest/gtest.h>

namespace tarvik::lighting {
namespace {

using device::CMD_BEGIN_WRITE;
using device::CMD_END_WRITE;
using device::CMD_READ_CONFIG;
using device::CMD_READ_SETTINGS;
using device::CMD_WRITE_COLOURS;
using device::CMD_WRITE_SETTINGS;
using test::FakeKeyboard;
using test::writeText;

struct Write {
    uint16_t address;
    std::vector<uint8_t> bytes;
    friend bool operator==(const Write&, const Write&) = default;
};

std::ostream& operator<<(std::ostream& os, const Write& w) {
    os << "{" << w.address << ":";
    for (auto b : w.bytes) {
        os << " " << int(b);
    }
    return os << "}";
}

class LightingStateTest : public testing::Test {
protected:
    void SetUp() override {
        folder = test::freshFolder();
        state = std::make_unique<LightingState>(commands, folder);
    }
    // Reads the state for a profile and forgets the reports of the read.
    void readAs(int profile) {
        state->setProfile(profile);
        ASSERT_EQ(state->readLighting(), 1);
        kb.requests.clear();
    }
    std::vector<Write> settingsWrites() const {
        std::vector<Write> out;
        for (const auto& r : kb.of(CMD_WRITE_SETTINGS)) {
            out.push_back({r.address, r.data});
        }
        return out;
    }
    // One frame around the settings writes, nothing else.
    void expectOneFrame() const {
        auto cmds = kb.commands();
        ASSERT_GE(cmds.size(), 2u);
        EXPECT_EQ(cmds.front(), CMD_BEGIN_WRITE);
        EXPECT_EQ(cmds.back(), CMD_END_WRITE);
        for (size_t i = 1; i + 1 < cmds.size(); ++i) {
            EXPECT_EQ(cmds[i], CMD_WRITE_SETTINGS) << "report " << i;
        }
    }

    FakeKeyboard kb;
    device::Commands commands{kb, test::noPauses()};
    std::filesystem::path folder;
    std::unique_ptr<LightingState> state;
};

TEST_F(LightingStateTest, ReadTakesTheCurrentProfilesRecordFromOneFrame) {
    const uint8_t block[] = {12, 3, 2, 1, 1, 10, 20, 30, 2, 40, 50, 60, 70, 80, 90, 1};
    kb.setBlock(1, block);
    state->setProfile(1);
    ASSERT_EQ(state->readLighting(), 1);

    std::vector<uint8_t> expected = {CMD_READ_CONFIG,   CMD_BEGIN_WRITE,   CMD_READ_SETTINGS,
                                     CMD_READ_SETTINGS, CMD_READ_SETTINGS, CMD_END_WRITE};
    EXPECT_EQ(kb.commands(), expected);
    auto reads = kb.of(CMD_READ_SETTINGS);
    ASSERT_EQ(reads.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(reads[i].address, 42 * i);
        EXPECT_EQ(reads[i].length, 56);
    }
    EXPECT_EQ(state->mode(), 12);
    EXPECT_EQ(state->brightness(), 3);
    EXPECT_EQ(state->speed(), 2);
    EXPECT_EQ(state->direction(), 1);
    EXPECT_TRUE(state->random());
    EXPECT_EQ(state->effectColour(), (Rgb{10, 20, 30}));
    EXPECT_EQ(state->preset(), 2);
    EXPECT_EQ(state->baseColour(), (Rgb{40, 50, 60}));
    EXPECT_EQ(state->paintColour(), (Rgb{70, 80, 90}));
    EXPECT_EQ(state->reportRate(), 1);
    EXPECT_EQ(state->modes().size(), 19u);
    EXPECT_EQ(state->modeIndex(), 11);
    // Each read brings 56 bytes; only the first 42 are the record, so profile 0's copy holds none of
    // profile 1's bytes.
    for (uint8_t b : state->blocks()[0]) {
        EXPECT_EQ(b, 0);
    }
    EXPECT_EQ(state->blocks()[1][0], 12);
}

TEST_F(LightingStateTest, FailedConfigurationReadStopsWithAnEmptyList) {
    readAs(0);
    kb.failures[CMD_READ_CONFIG] = device::kNoReply;
    EXPECT_EQ(state->readLighting(), kConfigReadFailed);
    EXPECT_TRUE(state->modes().empty());
    EXPECT_EQ(kb.commands(), std::vector<uint8_t>{CMD_READ_CONFIG});
}

TEST_F(LightingStateTest, FailedRecordReadKeepsThePreviousRecordsAndSaysSo) {
    const uint8_t block[] = {5, 4};
    kb.setBlock(0, block);
    readAs(0);
    kb.settings[0] = 9;
    kb.failures[CMD_READ_SETTINGS] = device::kBusyFF;
    EXPECT_EQ(state->readLighting(), device::kBusyFF);
    EXPECT_EQ(state->mode(), 5);
    EXPECT_EQ(state->brightness(), 4);
    // The frame is closed even so.
    EXPECT_EQ(kb.commands().back(), CMD_END_WRITE);
}

TEST_F(LightingStateTest, PresetOutsideZeroToThreeShowsRedAndReportRateIsCapped) {
    uint8_t block[16] = {17};
    block[8] = 8;
    block[15] = 7;
    kb.setBlock(0, block);
    readAs(0);
    EXPECT_EQ(state->preset(), 0);
    EXPECT_EQ(state->reportRate(), 3);
    LightingView v = state->view();
    EXPECT_EQ(v.presetPictures[0], "hongok.bmp");
    EXPECT_EQ(v.presetPictures[1], "huang.bmp");
    EXPECT_EQ(v.presetPictures[2], "lv.bmp");
    EXPECT_EQ(v.presetPictures[3], "lan.bmp");
}

TEST_F(LightingStateTest, BrightnessForProfileTwoIsOneByteAt85) {
    readAs(2);
    LightingView v = state->setBrightness(4);
    expectOneFrame();
    EXPECT_EQ(settingsWrites(), (std::vector<Write>{{85, {4}}}));
    EXPECT_EQ(v.brightnessPicture, "4.bmp");
    EXPECT_EQ(kb.settings[85], 4);

    // The same position again sends nothing; a position outside 0..5 is refused.
    kb.requests.clear();
    state->setBrightness(4);
    state->setBrightness(6);
    state->setBrightness(-1);
    EXPECT_TRUE(kb.requests.empty());
    EXPECT_EQ(state->brightness(), 4);
}

TEST_F(LightingStateTest, SpeedSliderWritesFiveMinusPosition) {
    const uint8_t block[] = {1, 5, 3};
    kb.setBlock(0, block);
    readAs(0);
    LightingView v = state->setSpeed(5);
    EXPECT_EQ(settingsWrites(), (std::vector<Write>{{2, {0}}}));
    EXPECT_EQ(v.speedPosition, 5);
    EXPECT_EQ(v.speedPicture, "11.bmp");
    kb.requests.clear();
    v = state->setSpeed(0);
    EXPECT_EQ(settingsWrites(), (std::vector<Write>{{2, {5}}}));
    EXPECT_EQ(v.speedPicture, "6.bmp");
}

TEST_F(LightingStateTest, SpeedComparisonIsOnTheDeviceValue) {
    const uint8_t block[] = {1, 5, 2};
    kb.setBlock(1, block);
    readAs(1);
    EXPECT_EQ(state->view().speedPosition, 3);
    EXPECT_EQ(state->view().speedPicture, "9.bmp");
    state->setSpeed(2);
    EXPECT_EQ(settingsWrites(), (std::vector<Write>{{44, {3}}}));
    // Standing still sends nothing.
    kb.requests.clear();
    state->setSpeed(2);
    EXPECT_TRUE(kb.requests.empty());
}

TEST_F(LightingStateTest, EffectColourClearsTheRandomFlagFirstInTheSameFrame) {
    const uint8_t block[] = {1, 5, 3, 0, 1};
    kb.setBlock(1, block);
    readAs(1);
    LightingView v = state->setEffectColour(Rgb{0x11, 0x22, 0x33});
    expectOneFrame();
    EXPECT_EQ(kb.commands().size(), 4u);
    EXPECT_EQ(settingsWrites(), (std::vector<Write>{{46, {0}}, {47, {0x11, 0x22, 0x33}}}));
    EXPECT_FALSE(state->random());
    EXPECT_EQ(v.randomPicture, "sjsup.bmp");
    EXPECT_EQ(v.effectColour, (Rgb{0x11, 0x22, 0x33}));
}

TEST_F(LightingStateTest, RandomToggleDirectionAndPresetWriteOneByteEach) {
    readAs(0);
    LightingView v = state->toggleRandom();
    EXPECT_EQ(v.randomPicture, "sjsdown.bmp");
    v = state->toggleRandom();
    EXPECT_EQ(v.randomPicture, "sjsup.bmp");
    state->setDirection(1);
    state->setDirection(0);
    state->setDirection(2); // refused
    state->setPreset(3);
    state->setPreset(4); // refused
    EXPECT_EQ(settingsWrites(), (std::vector<Write>{{4, {1}}, {4, {0}}, {3, {1}}, {3, {0}}, {8, {3}}}));
    EXPECT_EQ(kb.of(CMD_BEGIN_WRITE).size(), 5u);
    EXPECT_EQ(kb.of(CMD_END_WRITE).size(), 5u);
    v = state->view();
    EXPECT_EQ(v.presetPictures[3], "lanok.bmp");
    EXPECT_EQ(v.presetPictures[0], "hong.bmp");
}

struct ModeRow {
    uint8_t mode;
    bool writesRandom;
    bool speed;
    bool direction;
    DirectionKeys keys;
    int colourButton; // 1155, 1152, or 0
    bool presets;
};

TEST_F(LightingStateTest, SelectingEachModeWritesAndShowsWhatItsTableRowSays) {
    const ModeRow rows[] = {
        {1, true, true, true, kDirectionKeys2, control::kEffectButton, false},
        {2, true, true, true, kDirectionKeys2, control::kEffectButton, false},
        {3, true, true, true, kDirectionKeys2, control::kEffectButton, false},
        {4, false, true, false, kDirectionKeysPlain, 0, false},
        {5, true, true, false, kDirectionKeysPlain, control::kEffectButton, false},
        {6, false, false, false, kDirectionKeysPlain, control::kFixedButton, false},
        {7, true, true, false, kDirectionKeysPlain, control::kEffectButton, false},
        {8, true, true, false, kDirectionKeysPlain, control::kEffectButton, false},
        {9, true, true, false, kDirectionKeysPlain, control::kEffectButton, false},
        {10, true, true, false, kDirectionKeysPlain, control::kEffectButton, false},
        {11, true, true, false, kDirectionKeysPlain, control::kEffectButton, false},
        {12, true, true, true, kDirectionKeys3, control::kEffectButton, false},
        {13, true, true, false, kDirectionKeysPlain, control::kEffectButton, false},
        {14, true, true, false, kDirectionKeysPlain, control::kEffectButton, false},
        {15, true, true, false, kDirectionKeysPlain, control::kEffectButton, false},
        {16, false, false, false, kDirectionKeysPlain, control::kFixedButton, false},
        {17, false, false, false, kDirectionKeysPlain, 0, true},
        {18, true, false, true, kDirectionKeysPlain, control::kEffectButton, false},
    };
    readAs(1);
    state->enablePanel();
    state->toggleRandom(); // random on, so the flag byte is 1
    for (const auto& row : rows) {
        SCOPED_TRACE("mode " + std::to_string(row.mode));
        kb.requests.clear();
        LightingView v = state->selectModeCode(row.mode);
        expectOneFrame();
        std::vector<Write> expected = {{42, {row.mode}}};
        if (row.writesRandom) {
            expected.push_back({46, {1}});
        }
        EXPECT_EQ(settingsWrites(), expected);
        EXPECT_EQ(v.mode, row.mode);
        EXPECT_TRUE(v.visible.contains(control::kModeList));
        EXPECT_TRUE(v.visible.contains(control::kBrightnessSlider));
        EXPECT_EQ(v.visible.contains(control::kSpeedSlider), row.speed);
        EXPECT_EQ(v.visible.contains(control::kDirection1), row.direction);
        EXPECT_EQ(v.visible.contains(control::kDirection0), row.direction);
        EXPECT_EQ(v.directionKeys, row.keys);
        EXPECT_EQ(v.visible.contains(control::kEffectButton), row.colourButton == control::kEffectButton);
        EXPECT_EQ(v.visible.contains(control::kFixedButton), row.colourButton == control::kFixedButton);
        EXPECT_EQ(v.visible.contains(control::kRandomToggle), row.colourButton != 0);
        EXPECT_EQ(v.visible.contains(control::kPresetRed), row.presets);
        EXPECT_EQ(v.visible.contains(control::kPresetRed + 3), row.presets);
        EXPECT_FALSE(v.visible.contains(control::kSlotList));
        EXPECT_FALSE(v.visible.contains(control::kBaseButton));
        // Placed by the skin but part of no mode: only listed so that the window hides them.
        EXPECT_FALSE(v.visible.contains(control::kRandomCaption));
        EXPECT_FALSE(v.visible.contains(control::kFixedRandomToggle));
        EXPECT_TRUE(v.previewRunning);
        EXPECT_FALSE(v.keyClicksPaint);
    }
}

TEST_F(LightingStateTest, SelectingTheUserModeUploadsTheStoredColoursAfterTheModeByte) {
    readAs(1);
    state->enablePanel();
    LightingView v = state->selectModeCode(kUserMode);
    std::vector<uint8_t> expected = {CMD_BEGIN_WRITE, CMD_WRITE_SETTINGS, CMD_END_WRITE, CMD_BEGIN_WRITE};
    expected.insert(expected.end(), 8, CMD_WRITE_COLOURS);
    expected.push_back(CMD_END_WRITE);
    EXPECT_EQ(kb.commands(), expected);
    EXPECT_EQ(settingsWrites(), (std::vector<Write>{{42, {20}}}));
    EXPECT_EQ(v.keys, KeyLook::StoredColours);
    EXPECT_TRUE(v.visible.contains(control::kSlotList));
    EXPECT_TRUE(v.visible.contains(control::kBrush1));
    EXPECT_FALSE(v.visible.contains(control::kSpeedSlider));
    EXPECT_FALSE(v.visible.contains(control::kRandomToggle));
}

TEST_F(LightingStateTest, ListIndexesAndCodesOutsideTheListChangeNothing) {
    kb.config.fill(0);
    kb.config[12] = 1;
    kb.config[14] = 19; // listed, but unknown to the program
    readAs(0);
    state->selectMode(5);
    state->selectMode(-1);
    state->selectModeCode(4);
    EXPECT_TRUE(kb.requests.empty());
    // The listed unknown code writes its mode byte only and shows the brightness slider alone.
    state->enablePanel();
    LightingView v = state->selectMode(1);
    EXPECT_EQ(settingsWrites(), (std::vector<Write>{{0, {19}}}));
    EXPECT_EQ(v.visible.count(), 3u); // mode list, brightness caption and slider
    EXPECT_EQ(v.keys, KeyLook::Plain);
}

TEST_F(LightingStateTest, DirectionPicturesFollowTheDirectionAndTheModesPair) {
    const uint8_t block[] = {18, 5, 3, 1};
    kb.setBlock(0, block);
    readAs(0);
    LightingView v = state->view();
    EXPECT_EQ(v.direction1Picture, "kuosandown.bmp");
    EXPECT_EQ(v.direction0Picture, "julong.bmp");
    v = state->setDirection(0);
    EXPECT_EQ(v.direction1Picture, "kuosan.bmp");
    EXPECT_EQ(v.direction0Picture, "julongdown.bmp");
    v = state->selectModeCode(12);
    EXPECT_EQ(v.direction1Picture, "upup.bmp");
    EXPECT_EQ(v.direction0Picture, "downdown.bmp");
    v = state->selectModeCode(1);
    EXPECT_EQ(v.direction1Picture, "leftup.bmp");
    EXPECT_EQ(v.direction0Picture, "rightdown.bmp");
}

TEST_F(LightingStateTest, RestoreDefaultsWritesTheDefaultBlockByteForByte) {
    writeText(userLightingFilePath(folder, kPristineUserFile),
              "[PRESENTMODE]\nmode=0\n[MODENAME]\n0=Start\n");
    const uint8_t block[] = {5, 2, 1, 1, 0, 1, 2, 3};
    kb.setBlock(1, block);
    readAs(1);
    state->enablePanel();
    kb.requests.clear();
    LightingView v = state->restoreDefaults();

    // Mode 1 first (with the random flag as it stood), then the default block in a frame of its own.
    auto writes = settingsWrites();
    ASSERT_GE(writes.size(), 3u);
    EXPECT_EQ(writes[0], (Write{42, {1}}));
    EXPECT_EQ(writes[1], (Write{46, {0}}));
    const std::vector<uint8_t> defaults = {0x01, 0x05, 0x03, 0xFF, 0x01, 0xFF, 0x00, 0x00, 0x08,
                                           0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00,
                                           0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF,
                                           0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00};
    EXPECT_EQ(writes[2], (Write{42, defaults}));
    auto cmds = kb.commands();
    std::vector<uint8_t> head(cmds.begin(), cmds.begin() + 7);
    EXPECT_EQ(head,
              (std::vector<uint8_t>{CMD_BEGIN_WRITE, CMD_WRITE_SETTINGS, CMD_WRITE_SETTINGS, CMD_END_WRITE,
                                    CMD_BEGIN_WRITE, CMD_WRITE_SETTINGS, CMD_END_WRITE}));
    // Then slot 0 of the restored file goes to the keyboard.
    EXPECT_EQ(kb.of(CMD_WRITE_COLOURS).size(), 8u);
    EXPECT_EQ(std::equal(defaults.begin(), defaults.end(), kb.settings.begin() + 42), true);

    EXPECT_EQ(v.mode, 1);
    EXPECT_EQ(v.brightnessPicture, "5.bmp");
    EXPECT_EQ(v.speedPosition, 3);
    EXPECT_EQ(v.speedPicture, "8.bmp");
    EXPECT_EQ(v.direction1Picture, "leftup.bmp");
    EXPECT_EQ(v.direction0Picture, "rightdown.bmp");
    EXPECT_EQ(v.effectColour, (Rgb{255, 0, 0}));
    EXPECT_EQ(v.randomPicture, "sjsdown.bmp");
    EXPECT_EQ(v.user.slot, 0);
    EXPECT_EQ(v.user.slotNames[0], u"Start");
    // The slider stands at 3 over the device value 3: moving it to 2 is the device value already there.
    kb.requests.clear();
    state->setSpeed(2);
    EXPECT_TRUE(kb.requests.empty());
}

TEST_F(LightingStateTest, RestoreDefaultsNeedsThePanelOn) {
    readAs(0);
    state->restoreDefaults();
    EXPECT_TRUE(kb.requests.empty());
}

TEST_F(LightingStateTest, PanelFlagIsKeptInTheSettingsFileAndHidesEverything) {
    readAs(0);
    EXPECT_FALSE(state->panelOn());
    LightingView v = state->enablePanel();
    EXPECT_TRUE(v.panelOn);
    EXPECT_EQ(v.panelOnPicture, "LED_enabled_on.bmp");
    EXPECT_EQ(v.panelOffPicture, "LED_disabled_off.bmp");
    EXPECT_NE(test::readText(folder / "vlkb.ini").find("DengCheck=1"), std::string::npos);

    // A second state (the next start) reads the flag back.
    LightingState next(commands, folder);
    ASSERT_EQ(next.readLighting(), 1);
    EXPECT_TRUE(next.panelOn());

    v = state->disablePanel();
    EXPECT_FALSE(v.panelOn);
    EXPECT_TRUE(v.visible.empty());
    EXPECT_FALSE(v.previewRunning);
    EXPECT_EQ(v.keys, KeyLook::Plain);
    EXPECT_EQ(v.panelOnPicture, "LED_enabled_off.bmp");
    EXPECT_EQ(v.panelOffPicture, "LED_disabled_on.bmp");
    EXPECT_NE(test::readText(folder / "vlkb.ini").find("DengCheck=0"), std::string::npos);
    // Turning the panel on or off sends nothing to the keyboard.
    EXPECT_TRUE(kb.of(CMD_WRITE_SETTINGS).empty());
}

TEST_F(LightingStateTest, ProfileSwitchReadsTheNewProfileAndTurnsThePanelOff) {
    const uint8_t p0[] = {4, 1};
    const uint8_t p2[] = {6, 2};
    kb.setBlock(0, p0);
    kb.setBlock(2, p2);
    readAs(0);
    state->enablePanel();
    LightingView v = state->switchProfile(2);
    EXPECT_EQ(state->profile(), 2);
    EXPECT_EQ(v.mode, 6);
    EXPECT_EQ(v.brightnessPosition, 2);
    EXPECT_FALSE(v.panelOn);
    EXPECT_FALSE(LightingSettings(folder).panelEnabled());
}

TEST_F(LightingStateTest, KeyClicksPaintOnlyWithThePanelOnInTheUserMode) {
    writeText(userLightingFilePath(folder, 0), "[Mode0]\ntool=0\ncolor=0,0,255\n");
    readAs(0);
    state->enablePanel();
    state->selectModeCode(4);
    kb.requests.clear();
    Rgb before = state->user().tint(0);
    EXPECT_FALSE(state->paintKey(0));
    EXPECT_TRUE(kb.requests.empty());
    EXPECT_EQ(state->user().tint(0), before);

    state->selectModeCode(kUserMode);
    state->disablePanel();
    kb.requests.clear();
    EXPECT_FALSE(state->paintKey(0));
    EXPECT_TRUE(kb.requests.empty());

    EXPECT_FALSE(state->view().keyClicksPaint) << "mode 20 with the panel off: clicks assign keys";
    EXPECT_EQ(state->paintKeys(std::vector<int>{0, 1}), 0);
    EXPECT_TRUE(kb.requests.empty());

    EXPECT_TRUE(state->enablePanel().keyClicksPaint);
    EXPECT_TRUE(state->paintKey(0));
    EXPECT_EQ(state->user().tint(0), (Rgb{0, 0, 255}));
    EXPECT_FALSE(state->paintKey(kFirstGButton)); // G buttons never paint

    state->selectModeCode(4);
    EXPECT_FALSE(state->view().keyClicksPaint);
    EXPECT_EQ(state->paintKeys(std::vector<int>{1}), 0);
}

// A stroke is one step: undo sends the keys' old colours, redo the stroke's; a key painted again since
// keeps its newer colour, and another slot is left alone.
TEST_F(LightingStateTest, StrokesAndSlotChangesAreTakenBackAndDoneAgainAsSteps) {
    writeText(userLightingFilePath(folder, 0), "[Mode0]\ntool=0\ncolor=0,0,255\n");
    readAs(0);
    state->enablePanel();
    state->selectModeCode(kUserMode);
    const Rgb old0 = state->user().tint(0), old1 = state->user().tint(1);
    const auto step = state->paintStroke(std::vector<int>{0, 1, kFirstGButton});
    ASSERT_EQ(step.after.size(), 2u) << "the G button is not painted";

    kb.requests.clear();
    EXPECT_EQ(state->restorePaint(step, false), 2);
    EXPECT_EQ(state->user().tint(0), old0);
    EXPECT_EQ(state->user().tint(1), old1);
    EXPECT_FALSE(kb.of(CMD_WRITE_COLOURS).empty());
    EXPECT_EQ(state->restorePaint(step, true), 2);
    EXPECT_EQ(state->user().tint(0), (Rgb{0, 0, 255}));

    state->user().setPaintColour(Rgb{9, 9, 9});
    state->paintKey(1);
    EXPECT_EQ(state->restorePaint(step, false), 1);
    EXPECT_EQ(state->user().tint(1), (Rgb{9, 9, 9}));
    const auto chosen = state->selectSlot(1);
    EXPECT_EQ(state->restorePaint(step, true), 0) << "another slot";

    // The slots: a choice and a rename are steps too, each undone only from where it left things.
    const auto renamed = state->renameSlot(u"Mine");
    EXPECT_TRUE(state->restoreSlot(renamed, false));
    EXPECT_FALSE(state->restoreSlot(renamed, false)) << "the name is not the one the rename left";
    EXPECT_EQ(state->user().slotNames()[1], renamed.nameBefore);
    EXPECT_TRUE(state->restoreSlot(chosen, false));
    EXPECT_EQ(state->user().slot(), 0);
    EXPECT_TRUE(state->restoreSlot(chosen, true));
    EXPECT_TRUE(state->restoreSlot(renamed, true));
    EXPECT_EQ(state->user().slotNames()[1], u"Mine");
}

TEST_F(LightingStateTest, ReadingInTheUserModeUploadsTheSlot) {
    const uint8_t block[] = {20};
    kb.setBlock(0, block);
    state->setProfile(0);
    ASSERT_EQ(state->readLighting(), 1);
    EXPECT_EQ(kb.of(CMD_WRITE_COLOURS).size(), 8u);
    // Outside the user mode the slot is loaded but not sent.
    kb.settings[0] = 1;
    kb.requests.clear();
    ASSERT_EQ(state->readLighting(), 1);
    EXPECT_TRUE(kb.of(CMD_WRITE_COLOURS).empty());
}

TEST_F(LightingStateTest, FailedWritesAreReportedWhileTheInterfaceKeepsTheChoice) {
    readAs(0);
    kb.failures[CMD_WRITE_SETTINGS] = device::kBusyFF;
    LightingView v = state->setBrightness(3);
    EXPECT_EQ(state->lastResult(), device::kBusyFF);
    EXPECT_EQ(v.brightnessPosition, 3);
    EXPECT_EQ(kb.commands().back(), CMD_END_WRITE);
    // The effect colour's first byte fails: the colour is not sent after it.
    kb.requests.clear();
    state->setEffectColour(Rgb{1, 2, 3});
    EXPECT_EQ(kb.of(CMD_WRITE_SETTINGS).size(), 1u);
    EXPECT_EQ(state->effectColour(), (Rgb{1, 2, 3}));

    kb.failures.clear();
    state->setBrightness(1);
    EXPECT_EQ(state->lastResult(), 1);
    // Nothing to send counts as success.
    state->setBrightness(1);
    EXPECT_EQ(state->lastResult(), 1);

    // A failing colour upload of the user mode is reported by the selection.
    kb.failures[CMD_WRITE_COLOURS] = device::kNoReply;
    state->selectModeCode(kUserMode);
    EXPECT_EQ(state->lastResult(), device::kNoReply);
    EXPECT_EQ(state->mode(), kUserMode);
}

TEST_F(LightingStateTest, AFrameTheKeyboardDidNotOpenGetsNoWritesAndAFailedCloseIsReported) {
    readAs(0);
    kb.failures[device::CMD_BEGIN_WRITE] = device::kBusyFE;
    state->setBrightness(2);
    EXPECT_EQ(kb.commands(), std::vector<uint8_t>{device::CMD_BEGIN_WRITE});
    EXPECT_EQ(state->lastResult(), device::kBusyFE);

    kb.failures.clear();
    kb.failures[CMD_END_WRITE] = device::kNoReply;
    kb.requests.clear();
    state->setBrightness(3);
    EXPECT_EQ(settingsWrites(), (std::vector<Write>{{1, {3}}}));
    EXPECT_EQ(state->lastResult(), device::kNoReply);
}

TEST_F(LightingStateTest, ReadWithoutUserSlotsSendsNoColours) {
    const uint8_t block[] = {20};
    kb.setBlock(0, block);
    state->setProfile(0);
    ASSERT_EQ(state->readLighting(LightingState::UserSlots::Skip), 1);
    EXPECT_TRUE(kb.of(CMD_WRITE_COLOURS).empty());
    EXPECT_EQ(state->mode(), kUserMode);
}

TEST_F(LightingStateTest, ResetToDefaultsWorksWithThePanelOff) {
    readAs(2);
    state->resetToDefaults();
    EXPECT_EQ(std::equal(kDefaultParamsBlock.begin(), kDefaultParamsBlock.end(), kb.settings.begin() + 84),
              true);
    EXPECT_EQ(state->lastResult(), 1);
}

} // namespace
} // namespace tarvik::lighting
