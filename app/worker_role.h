#pragma once
#include <string>
#include <vector>

namespace kivo {

// The worker: serves one web-control object for the main process until it is released.
int RunWorkerRole(int argc, char** argv, const std::vector<std::string>& arguments);

}  // namespace kivo
