#pragma once
// The upgrade run of the main window's start-up.
#include <functional>
#include <string>
#include <vector>

namespace kivo {

inline constexpr const char* kUpgradeProgram = "UpgradeClient";
inline constexpr const char* kMissingFilesMessage = "缺少文件，请重新安装Kivo游戏盒！";

// Starts the program and waits without a time limit until it ends; returns its exit code. When
// it cannot start, `report` gets the reason and the result is -1.
int RunAndWait(const std::vector<std::string>& arguments,
               const std::function<void(const std::string&)>& report);

// Runs the upgrade program of `app_path` with the version and waits for it. False when the
// program is missing: the caller then ends the process.
bool actAppUpgradeExecute(const std::string& app_path,
                          const std::function<void(const std::string&)>& report);

}  // namespace kivo
