#pragma once
// The module of the main role, next to the executable in the program folder.
namespace kivo {

inline constexpr const char* kMainModuleName = "gameKivo-main.so";
inline constexpr const char* kMainModuleEntry = "kivo_RunMainRole";
using MainModuleEntry = int (*)(int argc, char** argv);

}  // namespace kivo
