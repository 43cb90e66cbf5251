#pragma once
// The fixed identity of the main window and of the single main process.

namespace kivo {

// The main window's X class and caption: workers find the window they serve by these two.
inline constexpr const char* kMainWindowClass = "TFrmMultOpenApp";
inline constexpr const char* kMainWindowCaption = "Kivo网页游戏专用浏览器";
inline constexpr const char* kApplicationTitle = "Kivo游戏盒-网页游戏专用多开浏览器";

// The per-user lock held by the one main process.
inline constexpr const char* kInstanceMutexName = "3F6A9C2E-71B4-4D08-A5E3-9C2B7D41F860";
inline constexpr const char* kSecondInstanceMessage =
    "程序已经有一个启动实例（程序已经运行或正在关闭）";
inline constexpr const char* kSecondInstanceCaption = "错误";
// The lock's file cannot be made or locked (say, the runtime folder is not writable).
inline constexpr const char* kInstanceLockFailedMessage = "无法创建程序的单实例锁，程序不能启动：";

// Stale processes of this name are ended when the main process starts.
inline constexpr const char* kProcessSweepName = "gameKivo";

}  // namespace kivo
