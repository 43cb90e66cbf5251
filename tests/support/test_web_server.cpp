#include "tests/support/test_web_server.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <functional>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <thread>

namespace kivo::test {

namespace {

using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

constexpr int kMaxDelayMs = 10000;
constexpr int kMaxPageSide = 50000;

std::string Page(const std::string& title, const std::string& body, const std::string& head = "") {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + HtmlEscape(title) +
           "</title>" + head + "</head>\n<body>\n" + body + "\n</body></html>\n";
}

void SendPage(httplib::Response& response, const std::string& html) {
    response.set_content(html, "text/html; charset=utf-8");
}

void SendBadRequest(httplib::Response& response, const std::string& why) {
    response.status = 400;
    SendPage(response, Page("Bad request", "<p id=\"error\">" + HtmlEscape(why) + "</p>"));
}

std::string Pre(const std::string& id, const std::string& text) {
    return "<pre id=\"" + id + "\">" + HtmlEscape(text) + "</pre>";
}

// A script function that fills the 640 × 480 canvas of `context` and draws `shapes` circles
// moving with the time (milliseconds).
constexpr const char* kDrawCircles = R"script(function drawCircles(time) {
  context.fillStyle = "#102030";
  context.fillRect(0, 0, 640, 480);
  for (var i = 0; i < shapes; i++) {
    var angle = time / 1000 + i;
    context.fillStyle = "hsl(" + (i * 37 % 360) + ",70%,50%)";
    context.beginPath();
    context.arc(320 + Math.cos(angle) * (i % 300), 240 + Math.sin(angle * 1.3) * (i % 220),
                6 + i % 10, 0, 2 * Math.PI);
    context.fill();
  }
})script";

// The whole parameter as a number within [low, high]; nothing when it is something else.
std::optional<int> NumberParam(const httplib::Request& request, const char* name, int fallback,
                               int low, int high) {
    if (!request.has_param(name))
        return fallback;
    const std::string text = request.get_param_value(name);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return std::clamp(value, low, high);
}

// Cookie names are tokens and values cookie octets; anything else could break the header.
bool IsCookieName(const std::string& text) {
    static const std::string kSeparators = "()<>@,;:\\\"/[]?={} \t";
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) {
        return c > 0x20 && c < 0x7F && kSeparators.find(static_cast<char>(c)) == std::string::npos;
    });
}

bool IsCookieValue(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](unsigned char c) {
        return c > 0x20 && c < 0x7F && c != '"' && c != ',' && c != ';' && c != '\\';
    });
}

std::string EchoBody(const std::string& title, const httplib::Request& request) {
    return Page(title, Pre("method", request.method) + "\n" +
                           Pre("content-type", request.get_header_value("Content-Type")) + "\n" +
                           Pre("body", request.body));
}

}  // namespace

std::string HtmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

