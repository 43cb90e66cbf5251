#pragma once
// A real HTTP server for the tests, on 127.0.0.1 and a free port, answering on its own thread.
//
// Pages (each with a <title>; page text is HTML-escaped):
//   /echo                 any method; <pre id="method">, <pre id="content-type">, <pre id="body">
//   /setcookie?name=N&value=V
//                         sets N=V for a day on path /; shows it in <pre id="cookie">;
//                         with &popup=1 it opens /cookies?popup=1 when it has loaded
//   /cookies              the Cookie header received, in <pre id="cookies">
//   /frame, /frame-inner  a page holding <iframe id="inner" src="/frame-inner">, and that page
//   /frame-nested         <iframe id="middle" src="/frame-middle">, which holds
//                         <iframe id="inner" src="/frame-inner?in=middle">
//   /frameset             a frame set (no body): /frame-inner?side=left and /frame-middle
//   /frame-late           adds <iframe src="/frame-inner?late=1"> 100 ms after it has loaded
//   /frame-early          <iframe src="/frame-inner?early=1">, then a script that takes 600 ms
//                         to arrive: the frame is complete before the page is parsed
//   /frame-blank          an <iframe> without source, one of "about:blank", and one of
//                         /frame-inner?after=blank
//   /frame-of?src=URL     an <iframe id="inner"> showing URL
//   /drawing              an SVG image of 200 × 100 pixels titled "Drawing" (no body)
//   /popup                <a id="open" target="_blank" href="/cookies"> and
//                         <button id="open-button"> calling window.open("/cookies");
//                         /popup?auto=1 calls window.open("/cookies") when it has loaded
//   /solid?c=RRGGBB       a page of that one colour, titled "solid-RRGGBB"
//   /zt/webgame_open/index.php
//                         a promotion page: sets promo=ordinary; <a id="open" target="_blank"
//                         href="/cookies?from=link">; <button id="flood"> opening fifty windows
//                         (/cookies?from=flood&n=I) and then one every 20 ms (from=loop); when
//                         loaded it fetches /cookies?from=promo and opens /cookies?from=auto
//   /tall                 a 300 × 900 pixel body (margin 0): three 300-pixel squares, red
//                         (#top), green (#middle), blue (#bottom)
//   /wide-tall?w=W&h=H    a W × H pixel body in one colour (1..50000 each, default 300 × 900)
//   /login                a form posting to /login-submit: <input name="UserName">,
//                         <input id="PassWord" type="password">, <select name="server">,
//                         <button id="submit" type="submit">; the title mirrors the two
//                         inputs as "fields:" + a JSON array of their values
//   /login-submit         where that form goes; shows what it received like /echo
//   /account-form         every kind of input a login page may hold and a framed field; with
//                         ?odd=1 also text inputs named "odd=name" and "two\nlines"
//   /account-login?late=MS
//                         a login page for saved accounts: <input name="UserName"> and
//                         <input name="PassWord" type="password">, drawn by script MS
//                         milliseconds after the page has loaded (at once for 0, the default);
//                         a browser without the cookie "sid" gets "sid=s" + a new number; the
//                         page loads /account-ping, which shows its session in the server's log;
//                         the title mirrors the fields as "fields:" + a JSON array (null while
//                         a field is not there); with &settle=MS it fetches
//                         /account-settled?u=USER&p=PASSWORD with what the fields hold MS
//                         milliseconds after the page has loaded
//   /go-later?ms=MS&to=URL
//                         titled "Going": sends the tab to URL MS milliseconds (default 1000)
//                         after it has loaded
//   /slow?ms=N            answers after N milliseconds (at most 10000)
//   /title?t=TEXT         a page whose title is TEXT
//   /canvas?ms=N&shapes=K a 640 × 480 canvas animated by requestAnimationFrame, K circles a frame
//                         (1..20000, default 600) for N milliseconds (500..60000, default 4000);
//                         then the title becomes "frames:F/T" and it fetches
//                         /canvas-done?frames=F&ms=T (F frames drawn in T milliseconds)
//   /game?id=ID&shapes=K&every=E
//                         "game-ID" (ID: small letters and digits): a 640 × 480 canvas drawn
//                         every animation frame (K circles, default 100) and a 100 ms timer;
//                         every E-th tick (default 5) and at every visibility change it fetches
//                         /game-report?id=ID&load=L&state=S&frames=F&ticks=T&us=U (L: new at
//                         each load; S: document.visibilityState; F frames drawn, T ticks so
//                         far; U: the wall-clock time in microseconds); the first frame after
//                         it became visible fetches /game-first-frame with the same
//   /keys                 a page whose title "keys:" grows by every key typed into it; each
//                         key is also told to /typed?key=K, as the title reaches a tab's
//                         caption only when a page has loaded
//   /typed                an empty answer
//   /words                titled "Words": "apple" twice and "Apple" once in its text, and a
//                         <button id="focus"> named "Words"
//   /links                titled "Links": sets links=menu; <a id="link"> named "Menu link" to
//                         /cookies?from=menu
//   /width                titled "Width": <button id="width"> whose caption is "width:" + the
//                         page's window.innerWidth, kept up to date
//   /addtion/search.php   any method; the form field "keyword" (of the query or of a posted
//                         form) as the page's title and in <pre id="keyword">
//   /download?name=N&size=S
//                         an attachment named N of S bytes (at most 16 MiB) of DownloadBytes;
//                         &mode=cut drops the connection after half of them, &mode=huge
//                         declares kHugeDownloadBytes (and sends them as long as they are
//                         read), &mode=plain sends no attachment header (a type no page shows)
// Every request, to these pages or to any other path, is recorded before it is answered.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
}

