#include "session/last_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/test_support.h"

namespace {

using kivo::SessionTab;
using namespace std::string_literals;

std::string Header() {
    return kivo::FormatSessionFile({});
}

std::vector<SessionTab> Parse(const std::string& text, std::string* said = nullptr) {
    std::ostringstream warnings;
    auto tabs = kivo::ParseSessionFile(text, warnings);
    if (said)
        *said = warnings.str();
    return tabs;
}

TEST(LastSession, EveryFieldComesBackAsWrittenWhateverItHolds) {
    const std::vector<SessionTab> tabs = {
        {"http://127.0.0.1:8080/account-login?a=1&b=%20", "{00000000-0000-0000-0000-000000000001}",
         "{00000000-0000-0000-0000-000000000002}", "账号 'x'\t\\n", "[账号]标题\n第二行\r\\"},
        {"kivo://www.kivo.local/news/", "0", "", "", ""},
        {"HTTPS://例子.测试/路径", "", "", "", "tab\\t"}};
    std::string said;
    EXPECT_EQ(Parse(kivo::FormatSessionFile(tabs), &said), tabs);
    EXPECT_EQ(said, "");
    // One line per tab after the header, whatever the fields hold.
    const std::string text = kivo::FormatSessionFile(tabs);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
}

TEST(LastSession, OnlyWebAddressesOfASaneLengthCanBeReopened) {
    EXPECT_TRUE(kivo::RestorableUrl("http://a/"));
    EXPECT_TRUE(kivo::RestorableUrl("Https://a.b/c?d=e"));
    EXPECT_TRUE(kivo::RestorableUrl("kivo://www.kivo.local/news/"));
    EXPECT_TRUE(kivo::RestorableUrl("http://a/" + std::string(kivo::kMaxSessionUrlBytes - 9, 'x')));
    for (const std::string& url :
         {""s, "http://"s, "about:blank"s, "file:///etc/passwd"s, "javascript:alert(1)"s,
          "data:text/html,<b>x</b>"s, " http://a/"s, "http://a/ b"s, "http://a/\nb"s,
          "http://a/\x7f"s, "http://a/\xff"s,
          "http://a/" + std::string(kivo::kMaxSessionUrlBytes - 8, 'x'),
          "http://a/" + std::string(100000, 'x')})
        EXPECT_FALSE(kivo::RestorableUrl(url)) << url.substr(0, 40);
}

TEST(LastSession, DamagedEntriesAreLeftOutWithAWordAndTheRestKept) {
    const std::string good = "http://a/1\t0\t\t\tone\n";
    const std::string text = Header() + "http://a/" + std::string(100000, 'x') + "\t0\t\t\tlong\n" +
                             good + "file:///etc/passwd\t0\t\t\tfile\n" +
                             "http://a/2\t0\t\tone field short\n" + "http://a/3\t0\t\t\t\textra\n" +
                             "http://a/4\t0\t\t\tbad \\q escape\n" + "http://a/5\t0\t\t\tcut\\\n" +
                             "http://a/6\t0\t\t\t\xc3\x28\n" + "\n" + "http://a/7\t0\t\t\tseven";
    std::string said;
    const auto tabs = Parse(text, &said);
    ASSERT_EQ(tabs.size(), 2u);
    EXPECT_EQ(tabs[0].Caption, "one");
    EXPECT_EQ(tabs[1].Url, "http://a/7");  // a last line without its line end still counts
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 7) << said;
    EXPECT_NE(said.find("tab 1 of the last session is left out: its address cannot be reopened"),
              std::string::npos)
        << said;
}

TEST(LastSession, AFileThatIsNotSuchAListGivesNothing) {
    std::string said;
    for (const std::string& text :
         {"http://a/1\t0\t\t\tone\n"s, "gameKivo last session 2\nhttp://a/1\t0\t\t\tone\n"s,
          "\0\0\0\0"s, "gameKivo last session 1"s + "\r\nhttp://a/1\t0\t\t\tone\n"}) {
        EXPECT_TRUE(Parse(text, &said).empty());
        EXPECT_NE(said.find("damaged"), std::string::npos);
    }
    EXPECT_TRUE(Parse(Header(), &said).empty());
    EXPECT_EQ(said, "");

    // No more than the limit of tabs.
    std::string many = Header();
    for (size_t i = 0; i < kivo::kMaxSessionTabs + 5; ++i) many += "http://a/\t0\t\t\t\n";
    EXPECT_EQ(Parse(many, &said).size(), kivo::kMaxSessionTabs);
    EXPECT_NE(said.find("the rest are left out"), std::string::npos);
}

TEST(LastSession, TheFileIsReplacedWholeAndAMissingOrHugeOneGivesNothing) {
    kivo::test::TempHome home;
    const std::string path = home.Path() + "/LastSession";
    std::ostringstream warnings;
    EXPECT_TRUE(kivo::ReadLastSession(path, warnings).empty());
    EXPECT_EQ(warnings.str(), "") << "no list yet is nothing to speak of";

    const std::vector<SessionTab> tabs = {{"http://a/", "1", "2", "u", "c"}};
    kivo::WriteLastSession(path, tabs);
    EXPECT_EQ(kivo::ReadLastSession(path, warnings), tabs);
    kivo::WriteLastSession(path, {});
    EXPECT_TRUE(kivo::ReadLastSession(path, warnings).empty());

    {
        std::ofstream huge(path, std::ios::binary);
        huge << Header();
        const std::string line = "http://a/\t0\t\t\t" + std::string(1000, 'c') + "\n";
        while (huge.tellp() <= static_cast<std::streamoff>(kivo::kMaxSessionFileBytes))
            huge << line;
    }
    EXPECT_TRUE(kivo::ReadLastSession(path, warnings).empty());
    EXPECT_NE(warnings.str().find("is ignored"), std::string::npos);
    EXPECT_TRUE(kivo::ReadLastSession(home.Path(), warnings).empty()) << "a folder is no list";
}

}  // namespace
