#pragma once
#include <string>
#include <vector>

namespace kivo {

// The browser the user sees: one per user, with the main window.
int RunMainRole(int argc, char** argv, const std::vector<std::string>& arguments);

}  // namespace kivo
