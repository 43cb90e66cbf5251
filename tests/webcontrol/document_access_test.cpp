// The main side of document access: what it takes from a worker's answer, and how it copes with
// a peer that answers badly or not at all.
#include "webcontrol/document_access.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "platform/unique_fd.h"
#include "tests/support/test_support.h"

namespace {

using namespace std::chrono_literals;
using kivo::document::DocumentError;
using kivo::document::InputElement;

TEST(DocumentAccess, RepliesRoundTripAndAnythingElseIsRefused) {
    const std::vector<InputElement> elements = {
        {"text", "user", "a\"b\\c/d\n\r\t\x01 </script> 中文 😀"},
        {"password", "p=w", std::string(10000, 'v')},
        {"hidden", "", ""}};
    const auto back =
        kivo::document::ParseInputElements(kivo::document::FormatInputElements(elements));
    ASSERT_EQ(back.size(), elements.size());
    for (size_t i = 0; i < back.size(); ++i) {
        EXPECT_EQ(back[i].type, elements[i].type);
        EXPECT_EQ(back[i].name, elements[i].name);
        EXPECT_EQ(back[i].value, elements[i].value);
    }
    // What a page's script engine writes: escaped pairs and lone halves of UTF-16.
    const auto escaped = kivo::document::ParseInputElements(
        R"( [ ["text" , "n\u00e9", "\ud83d\ude00\u4e2d"] ,["text","x","\ud800"]] )");
    EXPECT_EQ(escaped[0].name, "né");
    EXPECT_EQ(escaped[0].value, "😀中");
    EXPECT_EQ(escaped[1].value, "\xEF\xBF\xBD");
    EXPECT_TRUE(kivo::document::ParseInputElements("[]").empty());

    for (const char* bad :
         {"", "[", "[[]]", R"([["a","b"]])", R"([["a","b","c","d"]])", R"([["a","b","c"]]x)",
          R"([["a","b",1]])", "[[\"a\",\"b\",\"c\n\"]]", R"([["a","b","\q"]])",
          R"([["a","b","\u12"]])", R"([["a","b","c"],])", R"({"a":1})", R"(["a"])"})
        EXPECT_THROW(kivo::document::ParseInputElements(bad), DocumentError) << bad;
}

TEST(DocumentAccess, OnlyNamedTextAndPasswordInputsMakeTheLoginForm) {
    const auto fields = kivo::document::LoginFields({{"hidden", "token", "t"},
                                                     {"password", "pass", "p"},
                                                     {"TEXT", "user", "u"},
                                                     {"text", "", "unnamed"},
                                                     {"checkbox", "remember", "on"},
                                                     {"email", "mail", "m"},
                                                     {"Password", "pin", ""}});
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[0].name, "pass");  // page order kept: the password may come first
    EXPECT_EQ(fields[1].name, "user");
    EXPECT_EQ(fields[2].name, "pin");
}

TEST(DocumentAccess, RequestsAndAddressesAreCheckedStrictly) {
    kivo::test::TempHome home;
    EXPECT_EQ(kivo::document::ParseRequest("inputs 4194305"), 4194305u);
    for (const char* bad : {"inputs ", "inputs 0", "inputs -1", "inputs 4294967296", "input 5",
                            "inputs 5 ", "inputs 12345678901"})
        EXPECT_THROW(kivo::document::ParseRequest(bad), DocumentError) << bad;
    EXPECT_EQ(kivo::document::FormatRequest(7), "inputs 7\n");

    const std::string path = kivo::document::SocketPathOf(123);
    EXPECT_TRUE(kivo::document::IsSocketPath(path));
    for (const std::string& bad :
         std::vector<std::string>{path + "/../../x", path + "x", "/tmp/gameKivo-document-123",
                                  path.substr(0, path.size() - 3)})
        EXPECT_FALSE(kivo::document::IsSocketPath(bad)) << bad;
}

// A peer at the document address of this process that does what `behave` does with each
// connection it takes.
class Peer {
  public:
    explicit Peer(std::function<void(int)> behave)
        : address_(kivo::document::SocketPathOf(getpid())) {
        sockaddr_un name{};
        name.sun_family = AF_UNIX;
        std::strcpy(name.sun_path, address_.c_str());
        unlink(address_.c_str());
        listener_.Reset(socket(AF_UNIX, SOCK_STREAM, 0));
        bind(listener_.Get(), reinterpret_cast<sockaddr*>(&name), sizeof(name));
        listen(listener_.Get(), 4);
        thread_ = std::thread([this, behave] {
            // The connection stays open until the peer goes, whatever `behave` did.
            kivo::UniqueFd client(accept(listener_.Get(), nullptr, nullptr));
            if (client.Valid())
                behave(client.Get());
            while (!done_) std::this_thread::sleep_for(10ms);
        });
    }
    ~Peer() {
        done_ = true;
        shutdown(listener_.Get(), SHUT_RDWR);
        thread_.join();
        unlink(address_.c_str());
    }
    const std::string& Address() const { return address_; }

  private:
    std::string address_;
    kivo::UniqueFd listener_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

TEST(DocumentAccess, APeerThatHangsOrAnswersBadlyGivesAnErrorInTime) {
    kivo::test::TempHome home;
    const auto saved = kivo::document::QuestionTimeout();
    kivo::document::SetQuestionTimeout(500ms);
    auto send = [](int fd, const std::string& data) {
        ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    };
    const std::vector<std::function<void(int)>> behaviours = {
        [](int) {},                                                           // never answers
        [&](int fd) { send(fd, std::string("\x7f\xff\xff\xff", 4)); },        // an endless length
        [&](int fd) { send(fd, std::string("\0\0\0\x40", 4) + "[[\"a\""); },  // stops halfway
        [&](int fd) { send(fd, std::string("\0\0\0\x03", 4) + "{}x"); },      // no list
        [](int fd) { shutdown(fd, SHUT_RDWR); },                              // hangs up
    };
    for (size_t i = 0; i < behaviours.size(); ++i) {
        Peer peer(behaviours[i]);
        EXPECT_THROW(kivo::document::AskInputElements(peer.Address(), 5), DocumentError) << i;
    }
    kivo::document::SetQuestionTimeout(10s);
    Peer good([&](int fd) {
        const std::string body = R"([["text","u","v"]])";
        send(fd, std::string("\0\0\0", 3) + static_cast<char>(body.size()) + body);
    });
    const auto elements = kivo::document::AskInputElements(good.Address(), 5);
    ASSERT_EQ(elements.size(), 1u);
    EXPECT_EQ(elements[0].value, "v");
    kivo::document::SetQuestionTimeout(saved);
}

}  // namespace
