#include "session/last_session.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace kivo {

namespace {

constexpr std::string_view kHeader = "gameKivo last session 1";
constexpr size_t kFieldCount = 5;

bool ValidUtf8(std::string_view text) {
    return Utf16ToUtf8(Utf8ToUtf16(text)) == text;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

// A field on one line: "\" doubled, tab, line feed and carriage return written as \t, \n, \r.
std::string Escape(std::string_view field) {
    std::string out;
    for (char c : field) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// The fields of one line; false when an escape is not one Escape writes.
bool SplitLine(std::string_view line, std::vector<std::string>& fields) {
    fields.assign(1, "");
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c != '\\') {
            fields.back() += c;
        } else if (++i < line.size()) {
            switch (line[i]) {
                case '\\':
                    fields.back() += '\\';
                    break;
                case 't':
                    fields.back() += '\t';
                    break;
                case 'n':
                    fields.back() += '\n';
                    break;
                case 'r':
                    fields.back() += '\r';
                    break;
                default:
                    return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

// Why an entry cannot be taken; empty when it can.
std::string EntryProblem(const std::vector<std::string>& fields) {
    if (fields.size() != kFieldCount)
        return "it is damaged";
    for (size_t i = 1; i < fields.size(); ++i) {
        if (fields[i].size() > kMaxSessionFieldBytes || !ValidUtf8(fields[i]))
            return "it is damaged";
    }
    if (!RestorableUrl(fields[0]))
        return "its address cannot be reopened";
    return "";
}

}  // namespace

bool RestorableUrl(std::string_view url) {
    if (url.empty() || url.size() > kMaxSessionUrlBytes || !ValidUtf8(url))
        return false;
    for (unsigned char c : url) {
        if (c <= 0x20 || c == 0x7F)
            return false;
    }
    for (std::string_view scheme : {"http://", "https://", "kivo://"}) {
        if (StartsWithIgnoringCase(url, scheme) && url.size() > scheme.size())
            return true;
    }
    return false;
}

std::string FormatSessionFile(const std::vector<SessionTab>& tabs) {
    std::string text(kHeader);
    text += '\n';
    for (const SessionTab& tab : tabs) {
        for (const std::string* field :
             {&tab.Url, &tab.GameUrlID, &tab.UserId, &tab.UserName, &tab.Caption}) {
            if (field != &tab.Url)
                text += '\t';
            text += Escape(*field);
        }
        text += '\n';
    }
    return text;
}

std::vector<SessionTab> ParseSessionFile(std::string_view text, std::ostream& warnings) {
    std::vector<SessionTab> tabs;
    const size_t header_end = text.find('\n');
    if (text.substr(0, header_end) != kHeader) {
        warnings << "gameKivo: the list of the last session's tabs is damaged; it is ignored\n";
        return tabs;
    }
    size_t line_number = 1;
    std::vector<std::string> fields;
    for (size_t at = header_end + 1; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++line_number;
        if (line.empty())
            continue;
        if (tabs.size() == kMaxSessionTabs) {
            warnings << "gameKivo: the last session lists more than " << kMaxSessionTabs
                     << " tabs; the rest are left out\n";
            break;
        }
        const std::string problem =
            SplitLine(line, fields) ? EntryProblem(fields) : std::string("it is damaged");
        if (!problem.empty()) {
            warnings << "gameKivo: tab " << line_number - 1
                     << " of the last session is left out: " << problem << '\n';
            continue;
        }
        tabs.push_back({fields[0], fields[1], fields[2], fields[3], fields[4]});
    }
    return tabs;
}

std::string LastSessionPath() {
    return ProfileFolder() + "LastSession";
}

std::vector<SessionTab> ReadLastSession(const std::string& path, std::ostream& warnings) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return {};  // no list yet
    if (!S_ISREG(info.st_mode) || info.st_size > static_cast<off_t>(kMaxSessionFileBytes)) {
        warnings << "gameKivo: the list of the last session's tabs is not a plain file of at most "
                 << kMaxSessionFileBytes << " bytes; it is ignored\n";
        return {};
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (!in || !(text << in.rdbuf())) {
        if (info.st_size == 0)
            return {};
        warnings << "gameKivo: the list of the last session's tabs cannot be read; it is ignored\n";
        return {};
    }
    return ParseSessionFile(text.str(), warnings);
}

void WriteLastSession(const std::string& path, const std::vector<SessionTab>& tabs) {
    WriteFileAtomically(path, FormatSessionFile(tabs));
}

}  // namespace kivo
