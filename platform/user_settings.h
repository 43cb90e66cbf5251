#pragma once
// The per-user settings store: keys holding named text values, kept in one file under the
// user's configuration folder. Key and value names compare ignoring ASCII letter case. Every
// change rewrites the file through a temporary file and a rename, so the file is never left
// half-written; lines this code does not understand are kept as they are.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kivo {

class UserSettings {
public:
    // The default value of a key has the empty name.
    static constexpr std::string_view kDefaultValue = "";

    // The store of the current user ($XDG_CONFIG_HOME/gameKivo/settings).
    UserSettings();
    explicit UserSettings(std::string file);

    const std::string& File() const { return file_; }

    std::optional<std::string> Read(std::string_view key, std::string_view name) const;
    void Write(std::string_view key, std::string_view name, std::string_view value);
    // Sets several values of one key with a single rewrite of the file.
    void WriteValues(std::string_view key,
                     const std::vector<std::pair<std::string, std::string>>& values);
    // Removes one value; nothing when it is not there.
    void DeleteValue(std::string_view key, std::string_view name);
    // Removes the key, its values and every key below it.
    void DeleteKey(std::string_view key);

private:
    struct Line {
        std::string name;  // empty for a line kept verbatim
        std::string value;
        std::string raw;
        bool is_value = false;
    };
    struct Section {
        std::string key;
        std::vector<Line> lines;
    };

    std::vector<Section> Load() const;
    void Save(const std::vector<Section>& sections) const;
    // Serialises read-modify-write cycles of several processes.
    class WriteLock;

    std::string file_;
};

}  // namespace kivo
