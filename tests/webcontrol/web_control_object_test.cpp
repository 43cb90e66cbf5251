// The worker object's rules and the member dispatch, without a browser engine: views are
// stand-ins that record where they were placed.
#include <gtest/gtest.h>

#include <filesystem>

#include "imaging/bmp_file.h"
#include "tests/support/test_support.h"
#include "webcontrol/post_form.h"
#include "webcontrol/uit_web_control.h"

namespace {

using gameKivo_TLB::WebControlError;
using kivo::wire::Message;
using uitWebControl::BrowserView;

class RecordingView : public BrowserView {
public:
    explicit RecordingView(int32_t handle) : handle_(handle) {}
    int32_t WindowHandle() const override { return handle_; }
    void EmbedInto(int32_t host) override { hosts.push_back(host); }
    void Navigate(const std::string& url) override { loads.push_back("GET " + url); }
    void NavigatePost(const std::string& url, const std::string& body) override {
        loads.push_back("POST " + url + " " + body);
    }
    void GoBack() override { throw std::runtime_error("nothing to go back to"); }
    void GoForward() override {}
    void Reload() override {}
    bool HasDocument() const override { return has_document; }
    std::string DocumentUrl() override { return "document-url"; }
    std::string LocationUrl() override { return "location-url"; }
    std::string DocumentTitle() override { return "title"; }
    void SetInputValue(const std::string& name, const std::string& value,
                       const std::vector<std::string>& origins) override {
        std::string sites;
        for (const std::string& origin : origins) sites += " " + origin;
        inputs.push_back(name + "=" + value + sites);
    }
    uitWebControl::ScrollSize BodyScrollSize() override {
        if (!body) throw std::runtime_error("no body");
        return *body;
    }
    kivo::imaging::RgbImage Snapshot(bool full) override {
        snapshots.push_back(full);
        return kivo::imaging::RgbImage(page_width, page_height, {10, 20, 30});
    }
    void Focus() override {}
    void Find(const std::string& text, int32_t options) override {
        finds.push_back(text + "/" + std::to_string(options));
    }
    void FinishFind() override { finds.push_back("finish"); }
    void SetZoom(int percent) override { zoom = percent; }
    int Zoom() const override { return zoom; }

