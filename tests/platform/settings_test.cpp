#include "platform/user_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/text.h"
#include "tests/support/test_support.h"

namespace {

const char* kShell = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST(UserSettings, ValuesAreKeptPerKeyAndNameIgnoringCase) {
    kivo::test::TempHome home;
    kivo::UserSettings settings;
    EXPECT_EQ(settings.File(), home.Path() + "/config/gameKivo/settings");
    EXPECT_FALSE(settings.Read(kShell, "Cookies").has_value());

    settings.Write(kShell, "Cookies", "/x/KivoCache/张三");
    settings.Write(kShell, "Cache", "");
    settings.Write("Other", "", "default value");
    EXPECT_EQ(settings.Read(kShell, "cookies"), "/x/KivoCache/张三");
    EXPECT_EQ(settings.Read(kivo::AsciiUpper(kShell), "CACHE"), "");
    EXPECT_EQ(settings.Read("other", ""), "default value");

    settings.Write(kShell, "COOKIES", "second");
    EXPECT_EQ(settings.Read(kShell, "Cookies"), "second");
    settings.DeleteValue(kShell, "Cookies");
    EXPECT_FALSE(settings.Read(kShell, "Cookies").has_value());
    EXPECT_EQ(settings.Read(kShell, "Cache"), "");
}

TEST(UserSettings, AwkwardValuesSurviveAndCannotForgeLines) {
    kivo::test::TempHome home;
    kivo::UserSettings settings;
    const std::string nasty = "a\\b\n[Injected]\r\nname=evil\\n=";
    settings.Write("K", "v", nasty);
    EXPECT_EQ(settings.Read("K", "v"), nasty);
    EXPECT_FALSE(settings.Read("Injected", "name").has_value());
    EXPECT_THROW(settings.Write("K", "a=b", "x"), std::invalid_argument);
    EXPECT_THROW(settings.Write("K\n[X]", "a", "x"), std::invalid_argument);
}

TEST(UserSettings, DeleteKeyTakesSubkeysAndLeavesNeighbours) {
    kivo::test::TempHome home;
    kivo::UserSettings settings;
    settings.Write("A\\B", "", "1");
    settings.Write("A\\B\\C", "", "2");
    settings.Write("A\\BC", "", "3");
    settings.DeleteKey("a\\b");
    EXPECT_FALSE(settings.Read("A\\B", "").has_value());
    EXPECT_FALSE(settings.Read("A\\B\\C", "").has_value());
    EXPECT_EQ(settings.Read("A\\BC", ""), "3");
}

TEST(UserSettings, LinesItDoesNotUnderstandAreKeptAndNoTemporaryFileRemains) {
    kivo::test::TempHome home;
    kivo::UserSettings settings;
    std::filesystem::create_directories(home.Path() + "/config/gameKivo");
    {
        std::ofstream out(settings.File());
        out << "# a comment\n[K]\ngarbage without equals\nv=1\n";
    }
    settings.Write("K", "w", "2");
    const std::string text = Slurp(settings.File());
    EXPECT_NE(text.find("# a comment"), std::string::npos);
    EXPECT_NE(text.find("garbage without equals"), std::string::npos);
    EXPECT_EQ(settings.Read("K", "v"), "1");
    EXPECT_EQ(settings.Read("K", "w"), "2");
    EXPECT_FALSE(std::filesystem::exists(settings.File() + ".new"));
}

TEST(TextConversion, Utf16RoundTripAndReplacement) {
    const std::string text = "游戏 \"x\" 𝄞 é";
    EXPECT_EQ(kivo::Utf16ToUtf8(kivo::Utf8ToUtf16(text)), text);
    EXPECT_EQ(kivo::Utf8ToUtf16("𝄞").size(), 2u);
    EXPECT_EQ(kivo::Utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
    EXPECT_EQ(kivo::Utf8ToUtf16("\xC0\x80"), std::u16string(1, u'\xFFFD'));
}

TEST(TextConversion, FormComponentsDecodeToTheirBytes) {
    EXPECT_EQ(kivo::DecodeFormComponent("a+b%41%e9"), "a bA\xE9");
    EXPECT_EQ(kivo::DecodeFormComponent("%E6%B8%B8"), "游");
    // What is not an escape stays as it is, also at the very end.
    EXPECT_EQ(kivo::DecodeFormComponent("100%"), "100%");
    EXPECT_EQ(kivo::DecodeFormComponent("%4"), "%4");
    EXPECT_EQ(kivo::DecodeFormComponent("%zz%2"), "%zz%2");
    EXPECT_EQ(kivo::DecodeFormComponent("%00"), std::string(1, '\0'));
}

}  // namespace