TestWebServer::TestWebServer() : server_(std::make_unique<httplib::Server>()) {
    // Idle connections of a browser must not hold up the stop for long.
    server_->set_keep_alive_timeout(1);

    const auto serve = [this](const char* pattern, Handler page) {
        const Handler handler = [this, page](const httplib::Request& request,
                                             httplib::Response& response) {
            const std::size_t question = request.target.find('?');
            Record({request.method, request.path,
                    question == std::string::npos ? "" : request.target.substr(question + 1),
                    request.get_header_value("Content-Type"), request.body,
                    request.get_header_value("Cookie"), request.get_header_value("Host")});
            page(request, response);
        };
        server_->Get(pattern, handler);
        server_->Post(pattern, handler);
        server_->Put(pattern, handler);
        server_->Patch(pattern, handler);
        server_->Delete(pattern, handler);
        server_->Options(pattern, handler);
    };

    serve("/echo", [](const httplib::Request& request, httplib::Response& response) {
        SendPage(response, EchoBody("Echo", request));
    });

    // Where the catalogue search posts when tests move the game-directory search here.
    serve("/addtion/search.php", [](const httplib::Request& request, httplib::Response& response) {
        const std::string keyword = request.get_param_value("keyword");
        SendPage(response, Page(keyword, Pre("keyword", keyword)));
    });

    // ms: the answer comes that many milliseconds late.
    serve("/setcookie", [this](const httplib::Request& request, httplib::Response& response) {
        const std::string name = request.get_param_value("name");
        const std::string value = request.get_param_value("value");
        if (!IsCookieName(name) || !IsCookieValue(value)) {
            SendBadRequest(response,
                           "the cookie name or value has characters a cookie cannot hold");
            return;
        }
        if (!WaitAsAsked(request, response, 0))
            return;
        response.set_header("Set-Cookie", name + "=" + value + "; Max-Age=86400; Path=/");
        std::string body = Pre("cookie", name + "=" + value);
        if (request.get_param_value("popup") == "1") {
            body +=
                "\n<script>window.addEventListener('load', function () { "
                "window.open('/cookies?popup=1'); });</script>";
        }
        SendPage(response, Page("Cookie set", body));
    });

    serve("/cookies", [](const httplib::Request& request, httplib::Response& response) {
        SendPage(response, Page("Cookies", Pre("cookies", request.get_header_value("Cookie"))));
    });

    serve("/frame", [](const httplib::Request&, httplib::Response& response) {
        SendPage(response, Page("Frame",
                                "<p>Outer page</p>\n<iframe id=\"inner\" src=\"/frame-inner\" "
                                "width=\"300\" height=\"150\"></iframe>"));
    });

    serve("/frame-inner", [](const httplib::Request&, httplib::Response& response) {
        SendPage(response, Page("Inner frame", "<p id=\"inner-text\">Inner page</p>"));
    });

    // Pages that never change, with frames in them.
    struct FixedPage {
        const char* path;
        const char* title;
        const char* body;
    };
    static const FixedPage kFramePages[] = {
        {"/frame-nested", "Nested frames",
         "<iframe id=\"middle\" src=\"/frame-middle\" width=\"400\" height=\"300\"></iframe>"},
        {"/frame-middle", "Middle frame",
         "<iframe id=\"inner\" src=\"/frame-inner?in=middle\" width=\"300\" height=\"150\"></iframe>"},
        {"/frame-late", "Late frame", R"(<p>A frame comes after the page has loaded</p>
<script>
window.addEventListener("load", function () {
  setTimeout(function () {
    var frame = document.createElement("iframe");
    frame.src = "/frame-inner?late=1";
    document.body.appendChild(frame);
  }, 100);
});
</script>)"},
        {"/frame-early", "Early frame",
         "<iframe id=\"inner\" src=\"/frame-inner?early=1\"></iframe>\n"
         "<script src=\"/slow?ms=600\"></script>"},
        {"/frame-blank", "Blank frames",
         "<iframe id=\"none\"></iframe><iframe id=\"blank\" src=\"about:blank\"></iframe>"
         "<iframe src=\"/frame-inner?after=blank\"></iframe>"},
    };
    for (const FixedPage& page : kFramePages) {
        serve(page.path, [&page](const httplib::Request&, httplib::Response& response) {
            SendPage(response, Page(page.title, page.body));
        });
    }

    serve("/frameset", [](const httplib::Request&, httplib::Response& response) {
        SendPage(response,
                 "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Frame set</title></head>\n"
                 "<frameset cols=\"50%,50%\"><frame src=\"/frame-inner?side=left\">"
                 "<frame src=\"/frame-middle\"></frameset></html>\n");
    });

    serve("/frame-of", [](const httplib::Request& request, httplib::Response& response) {
        SendPage(response, Page("Frame of another page",
                                "<iframe id=\"inner\" src=\"" +
                                    HtmlEscape(request.get_param_value("src")) + "\"></iframe>"));
    });

    serve("/drawing", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"200\" height=\"100\">"
            "<title>Drawing</title><rect width=\"200\" height=\"100\" fill=\"#3366cc\"/></svg>\n",
            "image/svg+xml");
    });

    // A page of one colour, c = RRGGBB, for tests that compare pictures of pages.
    serve("/picture-colour", [](const httplib::Request& request, httplib::Response& response) {
        std::string colour = request.get_param_value("c");
        if (colour.size() != 6 ||
            colour.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            colour = "FFFFFF";
        SendPage(response, Page(colour,
                                "<style>html, body { margin: 0; height: 100%; background: #" +
                                    colour + "; }</style>"));
    });

    serve("/popup", [](const httplib::Request& request, httplib::Response& response) {
        const bool automatic = request.get_param_value("auto") == "1";
        std::string body =
            "<a id=\"open\" target=\"_blank\" href=\"/cookies\">Open the cookies page</a>\n"
            "<button id=\"open-button\" type=\"button\" onclick=\"window.open('/cookies')\">"
            "Open in a new window</button>";
        if (automatic) {
            body +=
                "\n<script>window.addEventListener('load', function () { "
                "window.open('/cookies'); });</script>";
        }
        // A page that opens windows for ever, each time it can.
        if (request.get_param_value("loop") == "1") {
            body +=
                "\n<script>var opened = 0; setInterval(function () { "
                "window.open('/cookies?loop=' + (++opened)); }, 50);</script>";
        }
        // A login flow that opens its window when a key is pressed in the page.
        if (request.get_param_value("key") == "1") {
            body +=
                "\n<script>document.addEventListener('keydown', function () { "
                "window.open('/cookies?key=1'); });</script>";
        }
        SendPage(response, Page("Popup", body));
    });

    serve("/zt/webgame_open/index.php", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("Set-Cookie", "promo=ordinary; Max-Age=86400; Path=/");
        SendPage(response, Page("Promotion", R"(<p><a id="open" target="_blank" href="/cookies?from=link" style="font-size: 24px">Open a game</a></p>
<p><button id="flood" type="button" style="font-size: 24px">Open fifty</button></p>
<script>
document.getElementById("flood").addEventListener("click", function () {
  for (var i = 0; i < 50; ++i) window.open("/cookies?from=flood&n=" + i);
  setInterval(function () { window.open("/cookies?from=loop"); }, 20);
});
window.addEventListener("load", function () {
  fetch("/cookies?from=promo");
  window.open("/cookies?from=auto");
});
</script>)"));
    });

    serve("/tall", [](const httplib::Request&, httplib::Response& response) {
        SendPage(response,
                 Page("Tall",
                      "<div id=\"top\" style=\"height:300px;background:#ff0000\"></div>"
                      "<div id=\"middle\" style=\"height:300px;background:#00ff00\"></div>"
                      "<div id=\"bottom\" style=\"height:300px;background:#0000ff\"></div>",
                      "<style>html,body{margin:0;padding:0;border:0}"
                      "body{width:300px;height:900px}</style>"));
    });

    serve("/wide-tall", [](const httplib::Request& request, httplib::Response& response) {
        const auto width = NumberParam(request, "w", 300, 1, kMaxPageSide);
        const auto height = NumberParam(request, "h", 900, 1, kMaxPageSide);
        if (!width || !height) {
            SendBadRequest(response, "w and h must be whole numbers");
            return;
        }
        SendPage(response,
                 Page("Wide and tall", "<div id=\"block\"></div>",
                      "<style>html,body{margin:0;padding:0;border:0}body{width:" +
                          std::to_string(*width) + "px;height:" + std::to_string(*height) +
                          "px}#block{width:100%;height:100%;background:#3366cc}</style>"));
    });

    serve("/login", [](const httplib::Request&, httplib::Response& response) {
        SendPage(response, Page("Login", R"(<form id="login" method="post" action="/login-submit">
<p>User <input name="UserName"></p>
<p>Password <input id="PassWord" type="password"></p>
<p>Server <select name="server"><option value="1">Server 1</option><option value="2">Server 2</option></select></p>
<p><button id="submit" type="submit">Log in</button></p>
</form>
<script>
// The title mirrors what the fields hold, so a test can read them without submitting.
setInterval(function () {
  document.title = "fields:" + JSON.stringify([document.getElementsByName("UserName")[0].value,
                                               document.getElementById("PassWord").value]);
}, 50);
</script>)"));
    });

    // Every kind of input a login page may hold, one framed field that is not the page's own, and
    // fields named for the account dialog to take.
    serve("/account-form", [](const httplib::Request& request, httplib::Response& response) {
        // Names that a stored "name=value" line could not hold.
        const std::string odd =
            request.get_param_value("odd") == "1"
                ? R"(<p><input name="odd=name"><input name="two&#10;lines"></p>)"
                : "";
        SendPage(response, Page("Account form", R"(<form id="account" action="/login-submit">
<input type="hidden" name="token" value="t">
<p>User <input name="user" value="initial"></p>
<p>Nick <input type="TEXT" name="nick"></p>
<p>Password <input type="password" name="pass"></p>
<p><input type="text" value="unnamed"><input type="checkbox" name="remember" checked>
<input type="email" name="mail" value="m@x"><textarea name="note">n</textarea></p>
)" + odd + R"(</form>
<iframe id="frame" src="/account-form-frame" width="300" height="80"></iframe>)"));
    });
    serve("/account-form-frame", [](const httplib::Request&, httplib::Response& response) {
        SendPage(response, Page("Framed field", R"(<input name="framed" value="f">)"));
    });
    serve("/account-login", [this](const httplib::Request& request, httplib::Response& response) {
        const auto late = NumberParam(request, "late", 0, 0, kMaxDelayMs);
        const auto settle = NumberParam(request, "settle", 0, 0, kMaxDelayMs);
        if (!late || !settle) {
            SendBadRequest(response, "late and settle must be whole numbers");
            return;
        }
        // A browser without the session cookie is given one of its own.
        if (request.get_header_value("Cookie").find("sid=") == std::string::npos)
            response.set_header("Set-Cookie",
                                "sid=s" + std::to_string(++sessions_) + "; Max-Age=86400; Path=/");
        SendPage(response, Page("Account login", R"(<div id="place"></div>
<img src="/account-ping" alt="">
<script>
function drawForm() {
  document.getElementById("place").innerHTML =
      '<form method="post" action="/login-submit"><input name="UserName">' +
      '<input name="PassWord" type="password"></form>';
}
if ()" + std::to_string(*settle) + R"( > 0) window.addEventListener("load", function () {
  setTimeout(function () {
    var user = document.getElementsByName("UserName")[0], pass = document.getElementsByName("PassWord")[0];
    new Image().src = "/account-settled?u=" + encodeURIComponent(user ? user.value : "") +
                      "&p=" + encodeURIComponent(pass ? pass.value : "");
  }, )" + std::to_string(*settle) + R"();
});
if ()" + std::to_string(*late) + R"( === 0) drawForm();
else window.addEventListener("load", function () { setTimeout(drawForm, )" +
                                                  std::to_string(*late) + R"(); });
// What the fields hold is told to the server whenever it changes, so the filled values can be
// seen from outside without submitting.
var told = "";
setInterval(function () {
  var user = document.getElementsByName("UserName")[0], pass = document.getElementsByName("PassWord")[0];
  if (!user || !pass) return;
  var query = "u=" + encodeURIComponent(user.value) + "&p=" + encodeURIComponent(pass.value);
  if (query === told) return;
  told = query;
  new Image().src = "/account-seen?" + query;
}, 20);
</script>)"));
    });

    serve("/go-later", [](const httplib::Request& request, httplib::Response& response) {
        const auto delay = NumberParam(request, "ms", 1000, 0, kMaxDelayMs);
        if (!delay) {
            SendBadRequest(response, "ms must be a whole number");
            return;
        }
        SendPage(response, Page("Going", "<p id=\"to\" data-to=\"" +
                                             HtmlEscape(request.get_param_value("to")) + R"("></p>
<script>
window.addEventListener("load", function () {
  setTimeout(function () {
    location.href = document.getElementById("to").getAttribute("data-to");
  }, )" + std::to_string(*delay) + R"();
});
</script>)"));
    });

    serve("/login-submit", [](const httplib::Request& request, httplib::Response& response) {
        SendPage(response, EchoBody("Logged in", request));
    });

    serve("/slow", [this](const httplib::Request& request, httplib::Response& response) {
        const auto delay = WaitAsAsked(request, response, 1000);
        if (!delay)
            return;
        SendPage(response, Page("Slow", "<p id=\"delay\">" + std::to_string(*delay) + "</p>"));
    });

    serve("/title", [](const httplib::Request& request, httplib::Response& response) {
        SendPage(response, Page(request.get_param_value("t"), "<p>Titled page</p>"));
    });

    serve("/keys", [](const httplib::Request&, httplib::Response& response) {
        SendPage(response, Page("keys:", R"(<p>Type here</p>
<script>
document.addEventListener("keypress", function (event) {
  document.title += event.key;
  fetch("/typed?key=" + encodeURIComponent(event.key));
});
</script>)"));
    });

    serve("/typed", [](const httplib::Request&, httplib::Response& response) {
        response.status = 204;
    });

    serve("/words", [](const httplib::Request&, httplib::Response& response) {
        SendPage(response, Page("Words", R"(<p>An apple a day, one more apple.</p>
<p>Apple pie.</p>
<p><button id="focus" type="button">Words</button></p>)"));
    });

    serve("/links", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("Set-Cookie", "links=menu; Max-Age=86400; Path=/");
        SendPage(response,
                 Page("Links", R"(<p><a id="link" href="/cookies?from=menu">Menu link</a></p>)"));
    });

    serve("/width", [](const httplib::Request&, httplib::Response& response) {
        SendPage(response, Page("Width", R"(<p><button id="width" type="button">width:</button></p>
<script>
function show() { document.getElementById("width").textContent = "width:" + window.innerWidth; }
show();
window.addEventListener("resize", show);
setInterval(show, 200);
</script>)"));
    });

    serve("/canvas", [](const httplib::Request& request, httplib::Response& response) {
        const auto duration = NumberParam(request, "ms", 4000, 500, 60000);
        const auto shapes = NumberParam(request, "shapes", 600, 1, 20000);
        if (!duration || !shapes) {
            SendBadRequest(response, "ms and shapes must be whole numbers");
            return;
        }
        SendPage(response, Page("canvas", R"page(<canvas id="canvas" width="640" height="480"></canvas>
<script>
var duration = )page" + std::to_string(*duration) + ", shapes = " + std::to_string(*shapes) + R"page(;
var context = document.getElementById("canvas").getContext("2d");
var frames = 0, start = 0;
)page" + kDrawCircles + R"page(
function draw(now) {
  if (!start) start = now;
  drawCircles(now);
  frames++;
  if (now - start < duration) return requestAnimationFrame(draw);
  var elapsed = Math.round(now - start);
  document.title = "frames:" + frames + "/" + elapsed;
  fetch("/canvas-done?frames=" + frames + "&ms=" + elapsed);
}
requestAnimationFrame(draw);
</script>)page",
                                "<style>body{margin:0}</style>"));
    });

    // A game: a canvas drawn every animation frame and a 100 ms timer, which says how it runs.
    serve("/game", [](const httplib::Request& request, httplib::Response& response) {
        const std::string id = request.get_param_value("id");
        const auto shapes = NumberParam(request, "shapes", 100, 1, 20000);
        const auto every = NumberParam(request, "every", 5, 1, 600);
        if (id.empty() || id.size() > 32 ||
            id.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789") != std::string::npos ||
            !shapes || !every) {
            SendBadRequest(response, "id must be 1 to 32 small letters or digits");
            return;
        }
        SendPage(response, Page("game-" + id, R"page(<canvas id="canvas" width="640" height="480"></canvas>
<script>
var id = ")page" + id + R"page(", shapes = )page" + std::to_string(*shapes) +
                                               ", every = " + std::to_string(*every) + R"page(;
var load = Math.random().toString(36).slice(2), frames = 0, ticks = 0, firstFrameWanted = false;
var context = document.getElementById("canvas").getContext("2d");
function now() { return Math.round((performance.timeOrigin + performance.now()) * 1000); }
function report(path, extra) {
  fetch(path + "?id=" + id + "&load=" + load + "&state=" + document.visibilityState +
        "&frames=" + frames + "&ticks=" + ticks + "&us=" + now() + (extra || ""));
}
)page" + kDrawCircles + R"page(
function draw(time) {
  drawCircles(time);
  frames++;
  if (firstFrameWanted) {
    firstFrameWanted = false;
    report("/game-first-frame");
  }
  requestAnimationFrame(draw);
}
requestAnimationFrame(draw);
setInterval(function() {
  ticks++;
  if (ticks % every == 0) report("/game-report");
}, 100);
document.addEventListener("visibilitychange", function() {
  firstFrameWanted = document.visibilityState == "visible";
  report("/game-report");
});
</script>)page",
                                "<style>body{margin:0}</style>"));
    });

    // A page of one colour, c = six hexadecimal digits (RRGGBB); the title is the colour too.
    serve("/solid", [](const httplib::Request& request, httplib::Response& response) {
        const std::string colour = request.get_param_value("c");
        if (colour.size() != 6 ||
            colour.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            SendBadRequest(response, "c must be six hexadecimal digits");
            return;
        }
        SendPage(response, Page("solid-" + colour, "",
                                "<style>html,body{margin:0;height:100%;background:#" + colour +
                                    "}</style>"));
    });

    // Anything else is recorded too, then answered "not found".
    // A page that starts two downloads by itself, one after the other.
    serve("/two-downloads", [](const httplib::Request&, httplib::Response& response) {
        SendPage(response,
                 Page("Two downloads",
                      "<script>"
                      "location.href = '/download?name=first.bin&size=1000';"
                      "setTimeout(function () {"
                      " location.href = '/download?name=second.bin&size=2000'; }, 1000);"
                      "</script>"));
    });

    serve("/download", [](const httplib::Request& request, httplib::Response& response) {
        std::string name = request.get_param_value("name");
        std::replace_if(
            name.begin(), name.end(), [](char c) { return c == '"' || c == '\\'; }, '_');
        const std::string mode = request.get_param_value("mode");
        if (mode != "plain")
            response.set_header("Content-Disposition", "attachment; filename=\"" + name + "\"");
        response.set_header("Cache-Control", "no-store");
        uint64_t size = 0;
        const std::string size_text = request.get_param_value("size");
        std::from_chars(size_text.data(), size_text.data() + size_text.size(), size);
        if (mode == "huge") {
            size = kHugeDownloadBytes;
        } else {
            size = std::min<uint64_t>(size, 16u << 20);
        }
        const uint64_t cut_at = mode == "cut" ? size / 2 : size;
        // "slow": a chunk at a time, with a pause before each, so that it runs for a while.
        const bool slow = mode == "slow";
        response.set_content_provider(
            size, "application/octet-stream",
            [cut_at, slow](size_t offset, size_t length, httplib::DataSink& sink) {
                if (offset >= cut_at)
                    return false;  // the connection drops
                if (slow)
                    std::this_thread::sleep_for(std::chrono::milliseconds(200));
                const size_t chunk = std::min<size_t>({length, slow ? size_t{16 * 1024} : size_t{64 * 1024}, cut_at - offset});
                const std::string bytes = DownloadBytes(chunk, offset);
                return sink.write(bytes.data(), bytes.size());
            });
    });

    serve(".*", [](const httplib::Request&, httplib::Response& response) {
        response.status = 404;
        SendPage(response, Page("Not found", "<p>No such page</p>"));
    });

    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0)
        throw std::runtime_error("the test web server cannot bind to 127.0.0.1");
    thread_ = std::thread([this] {
        server_->listen_after_bind();
        listen_returned_ = true;
    });

    // A stop before the server runs would be lost, so the constructor waits until it does.
    while (!server_->is_running()) {
        if (listen_returned_) {
            thread_.join();
            throw std::runtime_error("the test web server cannot listen on 127.0.0.1");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

TestWebServer::~TestWebServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopping_changed_.notify_all();
    server_->stop();
    thread_.join();
}

std::string DownloadBytes(uint64_t size, uint64_t from) {
    std::string bytes(size, '\0');
    for (uint64_t i = 0; i < size; ++i) {
        const uint64_t at = from + i;
        bytes[i] = static_cast<char>((at * 7 + at / 251) & 0xFF);
    }
    return bytes;
}

std::string TestWebServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<ReceivedRequest> TestWebServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<ReceivedRequest> TestWebServer::RequestsTo(const std::string& path) const {
    std::lock_guard lock(mutex_);
    std::vector<ReceivedRequest> found;
    std::copy_if(requests_.begin(), requests_.end(), std::back_inserter(found),
                 [&](const ReceivedRequest& request) { return request.path == path; });
    return found;
}

void TestWebServer::ClearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

void TestWebServer::Record(ReceivedRequest request) {
    std::lock_guard lock(mutex_);
    requests_.push_back(std::move(request));
}

bool TestWebServer::SleepFor(int milliseconds) {
    std::unique_lock lock(mutex_);
    return !stopping_changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                       [this] { return stopping_; });
}

std::optional<int> TestWebServer::WaitAsAsked(const httplib::Request& request,
                                              httplib::Response& response, int fallback) {
    const auto delay = NumberParam(request, "ms", fallback, 0, kMaxDelayMs);
    if (!delay) {
        SendBadRequest(response, "ms must be a whole number");
        return std::nullopt;
    }
    if (!SleepFor(*delay)) {
        response.status = 503;
        return std::nullopt;
    }
    return delay;
}

}  // namespace kivo::test
