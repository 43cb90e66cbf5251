#include "app/server_switches.h"

#include "platform/text.h"

namespace kivo {

namespace {

bool HasSwitch(const std::vector<std::string>& arguments, std::string_view name) {
    for (const std::string& argument : arguments) {
        if (argument.size() == name.size() + 1 && (argument[0] == '-' || argument[0] == '/') &&
            EqualsIgnoringAsciiCase(std::string_view(argument).substr(1), name))
            return true;
    }
    return false;
}

}  // namespace

bool IsWorkerRole(const std::vector<std::string>& arguments) {
    return !arguments.empty() && arguments.front() == kWorkerRoleArgument;
}

ServerSwitches ParseServerSwitches(const std::vector<std::string>& arguments) {
    ServerSwitches switches;
    switches.RegServer = HasSwitch(arguments, "REGSERVER");
    switches.UnregServer = HasSwitch(arguments, "UNREGSERVER");
    switches.ActivationMode =
        HasSwitch(arguments, "EMBEDDING") || HasSwitch(arguments, "AUTOMATION");
    return switches;
}

}  // namespace kivo
