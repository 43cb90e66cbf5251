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

// Reads something of the main frame's document straight from the engine, without a script (a page
// with no script of its own then never starts the page process's script engine). Parameter: one of
// the query names below. The answer is as for kRunScript: kScriptDone with the value as text, or
// kScriptFailed with the error's text, the same texts the equivalent scripts give through it.
inline constexpr const char* kQueryDocument = "kivo-query-document";
inline constexpr const char* kQuerySignature = "(s)";
inline constexpr const char* kQueryUrl = "url";              // document.URL
inline constexpr const char* kQueryTitle = "title";          // document.title
inline constexpr const char* kQueryBodySize = "body-size";  // "scrollWidth,scrollHeight" of the body

// From the extension to the view, unasked: a frame inside the page (at any depth) has loaded its
// document. Parameter: that document's address.
inline constexpr const char* kFrameComplete = "kivo-frame-complete";
inline constexpr const char* kFrameSignature = "(s)";

}  // namespace kivo::page
