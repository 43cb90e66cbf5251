#pragma once
// The worker's browser engine: one web context per worker process with its own cookie jar and
// cache, and the views it makes, each a web view inside a plug window that embeds into a tab
// window of the main process.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/gobject_ref.h"
#include "session/shell_folders.h"
#include "webcontrol/browser_view.h"
#include "webcontrol/compositing_choice.h"
#include "webcontrol/cookie_jar_sync.h"
#include "webcontrol/page_guard.h"

namespace uitWebControl {

// The caption of the question whether a form may be sent again.
inline constexpr const char* kResubmitCaption = "重新提交表单";
// That question ("是" sends the form again, "否", the default, does not), made transient for and
// centred on the window `owner_window` of another process when it exists; not shown yet.
GtkWidget* NewResubmitQuestion(int32_t owner_window);

// How this process's views composite: decided once per process, by the override variable when
// it is set, else by the machine's OpenGL renderer (see compositing_choice.h).
GlCompositing MachineCompositing();
// Readies the process for that choice; called once, before the first web context is made and
// while the process runs no other thread that reads its environment.
void PrepareEngineProcess();
// Gives a view of this process that choice.
void ApplyMachineCompositing(WebKitWebView* view);

// Whether this process's pages run in the engine's sandbox: the machine can make one and the
// engine can reach what it proxies into it (see page_sandbox.h).
bool PageSandboxUsable();

// Serves the maker's pages in this web context.
void RegisterMakerPages(WebKitWebContext* context);

class WebKitEngine final : public BrowserViewFactory {
  public:
    // Cookies and cache go to these folders for the whole life of the process. The page
    // processes load the extension from `extension_folder` when it holds its module (see
    // page_messages.h).
    explicit WebKitEngine(const kivo::SessionFolders& folders,
                          const std::string& extension_folder = {});

    std::shared_ptr<BrowserView> CreateView(int32_t TabHandle, BrowserViewEvents& events,
                                            BrowserView* related) override;
    WebKitWebContext* Context() const { return context_.Get(); }

private:
    kivo::GObjectRef<WebKitWebsiteDataManager> data_manager_;
    kivo::GObjectRef<WebKitWebContext> context_;
    std::unique_ptr<CookieJarWatcher> shared_cookies_;
    bool page_extension_ = false;
};

class WebKitBrowserView final : public BrowserView {
public:
    WebKitBrowserView(WebKitWebContext* context, BrowserViewEvents& events,
                      WebKitBrowserView* related, bool page_extension);
    ~WebKitBrowserView() override;
    WebKitBrowserView(const WebKitBrowserView&) = delete;
    WebKitBrowserView& operator=(const WebKitBrowserView&) = delete;

    int32_t WindowHandle() const override;
    void EmbedInto(int32_t host_window) override;
    void Navigate(const std::string& url) override;
    void NavigatePost(const std::string& url, const std::string& body) override;
    void GoBack() override;
    void GoForward() override;
    void Reload() override;
    bool HasDocument() const override { return has_document_; }
    uint64_t LoadsStarted() const override { return loads_started_; }
    std::string DocumentUrl() override;
    std::string LocationUrl() override;
    std::string DocumentTitle() override;
    void SetInputValue(const std::string& name, const std::string& value,
                       const std::vector<std::string>& origins) override;
    ScrollSize BodyScrollSize() override;
    kivo::imaging::RgbImage Snapshot(bool full_document) override;
    void Focus() override;
    void Find(const std::string& text, int32_t options) override;
    void FinishFind() override;
    void SetZoom(int percent) override;
    int Zoom() const override;

    WebKitWebView* WebView() const { return view_.Get(); }
    // The view that shows `view`, or nothing.
    static WebKitBrowserView* OfWebView(WebKitWebView* view);
    // The page began a download: the worker object takes it, when the page may download it.
    void DownloadBegan(std::shared_ptr<DownloadTransfer> transfer);
    // The user's choice of a link in the page's context menu: a new tab in the same session.
    void OpenInNewTab(const std::string& url);
    // The JSON list of the top-level document's input elements (see document_access.h).
    std::string InputElementsJson();

private:
    static constexpr const char* kOwnerKey = "kivo-browser-view";
    using ScriptArguments = std::vector<std::pair<std::string, std::string>>;

