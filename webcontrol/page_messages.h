#pragma once
// What the worker and the extension in its page processes say to each other.

namespace kivo::page {

// The folder next to the executable that holds the extension; the engine loads every module in it.
inline constexpr const char* kExtensionFolder = "page-extension";

// The program's own script world: pages cannot see or change what runs there.
inline constexpr const char* kScriptWorld = "kivo";

// Runs a function body in the script world of the main frame's document. Parameters: the body
// and its arguments, each a name and a text value. The answer is kScriptDone with (has value,
// value as text) or kScriptFailed with the error's text.
inline constexpr const char* kRunScript = "kivo-run-script";
inline constexpr const char* kScriptSignature = "(sa{ss})";
inline constexpr const char* kScriptDone = "kivo-script-done";
inline constexpr const char* kScriptFailed = "kivo-script-failed";

}  // namespace kivo::page
