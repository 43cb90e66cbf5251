#include "data/catalogue/catalogue_edit.h"

#include <initializer_list>

#include "data/database.h"
#include "data/guid.h"
#include "data/statements.h"
#include "data/catalogue/catalogue_node.h"

namespace kivo::catalogue {

using data::TDISQLite3Database;
using data::TDISQLite3Statement;

std::string_view TrimControls(std::string_view text) {
    auto control = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!text.empty() && control(text.front())) text.remove_prefix(1);
    while (!text.empty() && control(text.back())) text.remove_suffix(1);
    return text;
}

std::vector<GameChoice> SelectGameNames(TDISQLite3Database& db, int category) {
    std::vector<GameChoice> games;
    auto st = db.Prepare16(data::sql::kSelectGameNames);
    st.Bind_Int(1, category);
    while (st.Step() == TDISQLite3Statement::kRow)
        games.push_back({st.Column_Str(0), st.Column_Str(1)});
    return games;
}

int IndexOfGame(const std::vector<GameChoice>& games, const std::string& id) {
    for (std::size_t i = 0; i < games.size(); ++i) {
        if (games[i].id == id)
            return static_cast<int>(i);
    }
    return -1;
}

std::string InsertGame(TDISQLite3Database& db, const std::string& name, int category) {
    auto st = db.Prepare16(data::sql::kInsertGame);
    const std::string id = data::NewGuidString();
    st.Bind_Str(1, name);
    st.Bind_Str(2, "");
    st.Bind_Int(3, category);
    st.Bind_Str(4, id);
    st.Step();
    return id;
}

std::string InsertGameUrl(TDISQLite3Database& db, const std::string& game_id,
                          const std::string& description, const std::string& address) {
    auto st = db.Prepare16(data::sql::kInsertGameUrl);
    const std::string id = data::NewGuidString();
    st.Bind_Str(1, game_id);
    st.Bind_Str(2, description);
    st.Bind_Str(3, "");
    st.Bind_Str(4, address);
    st.Bind_Str(5, id);
    st.Step();
    return id;
}

void UpdateGameUrl(TDISQLite3Database& db, const std::string& url_id,
                   const std::string& description, const std::string& address) {
    auto st = db.Prepare16(data::sql::kUpdateGameUrl);
    st.Bind_Str(1, address);
    st.Bind_Str(2, description);
    st.Bind_Str(3, url_id);
    st.Step();
}

void RenameGame(TDISQLite3Database& db, const std::string& game_id, const std::string& name) {
    auto st = db.Prepare16(data::sql::kRenameGame);
    st.Bind_Str(1, name);
    st.Bind_Str(2, game_id);
    st.Step();
}

void EditAddressNode(TDISQLite3Database& db, CatalogueNode& node, const std::string& description,
                     const std::string& address) {
    try {
        UpdateGameUrl(db, node.ID, description, address);
    } catch (...) {
        node.Name = description;
        node.Value = address;
        throw;
    }
    node.Name = description;
    node.Value = address;
}

void RenameGameNode(TDISQLite3Database& db, CatalogueNode& node, const std::string& name) {
    RenameGame(db, node.ID, name);
    node.Name = name;
}

namespace {

// Start, run each statement with the ID, commit; then in every case roll back (nothing after a
// commit) and remove the node.
void RemoveInTransaction(TDISQLite3Database& db, const std::string& id,
                         std::initializer_list<const char*> statements,
                         const std::function<void()>& remove_node) {
    auto clean_up = [&] {
        try {
            db.Rollback();
        } catch (...) {
            remove_node();
            throw;
        }
        remove_node();
    };
    try {
        db.StartTransaction();
        for (const char* sql : statements) {
            auto st = db.Prepare16(sql);
            st.Bind_Str(1, id);
            st.Step();
        }
        db.Commit();
    } catch (...) {
        clean_up();
        throw;
    }
    clean_up();
}

}  // namespace

void DeleteGameUrl(TDISQLite3Database& db, const std::string& url_id,
                   const std::function<void()>& remove_node) {
    RemoveInTransaction(db, url_id, {data::sql::kDeleteGameUrl, data::sql::kDeleteUsersOfUrl},
                        remove_node);
}

void DeleteGame(TDISQLite3Database& db, const std::string& game_id,
                const std::function<void()>& remove_node) {
    RemoveInTransaction(db, game_id, {data::sql::kDeleteUrlsOfGame, data::sql::kDeleteGame},
                        remove_node);
}

}  // namespace kivo::catalogue
