#pragma once
// TWebControl, the object a worker serves: it owns the worker's browser views, keyed by the
// tab window they are shown in, and executes the members of the web-control interface.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "webcontrol/browser_view.h"
#include "webcontrol/web_control_intf.h"
#include "webcontrol/web_control_stub.h"

namespace uitWebControl {

// The main window this worker serves, as told through Serverhandle; one per process.
int32_t ServerWindowHandle();
void SetServerWindowHandle(int32_t handle);

class TWebControl final : public gameKivo_TLB::IWebControl,
                          public gameKivo_TLB::WebControlEventSource {
public:
    explicit TWebControl(BrowserViewFactory* factory) : factory_(factory) {}

    void Navigate(int32_t TabHandle, const std::u16string& Url,
                  const std::u16string& PostData) override;
    int32_t CreateWeb(int32_t TabHandle) override;
    void LoginWeb(const std::u16string& Name, const std::u16string& Value,
                  int32_t TabHandle) override;
    int32_t Get_WebHandle(int32_t TabHandle) override;
    void WebRefresh(int32_t TabHandle) override;
    void WebForward(int32_t TabHandle) override;
    void WebBack(int32_t TabHandle) override;
    std::u16string Get_WebUrl(int32_t TabHandle) override;
    std::u16string Get_WebTitle(int32_t TabHandle) override;
    void Set_Serverhandle(int32_t Value) override;
    void FreeWeb(int32_t TabHandle) override;
    int32_t Get_WebCount() override;
    void SetFoucseWeb(int32_t TabHandle) override;
    void SetParent(int32_t TabHandle) override;
    void SaveWebToPic(int32_t TabHandle) override;
    void SaveWebToPicSmall(int32_t TabHandle) override;

    // The view of the first entry keyed by TabHandle, or nothing.
    BrowserView* FindView(int32_t TabHandle) const;
    // The TabHandle of the first entry holding `view`; throws when the view is not listed.
    int32_t TabOfView(const BrowserView* view) const;
    // Appends a view made elsewhere (a window a page opened) under TabHandle.
    void AddView(int32_t TabHandle, std::unique_ptr<BrowserView> view);

private:
    struct ViewEntry {
        std::string key;
        std::unique_ptr<BrowserView> view;
    };

    BrowserView& NeedView(int32_t TabHandle) const;

    BrowserViewFactory* factory_;
    // Absent until the first CreateWeb.
    std::optional<std::vector<ViewEntry>> ViewList;
};

}  // namespace uitWebControl