    // Runs a function body in the program's own script world of the page's document, with the
    // arguments as text values under their names, and waits for its result as text (empty for
    // none).
    std::string CallDocumentScript(const char* body, const ScriptArguments& arguments = {});
    // The same through the extension in the page process; nothing when that process has none.
    std::optional<std::string> CallPageExtension(const char* body, const ScriptArguments& arguments);
    // Reads one thing of the document (a query name of page_messages.h) through the page
    // process's extension, or else with `fallback`, a function body giving the same.
    std::string QueryDocument(const char* query, const char* fallback);
    // Sends `message` (taken) to the extension in the page process and returns its answer;
    // nothing when that process has none.
    std::optional<std::string> AskPageExtension(WebKitUserMessage* message);
    // Frame completions come from a script in every frame when there is no extension to report
    // them.
    void InstallFrameScript();
    void FrameCompleted(const std::string& url);

    static void OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
    static gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                   WebKitPolicyDecisionType type, gpointer self);
    // Asks the user whether a form may be sent again; `decision` waits for the answer.
    void AskResubmit(WebKitPolicyDecision* decision);
    static void OnResubmitResponse(GtkDialog*, gint response, gpointer self);
    // Any navigation the members start ends what was asked before.
    void NewNavigation();
    static void OnProgress(GObject*, GParamSpec*, gpointer self);
    static void OnMouseTarget(WebKitWebView*, WebKitHitTestResult* hit, guint, gpointer self);
    static gboolean OnPointerLeave(GtkWidget*, GdkEventCrossing*, gpointer self);
    static void OnLoadStartedClearStatus(WebKitWebView*, WebKitLoadEvent event, gpointer self);
    // Reports an empty status text unless that is what was reported last.
    void ClearStatusText();
    static GtkWidget* OnCreate(WebKitWebView*, WebKitNavigationAction*, gpointer self);
    // A pop-up that the page asked for by itself did not open: the main window tells the user.
    void PopupBlocked(WebKitNavigationAction* action);
    void StartDownload(std::shared_ptr<DownloadTransfer> transfer);
    static void OnFrameComplete(WebKitUserContentManager*, WebKitJavascriptResult* result,
                                gpointer self);
    static gboolean OnPageMessage(WebKitWebView*, WebKitUserMessage* message, gpointer self);
    static void OnProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason,
                                    gpointer self);
    // The page keys: browser keys and Ctrl+wheel go to the window; the search's count; the
    // page's own context menu.
    static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);
    static gboolean OnScroll(GtkWidget*, GdkEventScroll* event, gpointer self);
    void HandOn(kivo::BrowserCommand command);
    static void OnCountedMatches(WebKitFindController*, guint count, gpointer self);
    static void OnFailedToFind(WebKitFindController*, gpointer self);
    static gboolean OnContextMenu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*,
                                  WebKitHitTestResult* hit, gpointer self);
    // A context-menu item that takes a step of this view's as the toolbar's buttons do.
    WebKitContextMenuItem* OpenLinkItem(const char* url);
    WebKitContextMenuItem* StepItem(const char* label, bool enabled, void (BrowserView::*step)());
    static gboolean OnPlugDraw(GtkWidget* plug, cairo_t* cr, gpointer);
    static void OnPlugDestroyed(GtkWidget*, gpointer self);
    // Marks the plug's window with where its document is asked for, and lists it there.
    void MarkDocumentWindow();
    void Unmark();

    BrowserViewEvents& events_;
    kivo::GObjectRef<WebKitUserContentManager> content_;
    kivo::GObjectRef<WebKitWebView> view_;
    GtkWidget* plug_ = nullptr;  // owned: destroyed with the view
    int32_t host_ = 0;
    uint32_t marked_window_ = 0;
    bool has_document_ = false;
    uint64_t loads_started_ = 0;
    // Document scripts go through the page process's extension (see page_messages.h).
    bool page_extension_ = false;
    bool frame_script_ = false;
    // The next load to start is the generated post document, no page of its own: its finish is
    // not reported.
    bool post_document_next_ = false;
    bool swallow_finish_ = false;
    // A reload or history step the user asked for (through the members) is on its way.
    bool user_step_ = false;
    // The open question whether to send a form again, and the navigation that waits for it.
    GtkWidget* resubmit_box_ = nullptr;  // owned: destroyed with the view
    kivo::GObjectRef<WebKitPolicyDecision> resubmit_decision_;
    std::string status_text_;
    // The search made last, to go on with; empty when none is on.
    std::string find_text_;
    bool find_match_case_ = false;
    // What the page may start by itself: pop-ups and downloads.
    std::unique_ptr<PageGuard> guard_;
};

}  // namespace uitWebControl
