#include "webcontrol/wire.h"

#include <gtest/gtest.h>

namespace kivo::wire {
namespace {

Message RoundTrip(const Message& message) {
    FrameReader reader;
    const std::string frame = Encode(message);
    reader.Append(frame.data(), frame.size());
    auto decoded = reader.Next();
    EXPECT_TRUE(decoded.has_value());
    EXPECT_EQ(reader.Buffered(), 0u);
    return decoded.value_or(Message{});
}

Message SampleInvoke() {
    Message m;
    m.kind = Kind::Invoke;
    m.id = 77;
    m.dispid = gameKivo_TLB::DispId::LoginWeb;
    m.values = {std::u16string(u"用户名\"'\\\n𝄞"), std::u16string(), int32_t{-2147483647 - 1},
                true, false};
    return m;
}

TEST(Wire, EveryKindAndValueSurvivesTheRoundTrip) {
    const Message invoke = SampleInvoke();
    const Message back = RoundTrip(invoke);
    EXPECT_EQ(back.kind, Kind::Invoke);
    EXPECT_EQ(back.id, 77u);
    EXPECT_EQ(back.dispid, invoke.dispid);
    EXPECT_EQ(back.values, invoke.values);

    Message event;
    event.kind = Kind::Event;
    event.dispid = gameKivo_TLB::DispId::NewTab;
    event.values = {int32_t{-1}, int32_t{123456}};
    EXPECT_EQ(RoundTrip(event).values, event.values);

    const Message failure = RoundTrip(MakeFailure(9, u"没有视图"));
    EXPECT_TRUE(failure.failed);
    EXPECT_EQ(failure.error, u"没有视图");

    const Message reply = RoundTrip(MakeReply(10, {std::u16string(u"x")}));
    EXPECT_FALSE(reply.failed);
    ASSERT_EQ(reply.values.size(), 1u);

    for (Kind k : {Kind::Hello, Kind::Advise, Kind::Unadvise}) {
        Message bare;
        bare.kind = k;
        bare.id = 5;
        EXPECT_EQ(RoundTrip(bare).kind, k);
    }
}

TEST(Wire, FramesSplitAnywhereAreReassembled) {
    const std::string frame = Encode(SampleInvoke()) + Encode(MakeReply(3));
    for (size_t cut = 0; cut <= frame.size(); ++cut) {
        FrameReader reader;
        reader.Append(frame.data(), cut);
        int seen = 0;
        while (reader.Next()) ++seen;
        reader.Append(frame.data() + cut, frame.size() - cut);
        while (reader.Next()) ++seen;
        EXPECT_EQ(seen, 2) << "cut at " << cut;
    }
}

// Corrupts one frame body and expects the decoder to refuse it.
void ExpectRefused(std::string body) {
    std::string frame(4, '\0');
    const auto size = static_cast<uint32_t>(body.size());
    for (int i = 0; i < 4; ++i) frame[i] = static_cast<char>(size >> (8 * i));
    frame += body;
    FrameReader reader;
    reader.Append(frame.data(), frame.size());
    EXPECT_THROW(reader.Next(), ProtocolError);
}

TEST(Wire, MalformedBodiesAreRefused) {
    const std::string good = Encode(SampleInvoke()).substr(4);
    ExpectRefused(good.substr(0, good.size() - 1));  // truncated inside a value
    ExpectRefused(good + "x");                        // trailing bytes
    ExpectRefused(std::string("\x09", 1) + good.substr(1));  // unknown kind
    std::string bad_type = good;
    bad_type[11] = 9;  // the first value's tag
    ExpectRefused(bad_type);
    std::string bad_invoke = good;
    bad_invoke[9] = 3;  // invocation kind
    ExpectRefused(bad_invoke);

    // A Boolean other than -1 or 0.
    Message m;
    m.kind = Kind::Event;
    m.values = {true};
    std::string body = Encode(m).substr(4);
    body[body.size() - 1] = 0x12;
    ExpectRefused(body);

    // A text count far beyond what the frame holds, and beyond the limit.
    Message t;
    t.kind = Kind::Event;
    t.values = {std::u16string(u"ab")};
    std::string text_body = Encode(t).substr(4);
    std::string longer = text_body;
    longer[11] = '\x7f';  // more code units than the frame holds
    ExpectRefused(longer);
    text_body[14] = '\x7f';  // more than any text may have
    ExpectRefused(text_body);
}

TEST(Wire, LengthsBeyondTheLimitsAreRefused) {
    FrameReader reader;
    const char huge[4] = {'\xff', '\xff', '\xff', '\x7f'};
    reader.Append(huge, 4);
    EXPECT_THROW(reader.Next(), ProtocolError);

    Message m;
    m.kind = Kind::Event;
    m.values = {std::u16string(kMaxTextUnits + 1, u'a')};
    EXPECT_THROW(Encode(m), ProtocolError);
    m.values.assign(kMaxValues + 1, int32_t{1});
    EXPECT_THROW(Encode(m), ProtocolError);

    m.values = {std::u16string(kMaxTextUnits, u'a')};
    EXPECT_EQ(std::get<std::u16string>(RoundTrip(m).values[0]).size(), kMaxTextUnits);
}

}  // namespace
}  // namespace kivo::wire
