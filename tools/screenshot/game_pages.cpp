#include "tools/screenshot/game_pages.h"

#include <glibmm.h>

#include <fstream>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "platform/paths.h"

namespace kivo::shot {

namespace {

struct GamePage {
    const char* title;
    const char* subtitle;
    const char* emblem;  // one large character in the badge
    const char* sky_top;
    const char* sky_bottom;
    const char* near_hill;
    const char* far_hill;
    const char* accent;
};

const GamePage kGames[] = {
    {"三国群英传", "赤壁之战 · 火烧连营", "战", "#3a0d0d", "#f07a2a", "#4a1a10", "#7a2c14",
     "#ffbf3a"},
    {"梦幻西游记", "大唐长安 · 取经之路", "游", "#3b1460", "#f29ad8", "#5a2a7a", "#8e4fb0",
     "#ffd84a"},
    {"仙剑奇缘", "蜀山仙境 · 御剑飞行", "仙", "#0a4a5a", "#8fe8e0", "#12705e", "#2fa08a",
     "#ff7ab0"},
    {"龙城霸业", "沙巴克攻城 · 今晚八点", "龙", "#1a0a0a", "#b3261e", "#2a1208", "#5c2410",
     "#ffd23f"},
    {"海岛大亨", "扬帆起航 · 新岛开放", "海", "#1560c0", "#7fd8ff", "#e8c87a", "#2f9fd0",
     "#ff8a3d"},
    {"星际远征", "银河舰队 · 跃迁准备", "星", "#05051e", "#3a2a8a", "#1a1440", "#2c2470",
     "#4af0ff"},
    {"开心农场", "春耕时节 · 好友互助", "农", "#5cc8ff", "#d8f4ff", "#3fae3a", "#7ccc4a",
     "#ff5a5a"},
    {"武林群侠", "华山论剑 · 天下第一", "武", "#2e3a4a", "#a8b8c8", "#26323e", "#4a5a6a",
     "#e84a3a"},
    {"冰雪传奇", "极地之巅 · 冰封王座", "冰", "#0c2a5a", "#e0f4ff", "#ffffff", "#b8dcf0",
     "#2a7ae8"},
};

// The page, with each "{name}" filled in from the game.
constexpr const char* kPageTemplate = R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>{title}</title><style>
html, body { margin: 0; height: 100%; overflow: hidden; color: #fff;
  font-family: 'WenQuanYi Micro Hei', sans-serif; }
body { position: relative; background: linear-gradient(180deg, {sky_top}, {sky_bottom}); }
.scene { position: absolute; left: 0; top: 0; right: 0; bottom: 0; overflow: hidden; }
.hill { position: absolute; bottom: 0; border-radius: 50% 50% 0 0; }
.far { right: -15%; width: 85%; height: 42%; background: {far_hill}; }
.near { left: -12%; width: 75%; height: 30%; background: {near_hill}; }
.sun { position: absolute; right: 14%; top: 14%; width: 150px; height: 150px;
  border-radius: 50%; background: radial-gradient(circle, {accent} 0, transparent 70%); }
h1 { position: absolute; top: 9%; left: 0; right: 0; margin: 0; text-align: center;
  font-size: 84px; letter-spacing: 10px;
  text-shadow: 0 5px 0 rgba(0,0,0,.4), 0 0 30px {accent}; }
.sub { position: absolute; top: calc(9% + 118px); left: 0; right: 0; text-align: center;
  font-size: 30px; text-shadow: 0 2px 4px rgba(0,0,0,.6); }
.badge { position: absolute; left: 50%; top: 46%; transform: translate(-50%, -50%);
  width: 130px; height: 130px; border-radius: 50%; border: 6px solid #fff;
  background: {accent}; color: #222; font-size: 80px; line-height: 130px; text-align: center;
  box-shadow: 0 0 40px rgba(0,0,0,.5); }
.start { position: absolute; left: 50%; top: 64%; transform: translateX(-50%);
  padding: 14px 56px; border-radius: 40px; font-size: 36px; color: #222;
  background: linear-gradient(#fff6, {accent}); box-shadow: 0 6px 0 rgba(0,0,0,.35); }
.hud { position: absolute; left: 20px; top: 20px; padding: 10px 16px; border-radius: 10px;
  background: rgba(0,0,0,.45); font-size: 22px; }
.bar { width: 220px; height: 14px; margin-top: 8px; border-radius: 7px;
  background: rgba(255,255,255,.3); }
.bar i { display: block; height: 100%; width: {health}%; border-radius: 7px;
  background: {accent}; }
</style></head><body>
<div class="scene"><div class="sun"></div><div class="hill far"></div><div class="hill near"></div></div>
<div class="hud">电信{number}区 · 等级 {level}<div class="bar"><i></i></div></div>
<h1>{title}</h1><div class="sub">{subtitle}</div>
<div class="badge">{emblem}</div><div class="start">进入游戏</div>
</body></html>
)";

std::string PageText(const GamePage& game, int number) {
    const std::pair<const char*, std::string> fields[] = {
        {"{title}", game.title},
        {"{subtitle}", game.subtitle},
        {"{emblem}", game.emblem},
        {"{sky_top}", game.sky_top},
        {"{sky_bottom}", game.sky_bottom},
        {"{near_hill}", game.near_hill},
        {"{far_hill}", game.far_hill},
        {"{accent}", game.accent},
        {"{number}", std::to_string(number)},
        {"{level}", std::to_string(30 + number * 7)},
        {"{health}", std::to_string(45 + number * 6)},
    };
    std::string text = kPageTemplate;
    for (const auto& [name, value] : fields)
        for (size_t at = text.find(name); at != std::string::npos;
             at = text.find(name, at + value.size()))
            text.replace(at, std::string_view(name).size(), value);
    return text;
}

}  // namespace

std::vector<std::string> WriteGamePages(const std::string& folder) {
    MakeFolders(folder);
    std::vector<std::string> addresses;
    int number = 1;
    for (const GamePage& game : kGames) {
        const std::string file = folder + "game" + std::to_string(number) + ".html";
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << PageText(game, number);
        out.close();
        if (!out)
            throw std::runtime_error("cannot write " + file);
        addresses.push_back(Glib::filename_to_uri(file));
        ++number;
    }
    return addresses;
}

}  // namespace kivo::shot
