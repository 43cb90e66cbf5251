#pragma once
// The real program, installed into a scratch home and started as a child process with the
// accessibility bridge on, next to a local web server of its own.
#include <stdlib.h>
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/process.h"
#include "tests/support/test_support.h"
#include "tests/support/test_web_server.h"

namespace kivo::e2e {

struct ProgramOptions {
    bool prepare_database = true;  // the installer's database file in the program folder
    bool start = true;             // start at once; else call Start() later
    bool promotion = false;        // the promotion window over the middle of the screen
    std::vector<std::pair<std::string, std::string>> env = {};  // extra environment
    // An installed program to run as it is: no program folder is prepared and nothing is
    // registered; the program does what an installed one does on a user's first start.
    std::string installed_executable = {};
};

class ProgramUnderTest {
  public:
    // Prepares the scratch home and, unless an installed program is given, the program folder
    // as an installation (executable under another file name, its module, UpgradeClient, page
    // extension, database) with the worker server registered; starts the web server and, unless
    // told otherwise, the program.
    explicit ProgramUnderTest(ProgramOptions options = {});
    // Ends the program's whole process group if it is still running.
    ~ProgramUnderTest();
    ProgramUnderTest(const ProgramUnderTest&) = delete;
    ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

    void Start();
    pid_t Pid() const { return pid_; }
    bool Running();
    // Waits for the program's end; its waitpid status, or nothing when it still runs.
    std::optional<int> WaitForEnd(std::chrono::milliseconds timeout);
    // The worker processes (the program's children still running).
    std::vector<pid_t> Workers() const;

    const std::string& Home() const { return home_.Path(); }
    const std::string& Folder() const { return folder_; }  // the program folder, no final "/"
    const std::string& Executable() const { return executable_; }
    // The database the program uses: in the program folder, or the user's own when installed.
    std::string DatabasePath() const;
    kivo::test::TestWebServer& Server() { return server_; }
    // What the program wrote to stdout and stderr so far, for failure messages.
    std::string Output() const;

  private:
    kivo::test::TempHome home_;
    kivo::test::TestWebServer server_;
    ProgramOptions options_;
    std::string folder_;
    std::string executable_;
    std::string output_path_;
    kivo::ChildProcess process_;
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// The promotion page moved to the test's own web server for the program started while this
// lives.
class PromotionSiteAt {
  public:
    explicit PromotionSiteAt(const std::string& site) {
        setenv("KIVO_PROMOTION_SITE", site.c_str(), 1);
    }
    ~PromotionSiteAt() { unsetenv("KIVO_PROMOTION_SITE"); }
};

}  // namespace kivo::e2e