    std::vector<int32_t> hosts;
    std::vector<std::string> loads, inputs, finds;
    int zoom = 100;
    std::vector<bool> snapshots;
    bool has_document = false;
    std::optional<uitWebControl::ScrollSize> body;
    int page_width = 300, page_height = 900;

private:
    int32_t handle_;
};

class RecordingFactory : public uitWebControl::BrowserViewFactory {
public:
    std::shared_ptr<BrowserView> CreateView(int32_t, uitWebControl::BrowserViewEvents&,
                                            BrowserView*) override {
        return std::make_shared<RecordingView>(++made);
    }
    int made = 1000;
};

TEST(WorkerObject, WithoutViewsOnlyTheForgivingMembersSucceed) {
    uitWebControl::TWebControl object(nullptr, "/nonexistent/");
    EXPECT_THROW(object.Get_WebCount(), WebControlError);  // no view list yet
    EXPECT_THROW(object.Navigate(5, u"http://127.0.0.1/", u""), WebControlError);
    EXPECT_THROW(object.Get_WebHandle(5), WebControlError);
    EXPECT_THROW(object.Get_WebUrl(5), WebControlError);
    EXPECT_THROW(object.Get_WebTitle(5), WebControlError);
    EXPECT_THROW(object.WebRefresh(5), WebControlError);
    EXPECT_THROW(object.SaveWebToPic(5), WebControlError);
    EXPECT_THROW(object.SaveWebToPicSmall(5), WebControlError);
    EXPECT_THROW(object.LoginWeb(u"user", u"x", 5), WebControlError);
    EXPECT_NO_THROW(object.LoginWeb(u"", u"x", 5));  // an empty name is nothing at all
    EXPECT_NO_THROW(object.FreeWeb(5));
    EXPECT_NO_THROW(object.WebBack(5));
    EXPECT_NO_THROW(object.WebForward(5));
    EXPECT_NO_THROW(object.SetParent(5));
    EXPECT_NO_THROW(object.SetFoucseWeb(5));
}

TEST(WorkerObject, ViewListKeepsOrderAndFindsTheFirstEntry) {
    RecordingFactory factory;
    uitWebControl::TWebControl object(&factory, "/nonexistent/");
    EXPECT_EQ(object.CreateWeb(-7), 1001);
    EXPECT_EQ(object.CreateWeb(12), 1002);
    EXPECT_EQ(object.CreateWeb(12), 1003);  // a second view for the same tab
    EXPECT_EQ(object.Get_WebCount(), 3);
    EXPECT_EQ(object.Get_WebHandle(12), 1002);
    EXPECT_EQ(object.Get_WebHandle(-7), 1001);
    EXPECT_EQ(object.TabOfView(object.FindView(-7).get()), -7);

    auto* first = static_cast<RecordingView*>(object.FindView(12).get());
    EXPECT_EQ(first->hosts, std::vector<int32_t>{12});  // embedded on creation
    object.SetParent(12);
    EXPECT_EQ(first->hosts, (std::vector<int32_t>{12, 12}));

    object.FreeWeb(12);
    EXPECT_EQ(object.Get_WebHandle(12), 1003);  // the second one is found now
    object.FreeWeb(12);
    object.FreeWeb(12);  // nothing left: still succeeds
    EXPECT_EQ(object.Get_WebCount(), 1);
    EXPECT_EQ(object.FindView(12), nullptr);
}

TEST(WorkerObject, MembersReachTheirView) {
    RecordingFactory factory;
    uitWebControl::TWebControl object(&factory, "/nonexistent/");
    object.CreateWeb(3);
    auto* view = static_cast<RecordingView*>(object.FindView(3).get());
    object.Navigate(3, u"http://127.0.0.1/a", u"");
    object.Navigate(3, u"http://127.0.0.1/b", u"a=1&b=\u00e9");
    EXPECT_EQ(view->loads, (std::vector<std::string>{"GET http://127.0.0.1/a",
                                                     "POST http://127.0.0.1/b a=1&b=\xe9"}));
    // A code unit above 255 cannot be a byte of the body.
    EXPECT_THROW(object.Navigate(3, u"http://127.0.0.1/", u"a=\u4e2d"), WebControlError);
    EXPECT_EQ(view->loads.size(), 2u);

    EXPECT_THROW(object.Get_WebTitle(3), WebControlError);  // no document yet
    EXPECT_EQ(object.Get_WebUrl(3), u"location-url");
    view->has_document = true;
    EXPECT_EQ(object.Get_WebTitle(3), u"title");
    EXPECT_EQ(object.Get_WebUrl(3), u"document-url");

    // Only with a site, whose origins go with every field written.
    EXPECT_THROW(object.LoginWeb(u"用户", u"x", 3), WebControlError);
    object.Set_LoginSite(3, u"http://game.example/login");
    object.LoginWeb(u"用户", u"\"'<x>", 3);
    EXPECT_EQ(view->inputs,
              std::vector<std::string>{"用户=\"'<x> http://game.example:80 "
                                       "https://game.example:80 https://game.example:443"});
    EXPECT_NO_THROW(object.WebBack(3));  // the view's error is swallowed
}

TEST(WorkerObject, OnlyAPageOfBoundedSizeIsDrawnWhole) {
    using uitWebControl::DrawsWholeDocument;
    EXPECT_TRUE(DrawsWholeDocument({1280, 3000}, true));
    EXPECT_FALSE(DrawsWholeDocument({32000, 32000}, true));
    EXPECT_FALSE(DrawsWholeDocument({32000, 32000}, false));
    // A long page: too many pixels for a thumbnail, still drawn whole for the full picture.
    EXPECT_FALSE(DrawsWholeDocument({1280, 20000}, true));
    EXPECT_TRUE(DrawsWholeDocument({1280, 20000}, false));
    // A thin page beyond what the engine draws on one side.
    EXPECT_FALSE(DrawsWholeDocument({100, 40000}, false));
}

TEST(WorkerObject, PicturesAreCutToTheBodyAndWrittenAs24BitFiles) {
    EXPECT_EQ(uitWebControl::PagePictureSize({300, 900}, true).width, 320);
    EXPECT_EQ(uitWebControl::PagePictureSize({300, 900}, true).height, 640);
    EXPECT_EQ(uitWebControl::PagePictureSize({300, 900}, false).height, 920);
    EXPECT_EQ(uitWebControl::PagePictureSize({300, 100}, true).height, 120);

    kivo::test::TempHome home;
    const std::string app = home.Path() + "/";
    std::filesystem::create_directories(app + "WebImage");
    std::filesystem::create_directories(app + "Temp");
    RecordingFactory factory;
    uitWebControl::TWebControl object(&factory, app);
    object.CreateWeb(-5);
    auto* view = static_cast<RecordingView*>(object.FindView(-5).get());
    view->body = uitWebControl::ScrollSize{300, 900};

    object.SaveWebToPicSmall(-5);
    auto small = kivo::imaging::ReadBmp(app + "WebImage/-5");
    EXPECT_EQ(small.Width(), 320);
    EXPECT_EQ(small.Height(), 640);
    EXPECT_EQ(small.At(0, 0), (kivo::imaging::Rgb{10, 20, 30}));
    EXPECT_EQ(small.At(310, 0), kivo::imaging::kWhite);  // beyond the page: white

    object.SaveWebToPic(-5);
    EXPECT_EQ(kivo::imaging::ReadBmp(app + "Temp/-5").Height(), 920);
    EXPECT_EQ(view->hosts.back(), -5);  // fitted back into its tab

    // Without a body the picture is what the view shows.
    view->body.reset();
    object.SaveWebToPicSmall(-5);
    EXPECT_FALSE(view->snapshots.back());
    EXPECT_EQ(kivo::imaging::ReadBmp(app + "WebImage/-5").Height(), 900);

    // A missing folder: the picture cannot be written or read back, and the call says so.
    std::filesystem::remove_all(app + "Temp");
    EXPECT_THROW(object.SaveWebToPic(-5), std::exception);
}

TEST(PostForm, BodiesBecomeFieldsThatEncodeToTheSameBytes) {
    using uitWebControl::ParsePostBody;
    auto fields = ParsePostBody("a=1&b=2");
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(fields[1].name, "b");
    EXPECT_EQ(fields[1].value, "2");
    fields = ParsePostBody("keyword=%61%62%63&x=a+b%2&&y&=z%e9");
    ASSERT_EQ(fields.size(), 4u);
    EXPECT_EQ(fields[0].value, "abc");
    EXPECT_EQ(fields[1].value, "a b%2");  // a malformed escape stays
    EXPECT_EQ(fields[2].name, "y");
    EXPECT_EQ(fields[3].name, "");
    EXPECT_EQ(fields[3].value, "z\xe9");

    EXPECT_EQ(uitWebControl::Windows1252Character(0x80), "€");
    EXPECT_EQ(uitWebControl::Windows1252Character(0xE9), "é");
    EXPECT_EQ(uitWebControl::Windows1252Character(0x81), "\xc2\x81");
    EXPECT_THROW(uitWebControl::PostBodyBytes(u"\u0100"), WebControlError);
    EXPECT_EQ(uitWebControl::PostBodyBytes(u"\u00ff"), "\xff");
}

TEST(PostForm, TheGeneratedDocumentCarriesDataOnlyAsEscapedAttributes) {
    const std::string html = uitWebControl::PostFormDocument(
        {{"n\"><script>alert(1)</script>", "v'&\n"}});
    EXPECT_EQ(html.find("<script>alert"), std::string::npos);
    EXPECT_NE(html.find("n&quot;&gt;&lt;script&gt;"), std::string::npos);
    EXPECT_NE(html.find("v&#39;&amp;&#10;"), std::string::npos);
    EXPECT_NE(html.find("accept-charset=\"windows-1252\""), std::string::npos);
}

TEST(WorkerObject, ServerhandleIsProcessWide) {
    uitWebControl::TWebControl a(nullptr, ""), b(nullptr, "");
    a.Set_Serverhandle(-123);
    EXPECT_EQ(uitWebControl::ServerWindowHandle(), -123);
    b.Set_Serverhandle(77);
    EXPECT_EQ(uitWebControl::ServerWindowHandle(), 77);
}

Message Invoke(int32_t dispid, gameKivo_TLB::InvokeKind kind, std::vector<kivo::wire::Value> v) {
    Message m;
    m.kind = kivo::wire::Kind::Invoke;
    m.id = 1;
    m.dispid = dispid;
    m.invoke_kind = kind;
    m.values = std::move(v);
    return m;
}

TEST(MemberDispatch, RefusesUnknownMembersAndWrongArgumentsBeforeRunningAnything) {
    RecordingFactory factory;
    uitWebControl::TWebControl object(&factory, "/nonexistent/");
    using gameKivo_TLB::InvokeKind;
    namespace D = gameKivo_TLB::DispId;
    using gameKivo_TLB::InvokeMember;

    EXPECT_THROW(InvokeMember(object, Invoke(999, InvokeKind::Method, {})), WebControlError);
    EXPECT_THROW(InvokeMember(object, Invoke(D::CreateWeb, InvokeKind::Method, {})),
                 WebControlError);
    EXPECT_THROW(InvokeMember(object, Invoke(D::CreateWeb, InvokeKind::Method,
                                             {std::u16string(u"1")})),
                 WebControlError);
    EXPECT_THROW(InvokeMember(object, Invoke(D::CreateWeb, InvokeKind::PropertyGet, {1})),
                 WebControlError);
    EXPECT_THROW(InvokeMember(object, Invoke(D::Serverhandle, InvokeKind::PropertyGet, {1})),
                 WebControlError);
    EXPECT_EQ(factory.made, 1000);  // nothing ran

    const Message created = InvokeMember(object, Invoke(D::CreateWeb, InvokeKind::Method, {4}));
    ASSERT_EQ(created.values.size(), 1u);
    EXPECT_EQ(std::get<int32_t>(created.values[0]), 1001);
    const Message count = InvokeMember(object, Invoke(D::WebCount, InvokeKind::PropertyGet, {}));
    EXPECT_EQ(std::get<int32_t>(count.values[0]), 1);
    EXPECT_TRUE(
        InvokeMember(object, Invoke(D::Serverhandle, InvokeKind::PropertyPut, {9})).values.empty());
}

TEST(WorkerObject, PageKeysReachTheViewWithTheZoomKeptInItsRange) {
    RecordingFactory factory;
    uitWebControl::TWebControl object(&factory, "/nonexistent/");
    object.CreateWeb(4);
    auto view = std::dynamic_pointer_cast<RecordingView>(object.FindView(4));
    ASSERT_TRUE(view);

    // A zoom of 1000 % or below nothing is brought into the range, never handed on as asked.
    EXPECT_EQ(object.SetWebZoom(4, 1000), kivo::kMaxZoomPercent);
    EXPECT_EQ(view->zoom, kivo::kMaxZoomPercent);
    EXPECT_EQ(object.SetWebZoom(4, -20), kivo::kMinZoomPercent);
    EXPECT_EQ(object.SetWebZoom(4, 125), 125);
    EXPECT_EQ(object.Get_WebZoom(4), 125);
    EXPECT_THROW(object.SetWebZoom(5, 100), WebControlError);

    // An empty text ends the search; a text holding NUL is refused before reaching the page.
    object.FindText(4, u"word", kivo::find_options::kMatchCase);
    object.FindText(4, u"", 0);
    EXPECT_THROW(object.FindText(4, std::u16string(u"a\0b", 3), 0), WebControlError);
    object.FindFinish(99);  // no such tab: nothing to end
    EXPECT_EQ(view->finds, (std::vector<std::string>{"word/1", "finish"}));

    // Through the dispatch: the zoom's result crosses back as an integer.
    using gameKivo_TLB::InvokeKind;
    const Message zoom = gameKivo_TLB::InvokeMember(
        object, Invoke(gameKivo_TLB::DispId::SetWebZoom, InvokeKind::Method, {4, 1000}));
    ASSERT_EQ(zoom.values.size(), 1u);
    EXPECT_EQ(std::get<int32_t>(zoom.values[0]), kivo::kMaxZoomPercent);
}

TEST(MemberDispatch, TheTypeLibraryTableMatchesTheContract) {
    // Interface-table order is the DISPID order: 201..216 first, later members above them,
    // each number once; every event is described.
    const auto& members = gameKivo_TLB::IWebControlMembers;
    for (size_t i = 0; i < members.size(); ++i) {
        if (i < 16)
            EXPECT_EQ(members[i].dispid, 201 + static_cast<int32_t>(i));
        else
            EXPECT_GT(members[i].dispid, members[i - 1].dispid);
    }
    EXPECT_EQ(gameKivo_TLB::FindEvent(205)->argument_count, 2);
    EXPECT_EQ(gameKivo_TLB::FindEvent(gameKivo_TLB::DispId::FindCount)->argument_count, 2);
    EXPECT_EQ(gameKivo_TLB::FindEvent(200), nullptr);
    EXPECT_EQ(gameKivo_TLB::CLASS_WebControl.size(), 38u);
}

}  // namespace

