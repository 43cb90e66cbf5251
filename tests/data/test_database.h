// A temporary folder holding a database file built from the shipped schema.
#pragma once

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace kivo::data::testing {

class TempFolder {
  public:
    TempFolder() {
        std::string templ = (std::filesystem::temp_directory_path() / "kivo-data-XXXXXX").string();
        if (!mkdtemp(templ.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = templ;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs a SQL script on a new file (created here, as the installer would).
inline void CreateDatabase(const std::filesystem::path& file, const std::string& script) {
    sqlite3* db = nullptr;
    int rc =
        sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    char* message = nullptr;
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, script.c_str(), nullptr, nullptr, &message);
    std::string error = message ? message : "";
    sqlite3_free(message);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        throw std::runtime_error("creating the test database: " + error);
}

inline std::string SchemaScript() {
    return ReadFile(KIVO_SCHEMA_FILE);
}

}  // namespace kivo::data::testing
