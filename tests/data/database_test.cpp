#include "data/database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>
#include <vector>

#include "tests/data/test_database.h"

namespace kivo::data {
namespace {

using testing::CreateDatabase;
using testing::SchemaScript;
using testing::TempFolder;
using namespace std::chrono_literals;

class DatabaseTest : public ::testing::Test {
  protected:
    DatabaseTest() : file_(folder_.Path() / "MultOpenApp.dat") {
        CreateDatabase(file_, SchemaScript());
        db_.SetDatabaseName(file_.string());
    }

    std::string TypeOf(const std::string& expression) {
        auto st = db_.Prepare16("select typeof(" + expression + ")");
        EXPECT_EQ(st.Step(), TDISQLite3Statement::kRow);
        return st.Column_Str(0);
    }

    TempFolder folder_;
    std::filesystem::path file_;
    TDISQLite3Database db_;
};

TEST_F(DatabaseTest, MissingFileIsAnErrorAndIsNeverCreated) {
    const auto missing = folder_.Path() / "absent.dat";
    TDISQLite3Database db(missing.string());
    EXPECT_THROW(db.Open(), TDISQLite3Error);
    EXPECT_FALSE(db.Connected());
    // Every later action tries to open again and fails the same way.
    EXPECT_THROW(db.Prepare16("select 1"), TDISQLite3Error);
    EXPECT_THROW(db.Execute("select 1"), TDISQLite3Error);
    EXPECT_THROW(db.StartTransaction(), TDISQLite3Error);
    EXPECT_FALSE(db.InTransaction());
    EXPECT_FALSE(std::filesystem::exists(missing));

    std::filesystem::copy_file(file_, missing);
    auto st = db.Prepare16("select BASEVALUE from t_base");
    EXPECT_TRUE(db.Connected());
    ASSERT_EQ(st.Step(), TDISQLite3Statement::kRow);
    EXPECT_EQ(st.Column_Str(0), "-1");
}

TEST_F(DatabaseTest, TextsBindAndReadAsUtf8OrUtf16) {
    db_.Execute("create temp table t (a, b, c)");
    {
        auto st = db_.Prepare16("insert into t values (?, ?, ?)");
        st.Bind_Str(1, "");
        st.Bind_Str16(2, u"账号é");
        st.Bind_Int(3, -2147483647 - 1);
        EXPECT_EQ(st.Step(), TDISQLite3Statement::kDone);
    }
    db_.Execute("insert into t values (NULL, '', 7)");
    EXPECT_EQ(TypeOf("(select a from t where c < 0)"), "text");

    auto st = db_.Prepare16("select a, b, c from t order by c");
    // Before the first step there is no row: columns read empty.
    EXPECT_EQ(st.Column_Str(1), "");
    ASSERT_EQ(st.Step(), TDISQLite3Statement::kRow);
    EXPECT_EQ(st.Column_Str(0), "");
    EXPECT_EQ(st.Column_Str(1), "账号é");
    EXPECT_EQ(st.Column_Str16(1), u"账号é");
    EXPECT_EQ(st.Column_Str(2), "-2147483648");
    EXPECT_EQ(st.Column_Str(3), "");  // past the last column
    EXPECT_EQ(st.Column_Str(-1), "");
    ASSERT_EQ(st.Step(), TDISQLite3Statement::kRow);
    EXPECT_EQ(st.Column_Str(0), "");  // NULL
    EXPECT_EQ(st.Column_Str16(0), u"");
    EXPECT_EQ(st.Step(), TDISQLite3Statement::kDone);
    EXPECT_EQ(st.Column_Str(2), "");  // after the last row
}

TEST_F(DatabaseTest, FailuresCarrySqliteMessages) {
    try {
        db_.Prepare16("selec 1");
        FAIL() << "no error";
    } catch (const TDISQLite3Error& e) {
        EXPECT_STREQ(e.what(), "near \"selec\": syntax error");
    }
    try {
        db_.Prepare16("select * from t_nothing");
        FAIL() << "no error";
    } catch (const TDISQLite3Error& e) {
        EXPECT_STREQ(e.what(), "no such table: t_nothing");
    }
    auto st = db_.Prepare16("select ?");
    EXPECT_THROW(st.Bind_Str(2, "x"), TDISQLite3Error);

    db_.Execute("insert into t_base values ('X', '1')");
    auto dup = db_.Prepare16("insert into t_base values ('X', '2')");
    try {
        dup.Step();
        FAIL() << "no error";
    } catch (const TDISQLite3Error& e) {
        EXPECT_STREQ(e.what(), "UNIQUE constraint failed: t_base.basename");
    }
    EXPECT_THROW(db_.Execute("insert into t_base values ('X', '3')"), TDISQLite3Error);
}

TEST_F(DatabaseTest, StatementsAreFinalizedAlsoWhenTheyFail) {
    db_.Execute("insert into t_base values ('X', '1')");
    try {
        auto st = db_.Prepare16("insert into t_base values ('X', '2')");
        st.Step();
    } catch (const TDISQLite3Error&) {
    }
    try {
        auto st = db_.Prepare16("select ?");
        st.Bind_Int(5, 1);
    } catch (const TDISQLite3Error&) {
    }
    { auto st = db_.Prepare16("select 1"); }
    EXPECT_EQ(sqlite3_next_stmt(db_.Handle(), nullptr), nullptr);
}

TEST_F(DatabaseTest, BlankTextPreparesToAStatementThatIsDone) {
    auto st = db_.Prepare16("  -- nothing");
    EXPECT_EQ(st.Step(), TDISQLite3Statement::kDone);
    EXPECT_EQ(st.Column_Str(0), "");
}

// Another connection holds an exclusive lock for the given time, and in any case until
// Release() when one is asked for, so that a slow machine cannot turn a failing case into a
// passing one.
class LockHolder {
  public:
    LockHolder(const std::filesystem::path& file, std::chrono::milliseconds hold,
               bool until_released = false) {
        sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
        EXPECT_EQ(sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        if (!until_released)
            released_.set_value();
        done_ = std::async(std::launch::async, [this, hold, gate = released_.get_future()] {
            std::this_thread::sleep_for(hold);
            gate.wait();
            sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        });
    }
    void Release() { released_.set_value(); }
    ~LockHolder() {
        done_.wait();
        sqlite3_close(db_);
    }

  private:
    sqlite3* db_ = nullptr;
    std::promise<void> released_;
    std::future<void> done_;
};

TEST_F(DatabaseTest, PrepareRetriesABusyDatabaseToo) {
    db_.Open();  // the schema is first read by the prepare below
    LockHolder lock(file_, 30ms);
    EXPECT_NO_THROW(db_.Prepare16("select count(*) from t_gamelist"));
}

TEST_F(DatabaseTest, StepRetriesABusyDatabaseForAbout70Ms) {
    db_.Prepare16("select 1");  // reads the schema before the lock is taken
    {
        LockHolder lock(file_, 30ms);
        auto st = db_.Prepare16("select count(*) from t_gamelist");
        EXPECT_EQ(st.Step(), TDISQLite3Statement::kRow);
    }
    {
        LockHolder lock(file_, 80ms, true);
        auto st = db_.Prepare16("insert into t_history (ID) values ('{x}')");
        const auto start = std::chrono::steady_clock::now();
        try {
            st.Step();
            ADD_FAILURE() << "the step did not meet the lock";
        } catch (const TDISQLite3Error& e) {
            EXPECT_STREQ(e.what(), "database is locked");
            EXPECT_EQ(e.Code() & 0xFF, SQLITE_BUSY);
        }
        EXPECT_GE(std::chrono::steady_clock::now() - start, 70ms);  // seven pauses of 10 ms
        lock.Release();
    }
}

class TransactionTest : public DatabaseTest {
  protected:
    TransactionTest() {
        db_.Open();
        sqlite3_trace_v2(db_.Handle(), SQLITE_TRACE_STMT, &TransactionTest::Trace, &sql_);
    }
    static int Trace(unsigned, void* context, void*, void* text) {
        static_cast<std::vector<std::string>*>(context)->push_back(static_cast<const char*>(text));
        return 0;
    }
    int Games() {
        auto st = db_.Prepare16("select count(*) from t_gamelist");
        st.Step();
        return std::stoi(st.Column_Str(0));
    }
    std::vector<std::string> sql_;
};

TEST_F(TransactionTest, NestedStartsShareOneTransaction) {
    db_.StartTransaction();
    db_.StartTransaction();
    EXPECT_EQ(sql_, (std::vector<std::string>{"BEGIN DEFERRED TRANSACTION;"}));
    EXPECT_EQ(db_.TransactionCount(), 2);
    db_.Execute("insert into t_gamelist (ID) values ('a')");
    sql_.clear();
    db_.Commit();
    EXPECT_TRUE(sql_.empty());
    EXPECT_TRUE(db_.InTransaction());
    db_.Commit();
    EXPECT_EQ(sql_, (std::vector<std::string>{"COMMIT TRANSACTION;"}));
    EXPECT_FALSE(db_.InTransaction());
    EXPECT_EQ(Games(), 1);

    sql_.clear();
    db_.Commit();
    db_.Rollback();
    EXPECT_TRUE(sql_.empty());
    EXPECT_EQ(db_.TransactionCount(), 0);

    db_.StartTransaction(TransactionKind::Immediate);
    EXPECT_EQ(sql_.back(), "BEGIN IMMEDIATE TRANSACTION;");
    db_.Rollback();
}

TEST_F(TransactionTest, RollbackUndoesAndAFailedBeginLeavesTheCounter) {
    db_.StartTransaction();
    db_.Execute("insert into t_gamelist (ID) values ('a')");
    db_.Rollback();
    EXPECT_EQ(sql_.back(), "ROLLBACK TRANSACTION;");
    EXPECT_EQ(Games(), 0);

    db_.Execute("BEGIN");
    EXPECT_THROW(db_.StartTransaction(), TDISQLite3Error);
    EXPECT_EQ(db_.TransactionCount(), 0);
    db_.Execute("ROLLBACK");
}

TEST_F(TransactionTest, RollbackAfterSqliteEndedTheTransactionItselfClearsTheCounter) {
    // The save pattern rolls back while InTransaction is true; a transaction that SQLite has
    // already abandoned must not keep the counter up for ever.
    db_.StartTransaction();
    db_.Execute("ROLLBACK");
    EXPECT_THROW(db_.Commit(), TDISQLite3Error);
    EXPECT_EQ(db_.TransactionCount(), 1);
    EXPECT_NO_THROW(db_.Rollback());
    EXPECT_FALSE(db_.InTransaction());
    db_.StartTransaction();
    EXPECT_EQ(sql_.back(), "BEGIN DEFERRED TRANSACTION;");
    db_.Commit();
}

}  // namespace
}  // namespace kivo::data