namespace kivo::test {

struct ReceivedRequest {
    std::string method;
    std::string path;          // without the query
    std::string query;         // the text after "?", empty when there is none
    std::string content_type;  // the Content-Type header, empty when absent
    std::string body;          // the raw body bytes
    std::string cookie;        // the Cookie header, empty when absent
    std::string host;          // the Host header: "127.0.0.1:PORT", or "localhost:PORT" when
                               // the page was asked for by that name
};

class TestWebServer {
  public:
    // Starts listening; throws std::runtime_error when no port can be had.
    TestWebServer();
    // Stops the server and waits for its thread; slow answers still waiting are cut short.
    ~TestWebServer();
    TestWebServer(const TestWebServer&) = delete;
    TestWebServer& operator=(const TestWebServer&) = delete;

    int Port() const { return port_; }
    // "http://127.0.0.1:PORT" + path (path begins with "/").
    std::string Url(const std::string& path) const;

    // The requests received so far, oldest first.
    std::vector<ReceivedRequest> Requests() const;
    // Those whose path is `path`.
    std::vector<ReceivedRequest> RequestsTo(const std::string& path) const;
    void ClearRequests();

  private:
    void Record(ReceivedRequest request);
    // Waits for the time or until the server stops; false when it stopped.
    bool SleepFor(int milliseconds);
    // Waits the request's "ms" milliseconds (`fallback` without it) and gives the time waited;
    // nothing once it has answered the request itself, for a bad number or a stopping server.
    std::optional<int> WaitAsAsked(const httplib::Request& request, httplib::Response& response,
                                   int fallback);

    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    std::atomic<bool> listen_returned_{false};
    int port_ = 0;

    mutable std::mutex mutex_;
    std::condition_variable stopping_changed_;
    bool stopping_ = false;
    std::vector<ReceivedRequest> requests_;
    std::atomic<int> sessions_{0};  // the sessions /account-login has handed out
};

// `size` bytes of the body of /download from byte `from` on: byte i is (7 i + i / 251) mod 256.
std::string DownloadBytes(uint64_t size, uint64_t from = 0);
inline constexpr uint64_t kHugeDownloadBytes = 10'000'000'000'000;  // 10 TB

// Text with &, <, >, " and ' replaced by their character references.
std::string HtmlEscape(const std::string& text);

}  // namespace kivo::test
