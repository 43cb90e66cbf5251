#include "tests/support/test_web_server.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <memory>
#include <thread>

namespace kivo::test {
namespace {

TEST(TestWebServerTest, EchoesAPostAndRecordsIt) {
    TestWebServer server;
    ASSERT_EQ(server.Url("/echo").rfind("http://127.0.0.1:", 0), 0u);

    httplib::Client client("127.0.0.1", server.Port());
    client.set_default_headers({{"Cookie", "a=1"}});
    const std::string body("x=<1>&y=2\0z", 11);
    const auto result = client.Post("/echo?from=test", body, "application/x-www-form-urlencoded");
    ASSERT_TRUE(result) << httplib::to_string(result.error());
    EXPECT_EQ(result->status, 200);
    EXPECT_NE(result->body.find("<title>Echo</title>"), std::string::npos);
    EXPECT_NE(result->body.find("<pre id=\"method\">POST</pre>"), std::string::npos);
    EXPECT_NE(result->body.find("<pre id=\"content-type\">application/x-www-form-urlencoded</pre>"),
              std::string::npos);
    EXPECT_NE(result->body.find("x=&lt;1&gt;&amp;y=2"), std::string::npos) << result->body;

    ASSERT_TRUE(client.Get("/missing"));
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, "/echo");
    EXPECT_EQ(requests[0].query, "from=test");
    EXPECT_EQ(requests[0].content_type, "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[0].body, body);
    EXPECT_EQ(requests[0].cookie, "a=1");
    EXPECT_EQ(requests[1].path, "/missing");
    EXPECT_EQ(server.RequestsTo("/echo").size(), 1u);

    // A header cannot be smuggled in through a cookie value.
    const auto refused = client.Get("/setcookie?name=a&value=b%0D%0AX-Evil:%201");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 400);
    EXPECT_FALSE(refused->has_header("X-Evil"));
}

TEST(TestWebServerTest, StoppingDoesNotWaitForASlowAnswer) {
    auto server = std::make_unique<TestWebServer>();
    httplib::Client client("127.0.0.1", server->Port());
    std::thread request([&] { client.Get("/slow?ms=10000"); });
    while (server->RequestsTo("/slow").empty())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto start = std::chrono::steady_clock::now();
    server.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    request.join();
}

}  // namespace
}  // namespace kivo::test
