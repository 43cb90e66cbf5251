#pragma once
// Reaching the document of a worker's view from the main process. The worker marks the window
// of each view with a property naming the socket where it answers questions about that view's
// document (a socket in the user's private runtime folder); the main process reads the property
// of a tab's view window, connects and asks. One question per connection:
//
//   request: "inputs " decimal window id "\n"          (at most kMaxRequest bytes)
//   reply:   32-bit big-endian length, then that many bytes of JSON: an array of
//            [type, name, value] text triples, one per input element of the top-level document
//            in document order. No reply (the connection closes) when there is no such view or
//            its document cannot be read.
//
// Nothing read from the peer is trusted: the reply is bounded in size and in time, and parsed
// strictly.
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Xlib's display, named without its header (whose macros clash with the toolkit's C++ names).
struct _XDisplay;

namespace kivo::document {

using XDisplay = ::_XDisplay;

// The property (of type UTF8_STRING) on a view's window.
inline constexpr const char* kAddressProperty = "_GAMEKIVO_DOCUMENT";
inline constexpr std::string_view kSocketPrefix = "gameKivo-document-";
inline constexpr size_t kMaxRequest = 64;
inline constexpr uint32_t kMaxReply = 32u << 20;

// The document cannot be had: no marked window, no answer, or an answer of no known form.
class DocumentError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct InputElement {
    std::string type;
    std::string name;
    std::string value;
};

// The socket of the process `pid`: the runtime folder + kSocketPrefix + pid.
std::string SocketPathOf(long pid);
// Whether `path` is a socket path SocketPathOf can give in this user's runtime folder.
bool IsSocketPath(std::string_view path);

std::string FormatRequest(uint32_t window);
// The window of a request line (without its "\n"); throws DocumentError for anything else.
uint32_t ParseRequest(std::string_view line);

// The elements of a reply body; throws DocumentError unless it is exactly an array of text
// triples.
std::vector<InputElement> ParseInputElements(std::string_view json);
// The JSON text of a list of elements (what a worker would send).
std::string FormatInputElements(const std::vector<InputElement>& elements);

// The elements a login form is made of, in their order: type "text" or "password" (in any letter
// case) with a non-empty name.
std::vector<InputElement> LoginFields(const std::vector<InputElement>& elements);

// The window, `window` itself or one below it (breadth first, a few levels), that carries the
// address property; 0 when none does.
unsigned long FindBrowserServerWindow(XDisplay* display, unsigned long window);

// Reads the address property of `window` into `address`. 0: an address of this user's runtime
// folder; 1: the window is marked, but with something that is no such address; 2: it is not
// marked (or is gone).
int GetDocumentFromWindow(XDisplay* display, unsigned long window, std::string& address);

// How long one question may take, connection to last byte.
std::chrono::milliseconds QuestionTimeout();
void SetQuestionTimeout(std::chrono::milliseconds timeout);

// Asks the socket at `address` for the input elements of the document shown in `window`.
// Throws DocumentError when the peer is not this user's, does not answer in time, or answers
// with anything but a well-formed reply.
std::vector<InputElement> AskInputElements(const std::string& address, uint32_t window);

// The whole road for a view window of the main process's display: the login fields of its
// document. Throws DocumentError when the document cannot be had.
std::vector<InputElement> ReadLoginFields(XDisplay* display, unsigned long view_window);

}  // namespace kivo::document