namespace {

TEST(WorkerObject, APictureThatCannotBeWrittenIsShownOnceAndTheUnlistedViewIsRefused) {
    kivo::test::TempHome home;
    const std::string app = home.Path() + "/";  // no "WebImage/" folder: the write fails
    RecordingFactory factory;
    uitWebControl::TWebControl object(&factory, app);
    object.CreateWeb(8);
    auto* view = static_cast<RecordingView*>(object.FindView(8).get());
    view->body = uitWebControl::ScrollSize{300, 300};
    std::vector<std::string> boxes;
    uitWebControl::SetMessageBox([&](const std::string& text) { boxes.push_back(text); });

    object.ViewDocumentComplete(*view, true, "http://127.0.0.1/");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("WebImage/8"), std::string::npos) << boxes[0];
    EXPECT_EQ(view->hosts.back(), 8) << "the view is fitted back into its tab all the same";

    object.ViewDocumentComplete(*view, false, "http://127.0.0.1/frame");  // frames take none
    EXPECT_EQ(boxes.size(), 1u);
    uitWebControl::SetMessageBox(nullptr);

    // An event of a view that is no longer listed is refused; its host logs the error.
    auto stranger = std::make_shared<RecordingView>(77);
    EXPECT_THROW(object.ViewDocumentComplete(*stranger, true, "http://127.0.0.1/"), WebControlError);
    EXPECT_THROW(object.ViewStatusTextChange(*stranger, "x"), WebControlError);
}

}  // namespace
