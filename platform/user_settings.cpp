#include "platform/user_settings.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/unique_fd.h"

namespace kivo {

namespace {

constexpr std::string_view kDefaultName = "@";

std::string EscapeValue(std::string_view value) {
    std::string out;
    for (char c : value) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\0': out += "\\0"; break;
            default: out += c;
        }
    }
    return out;
}

std::string UnescapeValue(std::string_view value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[++i]) {
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case '0': out += '\0'; break;
            default: out += value[i];
        }
    }
    return out;
}

void CheckName(std::string_view what, std::string_view text) {
    for (char c : text) {
        if (c == '\n' || c == '\r' || c == '\0' || (what == "value name" && c == '='))
            throw std::invalid_argument("a settings " + std::string(what) + " cannot hold '" +
                                        std::string(text) + "'");
    }
    if (what == "key" && (text.empty() || text.back() == ']'))
        throw std::invalid_argument("invalid settings key '" + std::string(text) + "'");
}

std::string StoredName(std::string_view name) {
    return name.empty() ? std::string(kDefaultName) : std::string(name);
}

bool IsBelow(std::string_view key, std::string_view parent) {
    return key.size() > parent.size() && key[parent.size()] == '\\' &&
           EqualsIgnoringAsciiCase(key.substr(0, parent.size()), parent);
}

}  // namespace

class UserSettings::WriteLock {
public:
    explicit WriteLock(const std::string& file) {
        MakeFolders(std::filesystem::path(file).parent_path().string());
        fd_.Reset(::open((file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (!fd_.Valid())
            throw std::runtime_error("cannot lock " + file + ": " + std::strerror(errno));
        while (flock(fd_.Get(), LOCK_EX) != 0 && errno == EINTR) {
        }
    }

private:
    UniqueFd fd_;
};

UserSettings::UserSettings() : UserSettings(ConfigFolder() + "settings") {}

UserSettings::UserSettings(std::string file) : file_(std::move(file)) {}

std::vector<UserSettings::Section> UserSettings::Load() const {
    std::vector<Section> sections;
    std::ifstream in(file_, std::ios::binary);
    if (!in) return sections;
    sections.push_back(Section{});  // lines before the first key
    std::string raw;
    while (std::getline(in, raw)) {
        if (raw.size() >= 2 && raw.front() == '[' && raw.back() == ']') {
            sections.push_back(Section{raw.substr(1, raw.size() - 2), {}});
            continue;
        }
        Line line;
        line.raw = raw;
        const auto eq = raw.find('=');
        if (!sections.back().key.empty() && eq != std::string::npos && eq > 0) {
            line.name = raw.substr(0, eq);
            line.value = UnescapeValue(std::string_view(raw).substr(eq + 1));
            line.is_value = true;
        }
        sections.back().lines.push_back(std::move(line));
    }
    return sections;
}

void UserSettings::Save(const std::vector<Section>& sections) const {
    std::ostringstream text;
    for (const Section& section : sections) {
        if (!section.key.empty()) text << '[' << section.key << "]\n";
        for (const Line& line : section.lines) {
            if (line.is_value)
                text << line.name << '=' << EscapeValue(line.value) << '\n';
            else
                text << line.raw << '\n';
        }
    }
    WriteFileAtomically(file_, text.str());
}

std::optional<std::string> UserSettings::Read(std::string_view key, std::string_view name) const {
    const std::string stored = StoredName(name);
    for (const Section& section : Load()) {
        if (section.key.empty() || !EqualsIgnoringAsciiCase(section.key, key)) continue;
        for (const Line& line : section.lines) {
            if (line.is_value && EqualsIgnoringAsciiCase(line.name, stored)) return line.value;
        }
    }
    return std::nullopt;
}

void UserSettings::Write(std::string_view key, std::string_view name, std::string_view value) {
    WriteValues(key, {{std::string(name), std::string(value)}});
}

void UserSettings::WriteValues(std::string_view key,
                               const std::vector<std::pair<std::string, std::string>>& values) {
    CheckName("key", key);
    for (const auto& [name, value] : values) CheckName("value name", name);
    WriteLock lock(file_);
    auto sections = Load();
    Section* target = nullptr;
    for (Section& section : sections) {
        if (!section.key.empty() && EqualsIgnoringAsciiCase(section.key, key)) {
            target = &section;
            break;
        }
    }
    if (!target) {
        sections.push_back(Section{std::string(key), {}});
        target = &sections.back();
    }
    for (const auto& [name, value] : values) {
        const std::string stored = StoredName(name);
        auto line = std::find_if(target->lines.begin(), target->lines.end(), [&](const Line& l) {
            return l.is_value && EqualsIgnoringAsciiCase(l.name, stored);
        });
        if (line == target->lines.end()) {
            target->lines.push_back(Line{stored, value, {}, true});
        } else {
            line->value = value;
        }
    }
    Save(sections);
}

void UserSettings::DeleteValue(std::string_view key, std::string_view name) {
    WriteLock lock(file_);
    auto sections = Load();
    const std::string stored = StoredName(name);
    bool changed = false;
    for (Section& section : sections) {
        if (section.key.empty() || !EqualsIgnoringAsciiCase(section.key, key)) continue;
        std::erase_if(section.lines, [&](const Line& line) {
            const bool hit = line.is_value && EqualsIgnoringAsciiCase(line.name, stored);
            changed |= hit;
            return hit;
        });
    }
    if (changed) Save(sections);
}

void UserSettings::DeleteKey(std::string_view key) {
    WriteLock lock(file_);
    auto sections = Load();
    const auto removed = std::erase_if(sections, [&](const Section& section) {
        return !section.key.empty() &&
               (EqualsIgnoringAsciiCase(section.key, key) || IsBelow(section.key, key));
    });
    if (removed > 0) Save(sections);
}

}  // namespace kivo
