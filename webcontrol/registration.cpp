#include "webcontrol/registration.h"

#include "platform/process.h"
#include "webcontrol/type_library.h"

namespace gameKivo_TLB {

namespace {

std::string ClassKey() { return "Software\\Classes\\CLSID\\" + std::string(CLASS_WebControl); }
std::string LibraryKey() { return "Software\\Classes\\TypeLib\\" + std::string(LIBID_gameKivo); }
std::string InterfaceKey(std::string_view iid) {
    return "Software\\Classes\\Interface\\" + std::string(iid);
}

}  // namespace

void RegisterServer(kivo::UserSettings& settings, const std::string& server_executable) {
    const std::string version = std::to_string(MajorVersion) + "." + std::to_string(MinorVersion);
    settings.Write(LibraryKey() + "\\" + version, "", std::string(LibraryName));
    settings.Write(LibraryKey() + "\\" + version + "\\409", "", server_executable);
    settings.Write(InterfaceKey(IID_IWebControl), "", "IWebControl");
    settings.Write(InterfaceKey(IID_IWebControl) + "\\TypeLib", "", std::string(LIBID_gameKivo));
    settings.Write(InterfaceKey(DIID_IWebControlEvents), "", "IWebControlEvents");
    settings.Write(InterfaceKey(DIID_IWebControlEvents) + "\\TypeLib", "",
                   std::string(LIBID_gameKivo));
    settings.Write(ClassKey(), "", std::string(WebControlHelp));
    settings.Write(ClassKey() + "\\ProgID", "", "gameKivo.WebControl");
    settings.Write(ClassKey() + "\\TypeLib", "", std::string(LIBID_gameKivo));
    settings.Write(ClassKey() + "\\LocalServer32", "", server_executable);
}

void UnregisterServer(kivo::UserSettings& settings) {
    settings.DeleteKey(ClassKey());
    settings.DeleteKey(InterfaceKey(IID_IWebControl));
    settings.DeleteKey(InterfaceKey(DIID_IWebControlEvents));
    settings.DeleteKey(LibraryKey());
}

std::optional<std::string> RegisteredServer(const kivo::UserSettings& settings) {
    auto server = settings.Read(ClassKey() + "\\LocalServer32", "");
    // A program someone else could have put or changed there is never started.
    if (!server || !kivo::IsTrustedExecutable(*server)) return std::nullopt;
    return server;
}

}  // namespace gameKivo_TLB
