#pragma once
// The command line: the role of the process and the switches of the component server.
#include <string>
#include <vector>

namespace kivo {

inline constexpr const char* kWorkerRoleArgument = "-Embedding";

// The worker role is chosen by the first argument alone, compared exactly.
bool IsWorkerRole(const std::vector<std::string>& arguments);

struct ServerSwitches {
    bool RegServer = false;
    bool UnregServer = false;
    // "EMBEDDING" or "AUTOMATION": the process ends when its last served object is released.
    bool ActivationMode = false;
};

// Switches anywhere on the command line, introduced by "-" or "/", in any letter case.
ServerSwitches ParseServerSwitches(const std::vector<std::string>& arguments);

}  // namespace kivo
