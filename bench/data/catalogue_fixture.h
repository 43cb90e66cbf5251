// A real database file holding 1000 web games with 10 addresses each, and the catalogue load
// run against the statements alone (every column of every row read as text).
#pragma once

#include <string>

#include "data/database.h"
#include "data/guid.h"
#include "data/statements.h"
#include "tests/data/test_database.h"

namespace kivo::bench {

class CatalogueFile {
  public:
    CatalogueFile() {
        using namespace kivo::data;
        const auto file = folder_.Path() / "MultOpenApp.dat";
        data::testing::CreateDatabase(file, data::testing::SchemaScript());

        db_.SetDatabaseName(file.string());
        db_.StartTransaction();
        for (int g = 0; g < 1000; ++g) {
            const std::string game = NewGuidString();
            auto st = db_.Prepare16(sql::kInsertGame);
            st.Bind_Str(1, "游戏 " + std::to_string(g));
            st.Bind_Str(2, "");
            st.Bind_Int(3, 1);
            st.Bind_Str(4, game);
            st.Step();
            for (int u = 0; u < 10; ++u) {
                auto url = db_.Prepare16(sql::kInsertGameUrl);
                url.Bind_Str(1, game);
                url.Bind_Str(2, std::to_string(u) + "服 server");
                url.Bind_Str(3, "");
                url.Bind_Str(4, "http://s" + std::to_string(u) +
                                    ".example.com/game?id=" + std::to_string(g));
                url.Bind_Str(5, NewGuidString());
                url.Step();
            }
        }
        db_.Commit();
    }
    ~CatalogueFile() { db_.Close(); }

    data::TDISQLite3Database& Db() { return db_; }

    // The statements alone; returns the number of texts read. The address statement is
    // compiled for every game, or once and run again for each game as the load does.
    std::size_t LoadStatements(bool compile_once = false) {
        using data::TDISQLite3Statement;
        std::size_t texts = 0;
        auto games = db_.Prepare16(data::sql::kSelectGames);
        auto urls = db_.Prepare16(data::sql::kSelectGameUrls);
        games.Bind_Int(1, 1);
        while (games.Step() == TDISQLite3Statement::kRow) {
            for (int c = 0; c < 5; ++c) texts += !games.Column_Str(c).empty();
            if (compile_once)
                urls.Reset();
            else
                urls = db_.Prepare16(data::sql::kSelectGameUrls);
            urls.Bind_Str(1, games.Column_Str(0));
            while (urls.Step() == TDISQLite3Statement::kRow) {
                for (int c = 0; c < 5; ++c) texts += !urls.Column_Str(c).empty();
            }
        }
        return texts;
    }

  private:
    data::testing::TempFolder folder_;
    data::TDISQLite3Database db_;
};

}  // namespace kivo::bench
