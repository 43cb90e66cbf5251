#pragma once
// The type library "gameKivo" 1.0: the identities and the member table of the web-control
// interface between the main process and its workers. The numbers here are a wire contract;
// they never change.
#include <array>
#include <cstdint>
#include <string_view>

namespace gameKivo_TLB {

inline constexpr std::string_view LibraryName = "gameKivo";
inline constexpr int MajorVersion = 1;
inline constexpr int MinorVersion = 0;
inline constexpr uint32_t LibraryLocale = 0x409;

inline constexpr std::string_view LIBID_gameKivo = "{5B2C7E91-4A3D-4F6B-8C1E-9D0A27F4B6C3}";
inline constexpr std::string_view IID_IWebControl = "{8E4F1A26-7C3B-4D95-A2E8-61B0F9C3D457}";
inline constexpr std::string_view DIID_IWebControlEvents =
    "{C3A95D72-1E4B-4A86-9F27-D8B6E05C13A9}";
inline constexpr std::string_view CLASS_WebControl = "{F07B3E18-6D29-4C5A-B1E4-3A8D92C6F0E5}";

inline constexpr std::string_view IWebControlHelp = "Dispatch interface for WebControl Object";
inline constexpr std::string_view IWebControlEventsHelp = "Events interface for WebControl Object";
inline constexpr std::string_view WebControlHelp = "WebControl Object";

// Wire types of arguments and results.
enum class WireType : uint8_t { Integer = 1, Text = 2, Boolean = 3 };

// How a member is reached.
enum class InvokeKind : uint8_t { Method = 1, PropertyGet = 2, PropertyPut = 4 };

namespace DispId {
// IWebControl
inline constexpr int32_t Navigate = 201;
inline constexpr int32_t CreateWeb = 202;
inline constexpr int32_t LoginWeb = 203;
inline constexpr int32_t WebHandle = 204;
inline constexpr int32_t WebRefresh = 205;
inline constexpr int32_t WebForward = 206;
inline constexpr int32_t WebBack = 207;
inline constexpr int32_t WebUrl = 208;
inline constexpr int32_t WebTitle = 209;
inline constexpr int32_t Serverhandle = 210;
inline constexpr int32_t FreeWeb = 211;
inline constexpr int32_t WebCount = 212;
inline constexpr int32_t SetFoucseWeb = 213;
inline constexpr int32_t SetParent = 214;
inline constexpr int32_t SaveWebToPic = 215;
inline constexpr int32_t SaveWebToPicSmall = 216;
// IWebControl: the page keys (find in the page, zoom)
inline constexpr int32_t FindText = 217;
inline constexpr int32_t FindFinish = 218;
inline constexpr int32_t SetWebZoom = 219;
inline constexpr int32_t WebZoom = 220;
// IWebControl: the site a tab's login fill is meant for
inline constexpr int32_t LoginSite = 240;
// IWebControlEvents
inline constexpr int32_t ProgressChange = 201;
inline constexpr int32_t StatusTextChange = 202;
inline constexpr int32_t Foreground = 203;
inline constexpr int32_t DocumentComplete = 204;
inline constexpr int32_t NewTab = 205;

// Downloads: the worker asks where a download goes; the main process answers with the file.
inline constexpr int32_t DownloadSaveTo = 237;
inline constexpr int32_t DownloadAsk = 226;
inline constexpr int32_t DownloadProgress = 227;
inline constexpr int32_t DownloadEnded = 228;
// IWebControlEvents: the page keys
inline constexpr int32_t BrowserKey = 206;
inline constexpr int32_t FindCount = 207;
// IWebControlEvents: a pop-up the page asked for that did not open
inline constexpr int32_t PopupBlocked = 208;
}  // namespace DispId

inline constexpr int kMaxArguments = 3;

struct MemberDescription {
    int32_t dispid;
    std::string_view name;
    InvokeKind kind;
    uint8_t argument_count;
    std::array<WireType, kMaxArguments> arguments;
    bool has_result;
    WireType result;
};

using enum WireType;
using enum InvokeKind;

// IWebControl, in interface-table order.
inline constexpr std::array<MemberDescription, 21> IWebControlMembers{{
    {DispId::Navigate, "Navigate", Method, 3, {Integer, Text, Text}, false, Integer},
    {DispId::CreateWeb, "CreateWeb", Method, 1, {Integer}, true, Integer},
    {DispId::LoginWeb, "LoginWeb", Method, 3, {Text, Text, Integer}, false, Integer},
    {DispId::WebHandle, "WebHandle", PropertyGet, 1, {Integer}, true, Integer},
    {DispId::WebRefresh, "WebRefresh", Method, 1, {Integer}, false, Integer},
    {DispId::WebForward, "WebForward", Method, 1, {Integer}, false, Integer},
    {DispId::WebBack, "WebBack", Method, 1, {Integer}, false, Integer},
    {DispId::WebUrl, "WebUrl", PropertyGet, 1, {Integer}, true, Text},
    {DispId::WebTitle, "WebTitle", PropertyGet, 1, {Integer}, true, Text},
    {DispId::Serverhandle, "Serverhandle", PropertyPut, 1, {Integer}, false, Integer},
    {DispId::FreeWeb, "FreeWeb", Method, 1, {Integer}, false, Integer},
    {DispId::WebCount, "WebCount", PropertyGet, 0, {}, true, Integer},
    {DispId::SetFoucseWeb, "SetFoucseWeb", Method, 1, {Integer}, false, Integer},
    {DispId::SetParent, "SetParent", Method, 1, {Integer}, false, Integer},
    {DispId::SaveWebToPic, "SaveWebToPic", Method, 1, {Integer}, false, Integer},
    {DispId::SaveWebToPicSmall, "SaveWebToPicSmall", Method, 1, {Integer}, false, Integer},
    // The page keys.
    {DispId::FindText, "FindText", Method, 3, {Integer, Text, Integer}, false, Integer},
    {DispId::FindFinish, "FindFinish", Method, 1, {Integer}, false, Integer},
    {DispId::SetWebZoom, "SetWebZoom", Method, 2, {Integer, Integer}, true, Integer},
    {DispId::WebZoom, "WebZoom", PropertyGet, 1, {Integer}, true, Integer},
    // The login fill's site.
    {DispId::LoginSite, "LoginSite", PropertyPut, 2, {Integer, Text}, false, Integer},
}};

struct EventDescription {
    int32_t dispid;
    std::string_view name;
    uint8_t argument_count;
    std::array<WireType, kMaxArguments> arguments;
};

// IWebControlEvents. NewTab's first argument (TabHandle) is in and out.
inline constexpr std::array<EventDescription, 8> IWebControlEventsMembers{{
    {DispId::ProgressChange, "ProgressChange", 3, {Integer, Integer, Integer}},
    {DispId::StatusTextChange, "StatusTextChange", 2, {Text, Integer}},
    {DispId::Foreground, "Foreground", 0, {}},
    {DispId::DocumentComplete, "DocumentComplete", 3, {Boolean, Text, Integer}},
    {DispId::NewTab, "NewTab", 2, {Integer, Integer}},
    // The page keys: a browser key pressed in the page (its command, see browser_keys.h), and
    // the count of a search's matches.
    {DispId::BrowserKey, "BrowserKey", 2, {Integer, Integer}},
    {DispId::FindCount, "FindCount", 2, {Integer, Integer}},
    // PopupBlocked(Url, TabHandle): the page of the tab asked for a window without the user's
    // asking; none opened.
    {DispId::PopupBlocked, "PopupBlocked", 2, {Text, Integer}},
}};

// Downloads. DownloadSaveTo(DownloadId, Path): an empty path cancels. DownloadAsk(DownloadId,
// SuggestedName, TabHandle); DownloadProgress(DownloadId, ReceivedKiB, ExpectedKiB or 0);
// DownloadEnded(Finished, Text: the saved file or the reason, DownloadId).
inline constexpr std::array<MemberDescription, 1> DownloadMembers{{
    {DispId::DownloadSaveTo, "DownloadSaveTo", Method, 2, {Integer, Text}, false, Integer},
}};
inline constexpr std::array<EventDescription, 3> DownloadEvents{{
    {DispId::DownloadAsk, "DownloadAsk", 3, {Integer, Text, Integer}},
    {DispId::DownloadProgress, "DownloadProgress", 3, {Integer, Integer, Integer}},
    {DispId::DownloadEnded, "DownloadEnded", 3, {Boolean, Text, Integer}},
}};

inline constexpr const MemberDescription* FindMember(int32_t dispid) {
    for (const auto& member : IWebControlMembers) {
        if (member.dispid == dispid) return &member;
    }
    for (const auto& member : DownloadMembers) {
        if (member.dispid == dispid) return &member;
    }
    return nullptr;
}

inline constexpr const EventDescription* FindEvent(int32_t dispid) {
    for (const auto& event : IWebControlEventsMembers) {
        if (event.dispid == dispid) return &event;
    }
    for (const auto& event : DownloadEvents) {
        if (event.dispid == dispid) return &event;
    }
    return nullptr;
}

}  // namespace gameKivo_TLB
