#pragma once
// The framed binary messages that carry calls, events and replies between the main process and
// a worker. Every frame is a 32-bit little-endian body length followed by the body:
//
//   kind u8 | id u32 | ...
//   Hello      : (nothing)                                   worker -> main, once, no reply
//   Invoke     : dispid i32 | invoke kind u8 | count u8 | values      main -> worker
//   Event      : dispid i32 | count u8 | values                       worker -> main
//   Advise     : (nothing)                                   subscribe to the object's events
//   Unadvise   : (nothing)
//   Reply      : status u8 (0 ok, 1 failed) | ok: count u8 | values; failed: text
//
//   value      : tag u8 | int: i32 | text: count u32 | UTF-16 code units | bool: i16 (-1, 0)
//
// The decoder never trusts a length: frames, texts and value counts have fixed upper bounds,
// and anything malformed raises ProtocolError.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "webcontrol/type_library.h"

namespace kivo::wire {

inline constexpr size_t kMaxTextUnits = 8u << 20;  // 16 MiB of UTF-16
inline constexpr size_t kMaxValues = 16;
inline constexpr size_t kMaxBody = 2 * kMaxTextUnits + 4096;

class ProtocolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using Value = std::variant<int32_t, std::u16string, bool>;

gameKivo_TLB::WireType TypeOf(const Value& value);

enum class Kind : uint8_t { Hello = 1, Invoke = 2, Event = 3, Advise = 4, Unadvise = 5, Reply = 6 };

struct Message {
    Kind kind = Kind::Hello;
    uint32_t id = 0;
    int32_t dispid = 0;
    gameKivo_TLB::InvokeKind invoke_kind = gameKivo_TLB::InvokeKind::Method;
    std::vector<Value> values;
    bool failed = false;  // replies only
    std::u16string error;  // replies that failed
};

Message MakeReply(uint32_t id, std::vector<Value> values = {});
Message MakeFailure(uint32_t id, std::u16string error);

// The whole frame, length prefix included. Throws ProtocolError for a message that breaks the
// bounds (so a sender learns of it before the peer would drop the connection).
std::string Encode(const Message& message);

// Collects bytes as they arrive and hands out complete messages.
class FrameReader {
public:
    void Append(const char* data, size_t size) { buffer_.append(data, size); }
    // The next complete message, or nothing while it has not fully arrived.
    std::optional<Message> Next();
    size_t Buffered() const { return buffer_.size() - start_; }

private:
    std::string buffer_;
    size_t start_ = 0;
};

// Decodes one frame body (without its length prefix).
Message DecodeBody(const char* data, size_t size);

}  // namespace kivo::wire
