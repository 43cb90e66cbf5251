#include "webcontrol/maker_pages.h"

#include <cstdlib>

#include "platform/text.h"

namespace kivo {

namespace {

constexpr const char* kStyle = R"(<style>
body { font-family: "WenQuanYi Micro Hei", sans-serif; margin: 0; color: #222; background: #F7F6F5; }
header { background: #136EB7; color: #fff; padding: 18px 28px; }
header h1 { margin: 0; font-size: 22px; }
main { padding: 12px 28px 28px; max-width: 860px; }
section { background: #fff; border: 1px solid #88C5E6; border-radius: 6px; margin: 14px 0; padding: 12px 18px; }
section h2 { color: #136EB7; font-size: 16px; margin: 4px 0 8px; }
li { margin: 4px 0; line-height: 1.6; }
kbd { background: #eef5fb; border: 1px solid #88C5E6; border-radius: 3px; padding: 0 4px; }
</style>)";

std::string Page(const std::string& title, const std::string& body) {
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title + "</title>" +
           kStyle + "</head><body>" + body + "</body></html>";
}

std::string NewsPage() {
    return Page("Kivo游戏盒 - 首页", R"(<header><h1>Kivo游戏盒 · 网页游戏专用多开浏览器</h1>
<p>同一个网站的多个账号同时登录：每个标签页都有自己独立的 Cookie 和缓存。</p></header>
<main>
<section id="add-game"><h2>第一步：添加游戏</h2><ol>
<li>在地址栏输入游戏的网址，按 <kbd>Enter</kbd> 打开。</li>
<li>点击工具栏上的“添加”按钮，把当前页面保存到游戏列表，可以写上游戏名称和服务器名称。</li>
<li>以后在左侧的游戏列表里点击它就能直接打开。</li></ol></section>
<section id="save-account"><h2>第二步：保存账号</h2><ol>
<li>打开游戏的登录页面，先在页面上填写用户名和密码（不要点登录）。</li>
<li>点击工具栏上的“保存表单”按钮，为这个账号起一个名字。</li>
<li>账号的登录信息加密保存在本机，下次打开时会自动填写。</li></ol></section>
<section id="multi-open"><h2>第三步：多个账号同时在线</h2><ol>
<li>在游戏列表中右键点击一个地址，选择要登录的账号（可以多选）。</li>
<li>每个账号打开在自己的标签页里，Cookie 和缓存互不影响，可以同时在线。</li>
<li>在标签页上右键可以锁定、加密保护或重命名标签页；状态栏可以设置页面自动刷新。</li></ol></section>
<section id="keys"><h2>快捷键</h2><ul>
<li><kbd>Ctrl</kbd>+<kbd>B</kbd>：老板键，隐藏到托盘，再按一次恢复。</li>
<li><kbd>Alt</kbd>+<kbd>B</kbd>：快速截图。</li></ul></section>
</main>)");
}

// The support threads: opening many accounts, and reporting a problem.
std::string ManyAccountsThread() {
    return Page("打开游戏慢，不会多开？", R"(<header><h1>打开游戏慢，不会多开？</h1></header>
<main>
<section id="many"><h2>同时登录多个账号</h2><ol>
<li>每次在地址栏输入网址或点击“主页”，都会打开一个新的标签页，它有自己的 Cookie 和缓存，互不影响。</li>
<li>在一个标签页登录第一个账号，再用同样的网址打开新的标签页，登录第二个账号。</li>
<li>页面里弹出的新窗口会和原来的标签页共用同一个登录。</li></ol></section>
<section id="slow"><h2>游戏打开慢</h2><ol>
<li>第一次打开游戏时要下载游戏文件，请耐心等待进度条走完。</li>
<li>同时打开的标签页越多，占用的内存越多；不用的标签页可以双击标签关闭。</li></ol></section>
</main>)");
}

std::string ProblemThread() {
    return Page("问题提交", R"(<header><h1>问题提交</h1></header>
<main>
<section id="report"><h2>遇到问题时</h2><ol>
<li>写下出问题的网址和当时的操作步骤。</li>
<li>用 <kbd>Alt</kbd>+<kbd>B</kbd> 截一张图，一起发给我们。</li>
<li>程序版本可以在菜单“关于”里找到。</li></ol></section>
</main>)");
}

std::string HtmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

// The value of `key` in a query, with "+" and %XX decoded.
std::string QueryValue(const std::string& query, const std::string& key) {
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos) end = query.size();
        const std::string piece = query.substr(start, end - start);
        if (piece.compare(0, key.size() + 1, key + "=") == 0)
            return DecodeFormComponent(std::string_view(piece).substr(key.size() + 1));
        start = end + 1;
    }
    return {};
}

std::string SearchPage(const std::string& keyword) {
    const std::string shown = HtmlEscape(keyword);
    return Page(
        shown + " - 搜索",
        "<header><h1>搜索</h1></header><main><section><p>搜索：<b id=\"keyword\">" + shown +
            "</b></p><p>现在连不上网络，只能显示本页；联网后再搜索一次即可。</p></section></main>");
}

}  // namespace

std::string SearchAddress(int engine, bool online) {
    if (engine != 0 && engine != 1)
        return {};
    if (!online)
        return OfflineSearchAddress();
    // One variable moves both engines to another site (tests point it at a local server).
    const char* site = std::getenv("KIVO_SEARCH_SITE");
    if (engine == 0)
        return std::string(site ? site : "https://www.bing.com") + "/search?q=";
    return std::string(site ? site : "https://www.baidu.com") + "/s?wd=";
}

std::string OfflineSearchAddress() {
    return MakerUrl("/search.aspx?wd=");
}

std::string MakerUrl(const std::string& path) { return std::string(kMakerHost) + path; }

std::optional<MakerPage> FindMakerPage(const std::string& url) {
    const std::string host = kMakerHost;
    if (url.compare(0, host.size(), host) != 0) return std::nullopt;
    std::string path = url.substr(host.size());
    std::string query;
    if (const auto hash = path.find('#'); hash != std::string::npos) path.resize(hash);
    if (const auto mark = path.find('?'); mark != std::string::npos) {
        query = path.substr(mark + 1);
        path.resize(mark);
    }
    if (path == "/search.aspx") return MakerPage{"text/html", SearchPage(QueryValue(query, "wd"))};
    if (path == "/news/" || path == "/" || path.empty()) return MakerPage{"text/html", NewsPage()};
    if (path == "/thread-42296-1-1.html") return MakerPage{"text/html", ManyAccountsThread()};
    if (path == "/thread-8791-1-1.html") return MakerPage{"text/html", ProblemThread()};
    if (path == "/explorer/u_1.0.html")
        return MakerPage{"text/html", Page("Kivo", "<p id=\"probe\">ok</p>")};
    return std::nullopt;
}

}  // namespace kivo
