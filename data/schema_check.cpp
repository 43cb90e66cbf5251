#include "data/schema_check.h"

#include <sqlite3.h>

#include <string>
#include <vector>

namespace kivo::data {
namespace {

struct Relation {
    const char* type;  // "table" or "view"
    const char* name;
    bool ordered;  // read with "Select *": the columns come first, in this order
    std::vector<std::string> columns;
};

const std::vector<Relation>& Required() {
    static const std::vector<Relation> relations = {
        {"table", "t_gamelist", true, {"ID", "GAMENAME", "GAMEHINT", "GAMETYPE"}},
        {"table", "t_gameurllist", true, {"ID", "GAMEID", "URLNAME", "URLHINT", "URLVALUE"}},
        {"table", "t_usermanage", false, {"ID", "URLID", "USERNAME", "CACHEPATH", "PASSWORD"}},
        {"table", "t_userinfotable", false, {"ID", "GAMEURLID", "ELENAME", "ELEVALUE"}},
        {"table", "t_history", false, {"ID", "value", "gameurlid", "opentime"}},
        {"table", "t_base", false, {"basename", "BASEVALUE"}},
        {"view", "v_history", false, {"ID", "GAMEID", "VALUE", "URLHINT", "URLVALUE", "opentime"}},
    };
    return relations;
}

[[noreturn]] void Refuse(const std::string& what) {
    throw TDISQLite3Error("the database does not hold what the program needs: " + what,
                          SQLITE_CORRUPT);
}

void CheckIntact(TDISQLite3Database& database) {
    auto check = database.Prepare16("PRAGMA quick_check(1)");
    if (check.Step() != TDISQLite3Statement::kRow || check.Column_Str(0) != "ok")
        throw TDISQLite3Error("the database file is damaged: " + check.Column_Str(0),
                              SQLITE_CORRUPT);
}

void CheckRelation(TDISQLite3Database& database, const Relation& relation) {
    auto kind =
        database.Prepare16("SELECT type FROM main.sqlite_master WHERE name = ? COLLATE NOCASE");
    kind.Bind_Str(1, relation.name);
    if (kind.Step() != TDISQLite3Statement::kRow || kind.Column_Str(0) != relation.type)
        Refuse(std::string("no ") + relation.type + " " + relation.name);

    // Reading a view's columns also compiles the view, so a view over a missing table or
    // column fails here.
    auto info = database.Prepare16("SELECT name FROM pragma_table_info(?, 'main')");
    info.Bind_Str(1, relation.name);
    std::vector<std::string> present;
    while (info.Step() == TDISQLite3Statement::kRow) present.push_back(info.Column_Str(0));

    for (std::size_t i = 0; i < relation.columns.size(); ++i) {
        const std::string& wanted = relation.columns[i];
        bool found = false;
        for (std::size_t j = 0; j < present.size() && !found; ++j)
            found = sqlite3_stricmp(present[j].c_str(), wanted.c_str()) == 0 &&
                    (!relation.ordered || i == j);
        if (!found)
            Refuse(std::string(relation.name) + " has no column " + wanted +
                   (relation.ordered ? " in position " + std::to_string(i + 1) : ""));
    }
}

}  // namespace

void CheckDatabase(TDISQLite3Database& database) {
    CheckIntact(database);
    for (const Relation& relation : Required()) CheckRelation(database, relation);
}

}  // namespace kivo::data
