#include "webcontrol/maker_pages.h"

#include <cstdio>
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
nav a { color: #fff; margin-right: 10px; }
ul.games { list-style: none; padding: 0; display: flex; flex-wrap: wrap; gap: 12px; }
ul.games li { width: 180px; border: 1px solid #88C5E6; border-radius: 6px; padding: 8px; }
.play { display: inline-block; background: #136EB7; color: #fff; border-radius: 3px; padding: 2px 10px; text-decoration: none; }
#field { position: relative; height: 320px; background: #eef5fb; border: 1px solid #88C5E6; }
#target { position: absolute; width: 40px; height: 40px; border-radius: 20px; background: #E8541E; cursor: pointer; }
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

// The value of `key` in a query or a form body, with "+" and %XX decoded.
std::string QueryValue(const std::string& query, const std::string& key) {
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos)
            end = query.size();
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

// The web-game search: the posted keyword is shown as text and can be searched again.
std::string GameSearchPage(const std::string& keyword) {
    const std::string shown = HtmlEscape(keyword);
    std::string result;
    if (keyword.empty())
        result = "<p id=\"hint\">请输入要查找的游戏名字。</p>";
    else
        result = "<p>搜索“<b id=\"keyword\">" + shown +
                 "</b>”：没有找到相关的网页游戏。请换一个关键字，或检查游戏名字是否写对。</p>";
    return Page((keyword.empty() ? "" : shown + " - ") + "网页游戏搜索",
                "<header><h1>网页游戏搜索</h1></header><main><section>"
                "<form method=\"post\" action=\"/addtion/search.php\" accept-charset=\"utf-8\">"
                "<input name=\"keyword\" value=\"" +
                    shown + "\"> <button type=\"submit\">查找</button></form>" + result +
                    "</section></main>");
}

// Every mini-game category lists a few games; the ranking page takes the first of each.
constexpr int kGamesPerCategory = 4;
constexpr std::array<std::array<const char*, kGamesPerCategory>, 17> kMiniGames{{
    {"连连看", "数字华容道", "推箱子", "七巧板"},
    {"反应力测试", "跳一跳", "躲避方块", "接苹果"},
    {"点球大战", "投篮高手", "台球练习", "百米冲刺"},
    {"打气球", "太空射手", "神枪手", "保卫城堡"},
    {"泡泡龙", "贪吃蛇", "俄罗斯方块", "打砖块"},
    {"双人赛车", "双人乒乓", "双人对战坦克", "冰火搭档"},
    {"涂色乐园", "找不同", "认识动物", "拼图小屋"},
    {"办公室减压", "扫雷", "纸牌接龙", "数独"},
    {"森林探险", "迷宫逃脱", "寻宝之旅", "古堡密室"},
    {"中国象棋", "五子棋", "斗地主", "围棋入门"},
    {"戳泡泡", "打地鼠", "表情大乱斗", "猜猜我是谁"},
    {"功夫小子", "忍者跑酷", "街头格斗", "火柴人"},
    {"坦克大战", "超级玛丽", "吃豆人", "小蜜蜂"},
    {"节奏大师", "钢琴块", "架子鼓", "音乐达人"},
    {"别踩白块", "烦人的方块", "一直往上跳", "保持平衡"},
    {"红白机合集", "街机模拟", "掌机怀旧", "经典冒险岛"},
    {"动画短片", "音乐动画", "搞笑动画", "童年回忆"},
}};

std::string MiniGameNav() {
    std::string nav = "<nav><a href=\"/\">首页</a>";
    for (const MiniGameCategory& category : kMiniGameCategories)
        nav += std::string("<a href=\"") + category.path + "\">" + category.caption + "</a>";
    return nav + "</nav>";
}

std::string GameEntry(int sort, int number) {
    const std::string name = kMiniGames[sort][number];
    const std::string play =
        "/play/" + std::to_string(sort) + "_" + std::to_string(number) + ".htm";
    return "<li><b>" + name + "</b><p>鼠标操作，打开即玩。</p><a class=\"play\" href=\"" + play +
           "\">开始游戏</a></li>";
}

std::string MiniGameSite(const std::string& title, const std::string& games) {
    return Page(title + " - Kivo小游戏", "<header><h1>" + title + "</h1>" + MiniGameNav() +
                                             "</header><main><section><ul class=\"games\">" +
                                             games + "</ul></section></main>");
}

std::string MiniGameCategoryPage(int sort) {
    std::string games;
    for (int number = 0; number < kGamesPerCategory; ++number) games += GameEntry(sort, number);
    return MiniGameSite(kMiniGameCategories[sort].caption, games);
}

std::string MiniGameTopPage() {
    std::string games;
    for (int sort = 0; sort < static_cast<int>(kMiniGames.size()); ++sort)
        games += GameEntry(sort, 0);
    return MiniGameSite(kMiniGameCategories.back().caption, games);
}

// The mini window's page: what the program does, and a few games of the maker's game site, each
// opening in a tab of its own.
std::string PromotionPage() {
    std::string games;
    for (const int sort : {0, 4, 9, 12}) {
        games += std::string("<li><a target=\"_blank\" href=\"") + kMiniGameHost + "/play/" +
                 std::to_string(sort) + "_0.htm\">" + kMiniGames[sort][0] + "</a></li>";
    }
    return Page("Kivo游戏盒 - 迷你主页",
                R"(<style>body { font-size: 13px; } header { padding: 8px 16px; }
header h1 { font-size: 16px; } main { padding: 0 16px; } section { margin: 8px 0; padding: 6px 12px; }
ul.games li { width: auto; padding: 4px 10px; }</style>
<header><h1>Kivo游戏盒 · 网页游戏专用多开浏览器</h1></header>
<main>
<section id="about"><h2>一台电脑，多个账号同时在线</h2><ul>
<li>每个标签页都有自己独立的 Cookie 和缓存，同一个游戏的多个账号可以同时登录。</li>
<li>保存账号和登录表单，下次打开时自动填写。</li>
<li>老板键 <kbd>Ctrl</kbd>+<kbd>B</kbd> 一键隐藏。</li></ul></section>
<section id="games"><h2>今日推荐小游戏</h2><ul class="games">)" +
                    games + "</ul><p><a target=\"_blank\" href=\"" + kMiniGameHost +
                    "/ee/top.htm\">更多小游戏排行榜</a></p></section></main>");
}

// One small game for every entry: click the ball before it moves on.
std::string PlayPage(int sort, int number) {
    return MiniGameSite(
        kMiniGames[sort][number],
        R"(<li style="width: 560px"><p>得分：<b id="score">0</b></p><div id="field"><div id="target"></div></div></li>
<script>
var score = 0, target = document.getElementById("target");
function hop() {
  target.style.left = Math.floor(Math.random() * 500) + "px";
  target.style.top = Math.floor(Math.random() * 270) + "px";
}
target.addEventListener("click", function () {
  document.getElementById("score").textContent = ++score;
  hop();
});
hop();
setInterval(hop, 1200);
</script>)");
}

// "/play/<sort>_<number>.htm" names one game of the table.
std::optional<MakerPage> FindPlayPage(const std::string& path) {
    int sort = -1, number = -1;
    char tail[8] = {};
    if (std::sscanf(path.c_str(), "/play/%d_%d.%4s", &sort, &number, tail) != 3 ||
        std::string(tail) != "htm" || sort < 0 || sort >= static_cast<int>(kMiniGames.size()) ||
        number < 0 || number >= kGamesPerCategory ||
        path != "/play/" + std::to_string(sort) + "_" + std::to_string(number) + ".htm")
        return std::nullopt;
    return MakerPage{"text/html", PlayPage(sort, number)};
}

std::optional<MakerPage> FindMiniGamePage(const std::string& path) {
    if (path == "/" || path.empty())
        return MakerPage{"text/html", MiniGameSite("小游戏首页", "")};
    for (size_t index = 0; index < kMiniGameCategories.size(); ++index) {
        if (path != kMiniGameCategories[index].path)
            continue;
        if (index == kMiniGameCategories.size() - 1)
            return MakerPage{"text/html", MiniGameTopPage()};
        return MakerPage{"text/html", MiniGameCategoryPage(static_cast<int>(index))};
    }
    return FindPlayPage(path);
}

// The path of `url` when it is an address on `host`, with its query in `query`.
std::optional<std::string> PathOnHost(const std::string& url, const std::string& host,
                                      std::string& query) {
    if (url.compare(0, host.size(), host) != 0)
        return std::nullopt;
    std::string path = url.substr(host.size());
    if (!path.empty() && path[0] != '/' && path[0] != '?' && path[0] != '#')
        return std::nullopt;
    if (const auto hash = path.find('#'); hash != std::string::npos)
        path.resize(hash);
    if (const auto mark = path.find('?'); mark != std::string::npos) {
        query = path.substr(mark + 1);
        path.resize(mark);
    }
    return path;
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

std::string MakerUrl(const std::string& path) {
    return std::string(kMakerHost) + path;
}

std::string MakerProbeUrl() {
    // Tests point the probe at a local server to see the ordinary profile's cookies.
    if (const char* url = std::getenv("KIVO_PROBE_URL"))
        return url;
    return MakerUrl("/explorer/u_1.0.html");
}

std::string PromotionUrl() {
    const char* site = std::getenv("KIVO_PROMOTION_SITE");
    return std::string(site ? site : kMakerHost) + "/zt/webgame_open/index.php";
}

std::string MakerSearchUrl() {
    // Tests point the game-directory search at a local server to see the bytes it receives.
    if (const char* site = std::getenv("KIVO_GAME_SEARCH_SITE"))
        return std::string(site) + "/addtion/search.php";
    return MakerUrl("/addtion/search.php");
}

const std::array<MiniGameCategory, 18> kMiniGameCategories{{
    {"益智", "/down/sort/680/680_1.htm"},
    {"敏捷", "/down/sort/732/732_1.htm"},
    {"体育", "/down/sort/724/724_1.htm"},
    {"射击", "/down/sort/676/676_1.htm"},
    {"综合", "/down/sort/883/883_1.htm"},
    {"双人", "/down/sort/1006/1006_1.htm"},
    {"儿童", "/down/sort/1004/1004_1.htm"},
    {"白领", "/down/sort/1005/1005_1.htm"},
    {"冒险", "/down/sort/728/728_1.htm"},
    {"棋牌", "/down/sort/730/730_1.htm"},
    {"搞笑", "/down/sort/722/722_1.htm"},
    {"动作", "/down/sort/678/678_1.htm"},
    {"经典", "/down/sort/941/941_1.htm"},
    {"音乐", "/down/sort/672/672_1.htm"},
    {"折磨", "/down/sort/400/400_1.htm"},
    {"模拟器", "/down/sort/975/975_1.htm"},
    {"FlashMV", "/down/sort/966/966_1.htm"},
    {"排行榜", "/ee/top.htm"},
}};

std::string MiniGameUrl(int index) {
    if (index < 0 || index >= static_cast<int>(kMiniGameCategories.size()))
        return std::string(kMiniGameHost) + "/";
    return std::string(kMiniGameHost) + kMiniGameCategories[index].path;
}

std::optional<MakerPage> FindMakerPage(const std::string& url, const std::string& form_body) {
    std::string query;
    if (const auto path = PathOnHost(url, kMiniGameHost, query))
        return FindMiniGamePage(*path);
    const auto found = PathOnHost(url, kMakerHost, query);
    if (!found)
        return std::nullopt;
    const std::string& path = *found;
    if (path == "/search.aspx")
        return MakerPage{"text/html", SearchPage(QueryValue(query, "wd"))};
    if (path == "/addtion/search.php")
        return MakerPage{"text/html", GameSearchPage(QueryValue(form_body, "keyword"))};
    if (path == "/news/" || path == "/" || path.empty())
        return MakerPage{"text/html", NewsPage()};
    if (path == "/thread-42296-1-1.html")
        return MakerPage{"text/html", ManyAccountsThread()};
    if (path == "/thread-8791-1-1.html")
        return MakerPage{"text/html", ProblemThread()};
    if (path == "/zt/webgame_open/index.php")
        return MakerPage{"text/html", PromotionPage()};
    if (path == "/explorer/u_1.0.html")
        return MakerPage{"text/html", Page("Kivo", "<p id=\"probe\">ok</p>")};
    return std::nullopt;
}

}  // namespace kivo
