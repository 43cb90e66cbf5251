#pragma once
// The members of the web-control interface as C++ calls. The worker's object implements
// IWebControl; the main process reaches it through RemoteWebControl. A member fails by
// throwing; the text of the error crosses the connection and is raised again in the caller as
// WebControlError.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "webcontrol/wire.h"

namespace gameKivo_TLB {

// A failure status returned by the other side, with its text.
class WebControlError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class IWebControl {
public:
    virtual ~IWebControl() = default;

    virtual void Navigate(int32_t TabHandle, const std::u16string& Url,
                          const std::u16string& PostData) = 0;
    virtual int32_t CreateWeb(int32_t TabHandle) = 0;
    virtual void LoginWeb(const std::u16string& Name, const std::u16string& Value,
                          int32_t TabHandle) = 0;
    virtual int32_t Get_WebHandle(int32_t TabHandle) = 0;
    virtual void WebRefresh(int32_t TabHandle) = 0;
    virtual void WebForward(int32_t TabHandle) = 0;
    virtual void WebBack(int32_t TabHandle) = 0;
    virtual std::u16string Get_WebUrl(int32_t TabHandle) = 0;
    virtual std::u16string Get_WebTitle(int32_t TabHandle) = 0;
    virtual void Set_Serverhandle(int32_t Value) = 0;
    virtual void FreeWeb(int32_t TabHandle) = 0;
    virtual int32_t Get_WebCount() = 0;
    virtual void SetFoucseWeb(int32_t TabHandle) = 0;
    virtual void SetParent(int32_t TabHandle) = 0;
    virtual void SaveWebToPic(int32_t TabHandle) = 0;
    virtual void SaveWebToPicSmall(int32_t TabHandle) = 0;

    // Downloads (see type_library.h); an object without downloads refuses the member.
    virtual void DownloadSaveTo(int32_t, const std::u16string&) {
        throw WebControlError("Member not found: DownloadSaveTo");
    }
    // The page keys. FindText searches the tab's page (Options: find_options of
    // browser_keys.h); the count of matches comes back as the FindCount event. FindFinish
    // ends the search and its marks. SetWebZoom sets the page's zoom in percent, brought into
    // its range, and returns the zoom set; WebZoom reads it.
    virtual void FindText(int32_t TabHandle, const std::u16string& Text, int32_t Options) = 0;
    virtual void FindFinish(int32_t TabHandle) = 0;
    virtual int32_t SetWebZoom(int32_t TabHandle, int32_t Percent) = 0;
    virtual int32_t Get_WebZoom(int32_t TabHandle) = 0;
    // The address of the account whose values LoginWeb fills into the tab's page: LoginWeb then
    // writes only into a page of that address's site (see AccountSiteOrigins), checked in the
    // page itself as it writes, and refuses every other.
    virtual void Set_LoginSite(int32_t, const std::u16string&) {
        throw WebControlError("Member not found: LoginSite");
    }
};

// The event interface is dispatch-only: the receiver gets the DISPID and the arguments, in
// the order of the event table; it may write into in/out arguments (NewTab's TabHandle).
class IWebControlEvents {
public:
    virtual ~IWebControlEvents() = default;
    virtual void Invoke(int32_t dispid, std::vector<kivo::wire::Value>& arguments) = 0;
};

}  // namespace gameKivo_TLB
