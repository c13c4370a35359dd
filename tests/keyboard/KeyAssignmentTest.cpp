#include "keyboard/KeyAssignment.h"

#include "keyboard/UiTexts.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>
#include <vector>

namespace tarvik::keyboard {
namespace {

// A macro list of (id, name) in list order.
class FakeMacros : public MacroLookup {
public:
    explicit FakeMacros(std::vector<std::pair<uint32_t, std::u16string>> macros)
        : macros_(std::move(macros)) {}
    int macroPosition(uint32_t id) const override {
        for (size_t i = 0; i < macros_.size(); ++i) {
            if (macros_[i].first == id) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    std::u16string macroName(uint32_t id) const override {
        const int p = macroPosition(id);
        return p < 0 ? std::u16string() : macros_[p].second;
    }

private:
    std::vector<std::pair<uint32_t, std::u16string>> macros_;
};

KeyAssignment record(uint16_t type, uint32_t value = 0, uint16_t aux = 0) {
    KeyAssignment a;
    a.type = type;
    a.value = value;
    a.aux = aux;
    return a;
}

TEST(KeyAssignment, ReadsAndWritesItsSixteenBytesLittleEndian) {
    KeyAssignment a;
    a.type = 0x0004;
    a.aux = 0x0103;
    a.value = 0x01020304;
    a.flag = 0xA0B0C0D0;
    a.reserved = 0x11223344;
    std::array<uint8_t, 16> bytes{};
    a.write(bytes);
    const std::array<uint8_t, 16> expected = {0x04, 0x00, 0x03, 0x01, 0x04, 0x03, 0x02, 0x01,
                                              0xD0, 0xC0, 0xB0, 0xA0, 0x44, 0x33, 0x22, 0x11};
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(KeyAssignment::read(bytes), a);
}

TEST(KeyAssignment, EncodesTheKeyEntryOfARecord) {
    const FakeMacros macros({{7, u"one"}, {9, u"two"}, {12, u"three"}});
    const KeyEntry def = {0x02, 0x02, 0x04}; // the A key's default
    struct Case {
        KeyAssignment rec;
        KeyEntry entry;
        const char* what;
    };
    const Case cases[] = {
        {record(ASSIGN_SINGLE_KEY, 0x138), {0x02, 0x01, 0x40}, "Right Alt"},
        {record(ASSIGN_SINGLE_KEY, 0x010), {0x02, 0x02, 0x14}, "Q"},
        {record(ASSIGN_SINGLE_KEY, 0x01D), {0x02, 0x01, 0x01}, "Ctrl"},
        {record(ASSIGN_SINGLE_KEY, 0x036), {0x02, 0x01, 0x20}, "Right Shift"},
        {record(ASSIGN_SINGLE_KEY, 0x15C), {0x02, 0x01, 0x80}, "Right Win"},
        {record(ASSIGN_SINGLE_KEY, 0x146), {0x02, 0x02, 0x48}, "Break shares Pause's usage"},
        {record(ASSIGN_SINGLE_KEY, 0x15E), {0x02, 0x02, 0x00}, "Power has no keyboard-page usage"},
        {record(ASSIGN_SINGLE_KEY, 0x122), {0x02, 0x02, 0x00}, "a media key has none either"},
        {record(ASSIGN_SINGLE_KEY, 0x054), {0x02, 0x02, 0x00}, "Sys Req has no device code"},
        {record(ASSIGN_SINGLE_KEY, 0x10010), {0x02, 0x02, 0x00}, "a value beyond the key codes"},
        {record(ASSIGN_MEDIA, 1), {0x03, 0xCD, 0x00}, "play/pause"},
        {record(ASSIGN_MEDIA, 15), {0x03, 0x94, 0x01}, "local machine browser"},
        {record(ASSIGN_MEDIA, 0), {0x03, 0x83, 0x01}, "media player"},
        {record(ASSIGN_MEDIA, 18), def, "media index out of range keeps the default"},
        {record(ASSIGN_FUNCTION_KEY, 10), {0x05, 0x05, 0x0A}, "function 10"},
        {record(ASSIGN_FUNCTION_KEY, 0), {0x05, 0x05, 0x00}, "function 0"},
        {record(ASSIGN_FUNCTION_KEY, 266), def, "function index out of range keeps the default"},
        {record(ASSIGN_STOP_MACRO), {0x05, 0x02, 0x00}, "stop macro"},
        {record(ASSIGN_MACRO, 12, 5), {0x05, 0x01, 0x02}, "the third macro; the repeat count stays out"},
        {record(ASSIGN_MACRO, 7, 1), {0x05, 0x01, 0x00}, "the first macro"},
        {record(ASSIGN_MACRO, 99, 1), {0x05, 0x01, 0x00}, "an id no macro has"},
        {record(ASSIGN_LAUNCH, 40), def, "launch program: default entry"},
        {record(ASSIGN_TEXT_BLOCK, 40), {0x00, 0x00, 0x00}, "text block: no function"},
        {record(ASSIGN_NO_FUNCTION), {0x00, 0x00, 0x00}, "blocked"},
        {record(ASSIGN_DEFAULT, 0x138), def, "default"},
        {record(9, 1), def, "unknown type keeps the default"},
        {record(0xFFFF, 1), def, "unknown type keeps the default"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeKeyEntry(c.rec, def, macros), c.entry) << c.what;
    }
}

TEST(KeyAssignment, KeyOfAnEntry) {
    struct Case {
        KeyEntry entry;
        KeyCode key;
    };
    const Case cases[] = {
        {{0x02, 0x02, 0x04}, 0x01E}, {{0x02, 0x02, 0x48}, 0x045}, {{0x02, 0x02, 0x00}, 0},
        {{0x02, 0x01, 0x40}, 0x138}, {{0x02, 0x01, 0x41}, 0x01D}, // the lowest bit wins
        {{0x02, 0x01, 0x00}, 0},     {{0x02, 0x01, 0x20}, 0x036}, {{0x03, 0xB6, 0x00}, 0x110},
        {{0x03, 0x34, 0x12}, 0},     {{0x04, 0x81, 0x00}, 0x15E}, {{0x04, 0x81, 0x01}, 0},
        {{0x05, 0x00, 0x00}, 0},     {{0x05, 0x01, 0x02}, 0},     {{0x00, 0x00, 0x00}, 0},
        {{0xFF, 0xFF, 0xFF}, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KeyOfKeyEntry(c.entry), c.key)
            << int(c.entry[0]) << " " << int(c.entry[1]) << " " << int(c.entry[2]);
    }
}

TEST(KeyAssignment, MediaAndFunctionListsAgreeWithTheKeyTable) {
    for (const MediaKey& m : MediaKeyList()) {
        EXPECT_TRUE(IsMediaKeyCode(m.key)) << m.textKey;
        EXPECT_EQ(KeyCodeToHidUsage(m.key), (HidUsage{kPageConsumer, m.usage})) << m.textKey;
        EXPECT_EQ(KeyRowOf(m.key).textKey, m.textKey);
    }
    EXPECT_EQ(FunctionKeyList()[8].textKey, "FUNC_KEY_DESC9");
}

TEST(KeyAssignment, ResetProfileRecordsWritesTheGTags) {
    std::array<KeyAssignment, kSlotsPerProfile> recs;
    for (auto& r : recs) {
        r = record(ASSIGN_MACRO, 3, 7);
        r.flag = 1;
    }
    ResetProfileRecords(recs);
    for (size_t s = 0; s < recs.size(); ++s) {
        KeyAssignment expected;
        expected.aux = GKeyTagOfSlot(static_cast<KeySlot>(s));
        EXPECT_EQ(recs[s], expected) << s;
    }
    EXPECT_EQ(recs[256].aux, 0x0301);
    EXPECT_EQ(recs[273].aux, 0x1309);
}

TEST(KeyAssignment, ResetCurrentKeyboardKeysClearsButtonsAndTheCurrentLayer) {
    std::array<KeyAssignment, kSlotsPerProfile> recs;
    recs.fill(record(ASSIGN_NO_FUNCTION, 0, 0x55));
    ResetCurrentKeyboardKeys(recs, 1);
    EXPECT_EQ(recs[0x1E], KeyAssignment{});         // A
    EXPECT_EQ(recs[0xC5], KeyAssignment{});         // Num Lock
    EXPECT_EQ(recs[265], KeyAssignment{});          // G1, layer 1
    EXPECT_EQ(recs[273], KeyAssignment{});          // G9, layer 1
    EXPECT_EQ(recs[256].type, ASSIGN_NO_FUNCTION);  // layer 0 is left alone
    EXPECT_EQ(recs[0x54].type, ASSIGN_NO_FUNCTION); // Sys Req has no button
    EXPECT_EQ(recs[0xB6].type, ASSIGN_NO_FUNCTION); // nor the second Right Shift row
    size_t cleared = 0;
    for (const auto& r : recs) {
        cleared += r == KeyAssignment{};
    }
    EXPECT_EQ(cleared, 104u + 9u);
}

class RecordingSink : public AssignmentRecordSink {
public:
    void setRecord(size_t index, const KeyAssignment& r) override {
        log.push_back("set " + std::to_string(index));
        records[index] = r;
    }
    void releaseText(size_t index) override { log.push_back("release " + std::to_string(index)); }
    void attachText(size_t index, std::u16string_view text) override {
        log.push_back("attach " + std::to_string(index));
        texts[index] = std::u16string(text);
    }
    std::vector<std::string> log;
    std::map<size_t, KeyAssignment> records;
    std::map<size_t, std::u16string> texts;
};

TEST(KeyAssignment, AssignToSlotReleasesTheOldTextAndWritesTheWholeRecord) {
    RecordingSink sink;
    KeyAssignment r = record(ASSIGN_SINGLE_KEY, 0x03B);
    r.flag = 1;
    r.reserved = 0xDEAD;
    EXPECT_EQ(AssignToSlot(sink, 2, 0x1E, r), 2 * 512 + 0x1E);
    EXPECT_EQ(sink.log, (std::vector<std::string>{"release 1054", "set 1054"}));
    KeyAssignment expected = record(ASSIGN_SINGLE_KEY, 0x03B);
    EXPECT_EQ(sink.records[1054], expected);

    sink.log.clear();
    EXPECT_EQ(AssignToSlot(sink, 0, 258, record(ASSIGN_LAUNCH, 0, 0x0303), u"/usr/bin/true"), 258);
    EXPECT_EQ(sink.log, (std::vector<std::string>{"release 258", "set 258", "attach 258"}));
    EXPECT_EQ(sink.texts[258], u"/usr/bin/true");

    sink.log.clear();
    EXPECT_EQ(AssignToSlot(sink, 4, 1, r), -1);
    EXPECT_EQ(AssignToSlot(sink, 0, 512, r), -1);
    EXPECT_TRUE(sink.log.empty());
}

TEST(KeyAssignment, SummariesWithTheInitialTexts) {
    EXPECT_EQ(AssignmentSummary(1058, 0x1E, record(ASSIGN_SINGLE_KEY, 0x03B), NoMacros{}).text,
              u"AKeys, Set: Key(F1)");
    EXPECT_EQ(AssignmentSummary(1002, 258, record(ASSIGN_NO_FUNCTION), NoMacros{}).text, u"G3Keys, Set: ");
    EXPECT_EQ(AssignmentSummary(1002, 258, record(ASSIGN_DEFAULT), NoMacros{}).text, u"G3");
    EXPECT_EQ(AssignmentSummary(1058, 0x1E, record(ASSIGN_FUNCTION_KEY, 8), NoMacros{}).text,
              u"AKeys, Set: Function(Select All)");
}

TEST(KeyAssignment, Summaries) {
    const FakeMacros macros({{5, u"Combo"}});
    const std::u16string set = detail::uiText("KEY_PROMPT_SET");
    struct Case {
        int id;
        KeySlot slot;
        KeyAssignment rec;
        std::u16string text;
        bool assigned;
    };
    const Case cases[] = {
        {1002, 258, record(ASSIGN_DEFAULT, 0, 0x0303), u"G3", false},
        {1002, 258, record(ASSIGN_NO_FUNCTION, 0, 0x0303), u"G3" + set, true},
        {1002, 267, record(ASSIGN_STOP_MACRO), u"G3" + set, true},
        {1058, 0x1E, record(ASSIGN_SINGLE_KEY, 0x03B),
         u"A" + set + detail::uiText("KEY_PROMPT_SINGLE") + u"F1)", true},
        {1058, 0x1E, record(ASSIGN_MACRO, 5, 1), u"A" + set + detail::uiText("KEY_PROMPT_MACRO") + u"Combo)",
         true},
        {1058, 0x1E, record(ASSIGN_MACRO, 6, 1), u"A" + set + detail::uiText("KEY_PROMPT_MACRO") + u")",
         true},
        {1104, 0xC5, record(ASSIGN_MEDIA, 1),
         u"Num Lock" + set + detail::uiText("KEY_PROMPT_MEDIA") + KeyName(0x122) + u")", true},
        {1104, 0xC5, record(ASSIGN_MEDIA, 40), u"Num Lock" + set + detail::uiText("KEY_PROMPT_MEDIA") + u")",
         true},
        {1058, 0x1E, record(ASSIGN_FUNCTION_KEY, 10),
         u"A" + set + detail::uiText("KEY_PROMPT_FUNCTION") + detail::uiText("FUNC_KEY_DESC11") + u")", true},
        {1058, 0x1E, record(ASSIGN_FUNCTION_KEY, 11),
         u"A" + set + detail::uiText("KEY_PROMPT_FUNCTION") + u")", true},
        {1058, 0x1E, record(ASSIGN_TEXT_BLOCK, 0), u"A" + set, true},
    };
    for (const auto& c : cases) {
        const AssignmentSummaryText s = AssignmentSummary(c.id, c.slot, c.rec, macros);
        EXPECT_EQ(s.text, c.text) << c.id << " type " << c.rec.type;
        EXPECT_EQ(s.assigned, c.assigned) << c.id << " type " << c.rec.type;
    }
}

} // namespace
} // namespace tarvik::keyboard
