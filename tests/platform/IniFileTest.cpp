#include "platform/IniFile.h"

#include "platform/Utf.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tarvik {
namespace {

namespace fs = std::filesystem;

std::string utf16le(std::u16string_view text, bool bom = true) {
    std::string out = bom ? std::string("\xFF\xFE") : std::string();
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

class IniFileFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(std::getenv("HOME")) / "ini" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    fs::path dir_;
};

constexpr std::string_view kSample = "; settings\r\n"
                                     "[Screen]\r\n"
                                     "Main = main.jpg \r\n"
                                     "Empty=\r\n"
                                     "Quoted=\"  padded  \"\r\n"
                                     "Single='x'\r\n"
                                     "Mismatched=\"x'\r\n"
                                     "Inner=a \"b\" c\r\n"
                                     "Eq=a=b\r\n"
                                     "no equals sign here\r\n"
                                     "[broken\r\n"
                                     "  [ Other ]  trailing\r\n"
                                     "Key=first\r\n"
                                     "KEY=second\r\n"
                                     "[SCREEN]\r\n"
                                     "Late=unreachable\r\n";

TEST(IniFile, ReadsValuesAsTheProfileFunctionsDo) {
    const IniFile ini = IniFile::parse(kSample);
    struct Case {
        std::u16string_view section, key, expected;
    } cases[] = {
        {u"Screen", u"Main", u"main.jpg"},
        {u"screen", u"MAIN", u"main.jpg"},     // names without regard to case
        {u" Screen ", u" Main", u"main.jpg"},  // caller's names trimmed too
        {u"Screen", u"Empty", u""},            // present and empty: not the default
        {u"Screen", u"Quoted", u"  padded  "}, // one pair of quotes removed, inner blanks kept
        {u"Screen", u"Single", u"x"},
        {u"Screen", u"Mismatched", u"\"x'"},
        {u"Screen", u"Inner", u"a \"b\" c"},
        {u"Screen", u"Eq", u"a=b"},     // split at the first '='
        {u"Other", u"key", u"first"},   // first of two keys wins
        {u"Screen", u"Late", u"<def>"}, // a repeated section is never read
        {u"Screen", u"no equals sign here", u"<def>"},
        {u"broken", u"Key", u"<def>"},
        {u"Missing", u"Main", u"<def>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ini.get(c.section, c.key, u"<def>"), c.expected)
            << toUtf8(c.section) << "/" << toUtf8(c.key);
    }
    EXPECT_EQ(ini.keys(u"SCREEN"), (std::vector<std::u16string>{u"Main", u"Empty", u"Quoted", u"Single",
                                                                u"Mismatched", u"Inner", u"Eq"}));
    EXPECT_EQ(ini.keys(u"other"), (std::vector<std::u16string>{u"Key"}));
    EXPECT_EQ(ini.sections(), (std::vector<std::u16string>{u"Screen", u"Other"}));
    EXPECT_TRUE(ini.contains(u"screen", u"empty"));
    EXPECT_FALSE(ini.contains(u"screen", u"late"));
}

TEST(IniFile, CutsReadsToCapacityLessOne) {
    const std::string value(300, 'v');
    const IniFile ini = IniFile::parse("[S]\nLong=" + value + "\nPair=ab\xF0\x9F\x98\x80\n");
    EXPECT_EQ(ini.get(u"S", u"Long").size(), 259u);
    EXPECT_EQ(ini.get(u"S", u"Long", u"", 108).size(), 107u);
    EXPECT_EQ(ini.get(u"S", u"Long", u"", 1), u"");
    EXPECT_EQ(ini.get(u"S", u"Long", u"", 0), u"");
    EXPECT_EQ(ini.get(u"S", u"Missing", u"defaults", 4), u"def");
    // Capacity 4 leaves room for three units: "ab" and half of the pair, which is dropped.
    EXPECT_EQ(ini.get(u"S", u"Pair", u"", 4), u"ab");
    EXPECT_EQ(ini.get(u"S", u"Pair", u"", 5), u"ab\U0001F600");
    // The default is handed back as given, blanks included.
    EXPECT_EQ(ini.get(u"S", u"Missing", u" "), u" ");
}

TEST(IniFile, ReadsUtf16AndUtf8WithBom) {
    const std::u16string text = u"[CHINESE]\r\nMENU_33=\u9000\u51FA\r\nX=\U0001F600\r\n";
    const IniFile wide = IniFile::parse(utf16le(text));
    EXPECT_EQ(wide.encoding(), IniEncoding::Utf16Le);
    EXPECT_TRUE(wide.hasBom());
    EXPECT_EQ(wide.get(u"chinese", u"menu_33"), u"\u9000\u51FA");
    EXPECT_EQ(wide.get(u"chinese", u"x"), u"\U0001F600");

    const IniFile noBom = IniFile::parse(utf16le(text, false));
    EXPECT_EQ(noBom.encoding(), IniEncoding::Utf16Le);
    EXPECT_EQ(noBom.get(u"CHINESE", u"MENU_33"), u"\u9000\u51FA");

    const IniFile utf8 = IniFile::parse("\xEF\xBB\xBF[A]\nk=\xE4\xB8\xAD\n");
    EXPECT_EQ(utf8.encoding(), IniEncoding::Utf8);
    EXPECT_TRUE(utf8.hasBom());
    EXPECT_EQ(utf8.get(u"A", u"k"), u"\u4E2D");
}

TEST(IniFile, SetKeepsEveryOtherLineByteForByte) {
    // A legacy byte (0xB0) that is not UTF-8 and a last line without a line end must survive a write.
    const std::string before = "; top\r\n[A]\r\n  k1 = old \r\n\r\n; about B\r\n[B]\r\nlegacy=\xB0\r\nz=1";
    IniFile ini = IniFile::parse(before);
    EXPECT_EQ(ini.serialize(), before);

    EXPECT_EQ(ini.set(u"a", u"K1", u"new"), IniFile::SetResult::Changed);
    EXPECT_EQ(ini.set(u"A", u"k2", u"two"), IniFile::SetResult::Changed);
    EXPECT_EQ(ini.set(u"B", u"y", u"2"), IniFile::SetResult::Changed);
    EXPECT_EQ(ini.set(u"C", u"x", u"3"), IniFile::SetResult::Changed);
    EXPECT_EQ(ini.serialize(),
              "; top\r\n[A]\r\nk1=new\r\nk2=two\r\n\r\n; about B\r\n[B]\r\nlegacy=\xB0\r\nz=1\r\n"
              "y=2\r\n[C]\r\nx=3\r\n");
    EXPECT_EQ(ini.set(u"A", u"k1", u"new"), IniFile::SetResult::Unchanged);
}

TEST(IniFile, SetQuotesWhatWouldNotReadBackAndRefusesLineBreaks) {
    IniFile ini = IniFile::parse("[S]\n");
    const std::u16string_view values[] = {u"  lead", u"trail  ", u"\"quoted\"", u"'q'", u"", u"plain"};
    for (auto v : values) {
        ini.set(u"S", u"k", v);
        EXPECT_EQ(IniFile::parse(ini.serialize()).get(u"S", u"k", u"<def>"), v) << toUtf8(v);
    }
    ini.set(u"S", u"evil", u"x\r\n[Injected]\nk=v");
    const IniFile back = IniFile::parse(ini.serialize());
    EXPECT_FALSE(back.containsSection(u"Injected"));
    EXPECT_EQ(back.get(u"S", u"evil"), u"x  [Injected] k=v");
}

TEST(IniFile, SetKeepsUtf16Encoding) {
    IniFile ini = IniFile::parse(utf16le(u"[M]\r\na=1\r\n"));
    ini.set(u"M", u"b", u"\u4E2D");
    EXPECT_EQ(ini.serialize(), utf16le(u"[M]\r\na=1\r\nb=\u4E2D\r\n"));

    IniFile fresh;
    fresh.setEncoding(IniEncoding::Utf16Le);
    fresh.set(u"S", u"k", u"v");
    EXPECT_EQ(fresh.serialize(), utf16le(u"[S]\nk=v\n"));
}

TEST(IniFile, SetOnUtf16WithoutBomOrWithAnOddLastByte) {
    // No BOM and a dangling byte after the last character: the change adds the BOM, drops the byte that
    // holds no character, and every character stays aligned.
    IniFile ini = IniFile::parse(utf16le(u"[S]\r\nk=v", false) + "X");
    ASSERT_EQ(ini.encoding(), IniEncoding::Utf16Le);
    EXPECT_FALSE(ini.hasBom());
    ini.set(u"T", u"n", u"\u4E2D");
    EXPECT_EQ(ini.serialize(), utf16le(u"[S]\r\nk=v\r\n[T]\r\nn=\u4E2D\r\n"));
}

TEST(IniFile, RefusesKeysThatCouldNotReadBack) {
    IniFile ini = IniFile::parse("[S]\nk=1\n");
    for (std::u16string_view key : {u"", u"  ", u"[a", u";a", u"a=b", u"a\nb"}) {
        EXPECT_FALSE(IniFile::isStorableKey(key)) << toUtf8(key);
        EXPECT_EQ(ini.set(u"S", key, u"b]"), IniFile::SetResult::Refused) << toUtf8(key);
    }
    EXPECT_EQ(ini.serialize(), "[S]\nk=1\n");
}

TEST(IniFile, WritePrivateProfileStringTellsARefusedKeyFromAnUnchangedValue) {
    const fs::path file = fs::temp_directory_path() / ("tarvik-ini-" + std::to_string(::getpid()) + ".ini");
    fs::remove(file);
    ASSERT_TRUE(writePrivateProfileString(u"S", u"k", u"1", file));
    EXPECT_TRUE(writePrivateProfileString(u"S", u"K", u"1", file)) << "already there is a success";
    // A blank name (a missing language text) stores nothing and must not say it did.
    EXPECT_FALSE(writePrivateProfileString(u"S", u" ", u"1", file));
    EXPECT_FALSE(writePrivateProfileString(u"S", u"a=b", u"1", file));
    EXPECT_EQ(IniFile::load(file).keys(u"S"), std::vector<std::u16string>{u"k"});
    fs::remove(file);
}

TEST(IniFile, ParsesMalformedInputWithoutLoss) {
    const std::string inputs[] = {
        std::string("\xFF\xFE[", 3),              // odd byte count in UTF-16
        std::string("\xFF\xFE\x00\xD8\n\x00", 6), // lone surrogate
        "[",
        "]=[",
        "=value\n[S]\n=v\n",
        std::string("[S]\nk=\0v\n", 9),
        "\r\r\n\n\r",
    };
    for (const auto& in : inputs) {
        EXPECT_EQ(IniFile::parse(in).serialize(), in);
    }
    EXPECT_EQ(IniFile::parse("=value\n[S]\n=v\n").keys(u"S").size(), 0u);
}

TEST(IniFile, ProfileStringToIntReadsLikeWtoi) {
    struct Case {
        std::u16string_view text;
        int value;
    } cases[] = {{u"1", 1},
                 {u" 12 ", 12},
                 {u"-7", -7},
                 {u"+3", 3},
                 {u"2abc", 2},
                 {u"abc", 0},
                 {u" ", 0},
                 {u"", 0},
                 {u"007", 7},
                 {u"- 1", 0},
                 {u"99999999999", INT32_MAX},
                 {u"-99999999999", INT32_MIN}};
    for (const auto& c : cases) {
        EXPECT_EQ(profileStringToInt(c.text), c.value) << toUtf8(c.text);
    }
}

TEST_F(IniFileFiles, MissingFileReadsEmptyAndWriteCreatesUtf8) {
    const fs::path file = dir_ / "new.ini";
    EXPECT_EQ(getPrivateProfileString(u"S", u"k", u"dflt", 260, file), u"dflt");
    ASSERT_TRUE(writePrivateProfileString(u"language", u"language", u"1", file));
    EXPECT_EQ(readFile(file), "[language]\nlanguage=1\n");
    EXPECT_EQ(getPrivateProfileString(u"LANGUAGE", u"Language", u" ", 260, file), u"1");
}

TEST_F(IniFileFiles, WriteKeepsTheFileAndItsEncoding) {
    const fs::path wide = dir_ / "wide.ini";
    writeFile(wide, utf16le(u"; c\r\n[PRESENTMODE]\r\nmode=0\r\n[MODENAME]\r\n0=\u6E38\u620F\r\n"));
    ASSERT_TRUE(writePrivateProfileString(u"presentmode", u"MODE", u"3", wide));
    ASSERT_TRUE(writePrivateProfileString(u"Mode3", u"110", u"0,0,255,0", wide));
    EXPECT_EQ(
        readFile(wide),
        utf16le(
            u"; "
            u"c\r\n[PRESENTMODE]\r\nmode=3\r\n[MODENAME]\r\n0=\u6E38\u620F\r\n[Mode3]\r\n110=0,0,255,0\r\n"));

    const fs::path bom = dir_ / "bom.ini";
    writeFile(bom, "\xEF\xBB\xBF[A]\nk=1\n");
    ASSERT_TRUE(writePrivateProfileString(u"A", u"k", u"2", bom));
    EXPECT_EQ(readFile(bom), "\xEF\xBB\xBF[A]\nk=2\n");
}

TEST_F(IniFileFiles, UnreadableFileIsNeverReplaced) {
    // A folder in the file's place exists but cannot be read as a file.
    const fs::path folder = dir_ / "folder.ini";
    fs::create_directories(folder / "inside");
    EXPECT_FALSE(writePrivateProfileString(u"A", u"k", u"v", folder));
    EXPECT_TRUE(fs::is_directory(folder / "inside"));
    EXPECT_EQ(getPrivateProfileString(u"A", u"k", u"d", 260, folder), u"d");

    if (::geteuid() == 0) {
        return; // root reads files without read permission
    }
    const fs::path file = dir_ / "locked.ini";
    writeFile(file, "[A]\nkeep=me\n");
    fs::permissions(file, fs::perms::none);
    EXPECT_FALSE(writePrivateProfileString(u"A", u"k", u"v", file));
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(readFile(file), "[A]\nkeep=me\n");
}

// The program and tarvikctl write the same file: every write of two processes at once is kept. A file
// changed behind the reader's back is read again (even when its size stays the same), and one too large
// for a settings file is neither read nor replaced.
TEST_F(IniFileFiles, WritesOfTwoProcessesAreAllKeptAndReadsFollowTheFile) {
    const fs::path file = dir_ / "shared.ini";
    constexpr int kEach = 40;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    const std::u16string who = child == 0 ? u"child" : u"parent";
    bool allWritten = true;
    for (int i = 0; i < kEach; ++i) {
        allWritten =
            writePrivateProfileString(u"S", who + toUtf16(std::to_string(i)), u"1", file) && allWritten;
    }
    if (child == 0) {
        ::_exit(allWritten ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(allWritten);
    const std::vector<std::u16string> keys = IniFile::load(file).keys(u"S");
    EXPECT_EQ(keys.size(), 2u * kEach) << "writes were lost";

    writeFile(file, "[A]\nk=1\n");
    EXPECT_EQ(getPrivateProfileString(u"A", u"k", u"", 260, file), u"1");
    {
        std::ofstream same(file, std::ios::binary | std::ios::in | std::ios::out); // same inode, same size
        same << "[A]\nk=2\n";
    }
    EXPECT_EQ(getPrivateProfileString(u"A", u"k", u"", 260, file), u"2");

    const std::string large = "[A]\nk=1\n" + std::string(IniFile::kMaxFileBytes, ';');
    writeFile(file, large);
    EXPECT_EQ(getPrivateProfileString(u"A", u"k", u"d", 260, file), u"d");
    EXPECT_FALSE(writePrivateProfileString(u"A", u"k", u"3", file));
    EXPECT_EQ(readFile(file), large);
}

} // namespace
} // namespace tarvik
