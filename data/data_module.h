// The data module: owner of the program's one database connection. It is created before the
// main window; when the file cannot be opened, or is not an intact database with the tables and
// columns the statements use (see schema_check.h), start-up goes on, the failure is reported
// once through the handler given at construction, and the connection is left closed. Every later
// action opens it again; with a missing file that fails until the file is there.
#pragma once

#include <functional>
#include <string>

#include "data/database.h"

namespace kivo::data {

class TData {
  public:
    static constexpr const char* kDatabaseName = "MultOpenApp.dat";
    static constexpr const char* kOpenFailedText = "初始化本地数据失败！";
    static constexpr const char* kOpenFailedTitle = "提示";

    // Shows the failure to the user (an error message box with no owner window).
    using OpenFailureHandler =
        std::function<void(const std::string& text, const std::string& title)>;

    // Opens the connection at once (DataModuleCreate). The name is looked up from the working
    // directory unless it holds a folder.
    explicit TData(std::string database_name = kDatabaseName,
                   OpenFailureHandler on_open_failure = {});
    TData(const TData&) = delete;
    TData& operator=(const TData&) = delete;

    // True when the opening at construction failed; OpenError() then holds SQLite's message.
    bool OpenFailed() const { return open_failed_; }
    const std::string& OpenError() const { return open_error_; }

    TDISQLite3Database FDatabase;

  private:
    void DataModuleCreate(const OpenFailureHandler& on_open_failure);

    bool open_failed_ = false;
    std::string open_error_;
};

}  // namespace kivo::data
