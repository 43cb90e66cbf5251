// The worker object's rules and the member dispatch, without a browser engine: views are
// stand-ins that record where they were placed.
#include <gtest/gtest.h>

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
    std::vector<int32_t> hosts;

private:
    int32_t handle_;
};

class RecordingFactory : public uitWebControl::BrowserViewFactory {
public:
    std::unique_ptr<BrowserView> CreateView(int32_t) override {
        return std::make_unique<RecordingView>(++made);
    }
    int made = 1000;
};

TEST(WorkerObject, WithoutViewsOnlyTheForgivingMembersSucceed) {
    uitWebControl::TWebControl object(nullptr);
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
    uitWebControl::TWebControl object(&factory);
    EXPECT_EQ(object.CreateWeb(-7), 1001);
    EXPECT_EQ(object.CreateWeb(12), 1002);
    EXPECT_EQ(object.CreateWeb(12), 1003);  // a second view for the same tab
    EXPECT_EQ(object.Get_WebCount(), 3);
    EXPECT_EQ(object.Get_WebHandle(12), 1002);
    EXPECT_EQ(object.Get_WebHandle(-7), 1001);
    EXPECT_EQ(object.TabOfView(object.FindView(-7)), -7);

    auto* first = static_cast<RecordingView*>(object.FindView(12));
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

TEST(WorkerObject, ServerhandleIsProcessWide) {
    uitWebControl::TWebControl a(nullptr), b(nullptr);
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
    uitWebControl::TWebControl object(&factory);
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

TEST(MemberDispatch, TheTypeLibraryTableMatchesTheContract) {
    // Interface-table order is the DISPID order 201..216, and every event is described.
    int32_t expected = 201;
    for (const auto& member : gameKivo_TLB::IWebControlMembers) EXPECT_EQ(member.dispid, expected++);
    EXPECT_EQ(gameKivo_TLB::FindEvent(205)->argument_count, 2);
    EXPECT_EQ(gameKivo_TLB::FindEvent(206), nullptr);
    EXPECT_EQ(gameKivo_TLB::CLASS_WebControl.size(), 38u);
}

}  // namespace
