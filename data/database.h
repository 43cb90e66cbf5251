// The thin access layer over SQLite: one connection class and one statement class. Texts are
// UTF-8 unless a member says UTF-16; an empty text is always bound as an empty text value, and a
// NULL column reads as an empty text.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace kivo::data {

// An error of the access layer; the message is SQLite's own where it has one.
class TDISQLite3Error : public std::runtime_error {
  public:
    TDISQLite3Error(const std::string& message, int code)
        : std::runtime_error(message), code_(code) {}
    int Code() const { return code_; }

  private:
    int code_;
};

enum class TransactionKind { Deferred, Immediate, Exclusive };

class TDISQLite3Statement {
  public:
    static constexpr int kRow = 100;   // a row is ready
    static constexpr int kDone = 101;  // the statement has finished
    static constexpr int kMaxStepCalls = 8;

    TDISQLite3Statement(TDISQLite3Statement&&) noexcept = default;
    TDISQLite3Statement& operator=(TDISQLite3Statement&&) noexcept = default;
    ~TDISQLite3Statement() = default;  // finalizes

    // Parameters are numbered from 1.
    void Bind_Str(int index, const std::string& value);
    void Bind_Str16(int index, const std::u16string& value);
    void Bind_Int(int index, std::int32_t value);

    // Returns kRow or kDone. A busy or locked database is retried after 10 ms, with at most
    // kMaxStepCalls calls in all; any other failure throws with the connection's message.
    int Step();
    // Makes the statement ready to run again from its first row; the bound values stay until
    // they are bound anew.
    void Reset();

    // Result columns are numbered from 0. Outside a row, past the last column and for NULL
    // the text is empty.
    std::string Column_Str(int column) const;
    std::u16string Column_Str16(int column) const;
    int Column_Count() const;

  private:
    friend class TDISQLite3Database;
    struct Finalizer {
        void operator()(sqlite3_stmt* statement) const;
    };
    explicit TDISQLite3Statement(sqlite3_stmt* statement) : statement_(statement) {}
    bool HasColumn(int column) const;
    void CheckBind(int result) const;

    std::unique_ptr<sqlite3_stmt, Finalizer> statement_;
    bool on_row_ = false;
};

class TDISQLite3Database {
  public:
    explicit TDISQLite3Database(std::string database_name = {});
    TDISQLite3Database(const TDISQLite3Database&) = delete;
    TDISQLite3Database& operator=(const TDISQLite3Database&) = delete;
    ~TDISQLite3Database() = default;  // closes

    const std::string& DatabaseName() const { return database_name_; }
    void SetDatabaseName(std::string name) { database_name_ = std::move(name); }

    // Opens the named file for reading and writing; a missing file is an error, never a new
    // database. On failure the connection stays closed.
    void Open();
    void Close();
    bool Connected() const { return static_cast<bool>(db_); }

    // Compiles the first statement of the text, opening the connection first when it is closed.
    TDISQLite3Statement Prepare16(const std::string& sql);

    // Runs a complete text without parameters, opening the connection first when it is closed.
    void Execute(const std::string& sql);

    // Nested calls share one SQLite transaction: only the outermost start and the matching
    // commit or rollback run SQL. A failing text throws and leaves the counter unchanged.
    void StartTransaction(TransactionKind kind = TransactionKind::Deferred);
    void Commit();
    void Rollback();
    bool InTransaction() const { return transaction_count_ > 0; }
    int TransactionCount() const { return transaction_count_; }

    // The raw connection, null while closed.
    sqlite3* Handle() const { return db_.get(); }

  private:
    struct Closer {
        void operator()(sqlite3* db) const;
    };
    void EnsureOpen();

    std::string database_name_;
    std::unique_ptr<sqlite3, Closer> db_;
    int transaction_count_ = 0;
};

}  // namespace kivo::data
