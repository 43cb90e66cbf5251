// Writes one seed per member call and per event, in the dispatch target's input form (a side
// byte, then a frame body), into the folder given as the only argument.
#include <fstream>
#include <iostream>
#include <string>

#include "webcontrol/wire.h"

namespace {

using namespace gameKivo_TLB;
using kivo::wire::Kind;
using kivo::wire::Message;
using kivo::wire::Value;

Value Sample(WireType type) {
    switch (type) {
        case WireType::Integer:
            return int32_t{3};
        case WireType::Text:
            return std::u16string(u"http://127.0.0.1/a");
        case WireType::Boolean:
            return true;
    }
    return int32_t{0};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: kivo_dispatch_seeds FOLDER\n";
        return 2;
    }
    int n = 0;
    auto write = [&](char side, const Message& m) {
        const std::string frame = kivo::wire::Encode(m);
        std::ofstream(std::string(argv[1]) + "/seed-" + std::to_string(++n), std::ios::binary)
            << side << frame.substr(4);
    };
    for (const auto& member : IWebControlMembers) {
        Message m;
        m.kind = Kind::Invoke;
        m.id = 5;
        m.dispid = member.dispid;
        m.invoke_kind = member.kind;
        for (int i = 0; i < member.argument_count; ++i)
            m.values.push_back(Sample(member.arguments[i]));
        write('\1', m);
    }
    for (const auto& event : IWebControlEventsMembers) {
        Message m;
        m.kind = Kind::Event;
        m.id = 6;
        m.dispid = event.dispid;
        for (int i = 0; i < event.argument_count; ++i)
            m.values.push_back(Sample(event.arguments[i]));
        write('\0', m);
    }
    for (char side : {'\0', '\1'}) {
        Message m;
        m.kind = Kind::Advise;
        write(side, m);
        m.kind = Kind::Unadvise;
        write(side, m);
        write(side, kivo::wire::MakeFailure(9, u"failed"));
    }
    return 0;
}
