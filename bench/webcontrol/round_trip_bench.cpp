// Round trips of the web-control transport against its floor, measured in one run:
//   floor   a bare socket-pair ping-pong between two processes, with messages of the sizes a
//           WebCount call and its reply have on the wire
//   call    WebCount main -> worker -> main through the proxy
//   event   an event raised by the worker whose handler makes one nested WebCount call into
//           the same worker (timed by the worker, around the whole event)
// Prints the medians in microseconds and the ratios to the floor.
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/user_settings.h"
#include "tests/support/test_support.h"
#include "webcontrol/registration.h"
#include "webcontrol/web_control_proxy.h"

namespace {

using Clock = std::chrono::steady_clock;

double MedianMicros(std::vector<double> samples) {
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return samples[samples.size() / 2];
}

double Micros(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

bool ReadAll(int fd, char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = read(fd, data, size);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

double SocketPairFloor(int calls, size_t request_size, size_t reply_size) {
    int pair[2];
    socketpair(AF_UNIX, SOCK_STREAM, 0, pair);
    const pid_t child = fork();
    if (child == 0) {
        close(pair[0]);
        std::string in(request_size, '\0'), out(reply_size, 'r');
        while (ReadAll(pair[1], in.data(), in.size())) {
            if (write(pair[1], out.data(), out.size()) != static_cast<ssize_t>(out.size())) break;
        }
        _exit(0);
    }
    close(pair[1]);
    std::string out(request_size, 'q'), in(reply_size, '\0');
    std::vector<double> samples;
    samples.reserve(calls);
    for (int i = 0; i < calls; ++i) {
        const auto start = Clock::now();
        if (write(pair[0], out.data(), out.size()) != static_cast<ssize_t>(out.size())) break;
        if (!ReadAll(pair[0], in.data(), in.size())) break;
        samples.push_back(Micros(start));
    }
    close(pair[0]);
    waitpid(child, nullptr, 0);
    return MedianMicros(samples);
}

}  // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::atoi(argv[1]) : 20000;
    kivo::test::TempHome home;
    kivo::UserSettings settings;
    gameKivo_TLB::RegisterServer(settings, KIVO_TEST_PEER);

    kivo::wire::Message request;
    request.kind = kivo::wire::Kind::Invoke;
    request.dispid = gameKivo_TLB::DispId::WebCount;
    request.invoke_kind = gameKivo_TLB::InvokeKind::PropertyGet;
    const size_t request_size = kivo::wire::Encode(request).size();
    const size_t reply_size = kivo::wire::Encode(kivo::wire::MakeReply(1, {int32_t{0}})).size();

    const double floor = SocketPairFloor(calls, request_size, reply_size);

    gameKivo_Work_TLB::TWebControl web;
    web.Connect();
    for (int i = 0; i < 1000; ++i) web.WebCount();  // warm up
    std::vector<double> samples;
    samples.reserve(calls);
    for (int i = 0; i < calls; ++i) {
        const auto start = Clock::now();
        web.WebCount();
        samples.push_back(Micros(start));
    }
    const double call = MedianMicros(samples);

    web.OnDocumentComplete = [](gameKivo_Work_TLB::TWebControl& sender, bool,
                                const std::u16string&, int32_t) { sender.WebCount(); };
    web.Navigate(1, kivo::Utf8ToUtf16("bench:1000"), u"");  // warm up
    web.Navigate(1, kivo::Utf8ToUtf16("bench:" + std::to_string(calls)), u"");
    const double event = std::stod(kivo::Utf16ToUtf8(web.WebTitle(1))) / 1000.0;

    std::printf("calls per measurement: %d\n", calls);
    std::printf("socket-pair ping-pong (%zu/%zu bytes): median %.2f us\n", request_size,
                reply_size, floor);
    std::printf("WebCount call:                    median %.2f us  (%.2fx floor)\n", call,
                call / floor);
    std::printf("event with one nested call:       median %.2f us  (%.2fx floor)\n", event,
                event / floor);
    return 0;
}
