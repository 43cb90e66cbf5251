#include "webcontrol/wire.h"

#include <cstring>

namespace kivo::wire {

using gameKivo_TLB::InvokeKind;
using gameKivo_TLB::WireType;

namespace {

class Writer {
public:
    void U8(uint8_t v) { out_ += static_cast<char>(v); }
    void U16(uint16_t v) {
        U8(static_cast<uint8_t>(v));
        U8(static_cast<uint8_t>(v >> 8));
    }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(v >> (8 * i)));
    }
    void Text(const std::u16string& text) {
        if (text.size() > kMaxTextUnits)
            throw ProtocolError("a text of " + std::to_string(text.size()) +
                                " code units is too long to send");
        U32(static_cast<uint32_t>(text.size()));
        for (char16_t unit : text) U16(unit);
    }
    void Values(const std::vector<Value>& values) {
        if (values.size() > kMaxValues) throw ProtocolError("too many values in one message");
        U8(static_cast<uint8_t>(values.size()));
        for (const Value& value : values) {
            U8(static_cast<uint8_t>(TypeOf(value)));
            if (auto* i = std::get_if<int32_t>(&value)) U32(static_cast<uint32_t>(*i));
            if (auto* t = std::get_if<std::u16string>(&value)) Text(*t);
            if (auto* b = std::get_if<bool>(&value)) U16(*b ? 0xFFFF : 0);
        }
    }
    std::string Take() { return std::move(out_); }

private:
    std::string out_;
};

class Reader {
public:
    Reader(const char* data, size_t size) : data_(data), size_(size) {}

    uint8_t U8() {
        Need(1);
        return static_cast<uint8_t>(data_[pos_++]);
    }
    uint16_t U16() {
        const uint16_t lo = U8();
        return static_cast<uint16_t>(lo | (U8() << 8));
    }
    uint32_t U32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(U8()) << (8 * i);
        return v;
    }
    std::u16string Text() {
        const uint32_t count = U32();
        if (count > kMaxTextUnits) throw ProtocolError("text longer than the limit");
        Need(static_cast<size_t>(count) * 2);
        std::u16string text(count, u'\0');
        for (uint32_t i = 0; i < count; ++i) text[i] = U16();
        return text;
    }
    std::vector<Value> Values() {
        const uint8_t count = U8();
        if (count > kMaxValues) throw ProtocolError("too many values");
        std::vector<Value> values;
        values.reserve(count);
        for (uint8_t i = 0; i < count; ++i) {
            switch (static_cast<WireType>(U8())) {
                case WireType::Integer: values.emplace_back(static_cast<int32_t>(U32())); break;
                case WireType::Text: values.emplace_back(Text()); break;
                case WireType::Boolean: {
                    const uint16_t raw = U16();
                    if (raw != 0 && raw != 0xFFFF) throw ProtocolError("malformed Boolean");
                    values.emplace_back(raw == 0xFFFF);
                    break;
                }
                default: throw ProtocolError("unknown value type");
            }
        }
        return values;
    }
    void End() const {
        if (pos_ != size_) throw ProtocolError("trailing bytes after the message");
    }

private:
    void Need(size_t n) const {
        if (size_ - pos_ < n) throw ProtocolError("truncated message");
    }

    const char* data_;
    size_t size_;
    size_t pos_ = 0;
};

}  // namespace

WireType TypeOf(const Value& value) {
    switch (value.index()) {
        case 0: return WireType::Integer;
        case 1: return WireType::Text;
        default: return WireType::Boolean;
    }
}

Message MakeReply(uint32_t id, std::vector<Value> values) {
    Message reply;
    reply.kind = Kind::Reply;
    reply.id = id;
    reply.values = std::move(values);
    return reply;
}

Message MakeFailure(uint32_t id, std::u16string error) {
    Message reply;
    reply.kind = Kind::Reply;
    reply.id = id;
    reply.failed = true;
    reply.error = std::move(error);
    return reply;
}

std::string Encode(const Message& message) {
    Writer body;
    body.U8(static_cast<uint8_t>(message.kind));
    body.U32(message.id);
    switch (message.kind) {
        case Kind::Invoke:
            body.U32(static_cast<uint32_t>(message.dispid));
            body.U8(static_cast<uint8_t>(message.invoke_kind));
            body.Values(message.values);
            break;
        case Kind::Event:
            body.U32(static_cast<uint32_t>(message.dispid));
            body.Values(message.values);
            break;
        case Kind::Reply:
            body.U8(message.failed ? 1 : 0);
            if (message.failed)
                body.Text(message.error);
            else
                body.Values(message.values);
            break;
        case Kind::Hello:
        case Kind::Advise:
        case Kind::Unadvise: break;
    }
    std::string payload = body.Take();
    if (payload.size() > kMaxBody) throw ProtocolError("message too large to send");
    Writer frame;
    frame.U32(static_cast<uint32_t>(payload.size()));
    return frame.Take() + payload;
}

Message DecodeBody(const char* data, size_t size) {
    Reader in(data, size);
    Message message;
    const uint8_t kind = in.U8();
    if (kind < static_cast<uint8_t>(Kind::Hello) || kind > static_cast<uint8_t>(Kind::Reply))
        throw ProtocolError("unknown message kind " + std::to_string(kind));
    message.kind = static_cast<Kind>(kind);
    message.id = in.U32();
    switch (message.kind) {
        case Kind::Invoke: {
            message.dispid = static_cast<int32_t>(in.U32());
            const uint8_t invoke = in.U8();
            if (invoke != 1 && invoke != 2 && invoke != 4)
                throw ProtocolError("unknown invocation kind");
            message.invoke_kind = static_cast<InvokeKind>(invoke);
            message.values = in.Values();
            break;
        }
        case Kind::Event:
            message.dispid = static_cast<int32_t>(in.U32());
            message.values = in.Values();
            break;
        case Kind::Reply: {
            const uint8_t status = in.U8();
            if (status > 1) throw ProtocolError("unknown reply status");
            message.failed = status == 1;
            if (message.failed)
                message.error = in.Text();
            else
                message.values = in.Values();
            break;
        }
        case Kind::Hello:
        case Kind::Advise:
        case Kind::Unadvise: break;
    }
    in.End();
    return message;
}

std::optional<Message> FrameReader::Next() {
    const size_t available = buffer_.size() - start_;
    if (available < 4) return std::nullopt;
    const auto* p = reinterpret_cast<const unsigned char*>(buffer_.data() + start_);
    const uint32_t length = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
    if (length > kMaxBody) throw ProtocolError("frame longer than the limit");
    if (available - 4 < length) return std::nullopt;
    Message message = DecodeBody(buffer_.data() + start_ + 4, length);
    start_ += 4 + length;
    // Drop consumed bytes once they dominate the buffer, so it does not grow without end.
    if (start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    } else if (start_ > 65536 && start_ * 2 > buffer_.size()) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    return message;
}

}  // namespace kivo::wire
