#pragma once
// The engine runs each page's process in a sandbox of its own (its own mount, process and
// network namespaces, made by bubblewrap), so that a page that breaks into the engine still
// sees neither the database nor other sessions nor the user's home. Where the machine cannot
// make such a sandbox the engine's page process would not start at all: the program finds
// that out first and then runs the pages without it, saying so once.
#include <string>

namespace kivo {

// The tool the engine makes its sandbox with.
inline constexpr const char* kSandboxTool = "/usr/bin/bwrap";

// What the user is told, once, when the pages run without their sandbox.
inline constexpr const char* kNoSandboxNotice = "无法启动网页沙箱，网页在没有沙箱的情况下运行";

// Whether `tool` can make a sandbox of the kind the engine asks for here: a trial run of a
// program inside new namespaces that succeeds. Its complaints go nowhere.
bool SandboxStarts(const std::string& tool);

// Whether this process's pages get the sandbox: tried once per process.
bool PageSandboxAvailable();

// Whether the engine's sandbox can reach the D-Bus bus at `address` (a D-Bus address, empty for
// none): its proxy binds the folder of a socket path, and a bus whose folder has gone (left
// behind by an accessibility bus of an earlier session) makes the engine end the process.
bool BusFolderExists(const std::string& address);

}  // namespace kivo
