#include "data/database.h"

#include <sqlite3.h>

#include <chrono>
#include <thread>

namespace kivo::data {
namespace {

constexpr auto kBusyPause = std::chrono::milliseconds(10);

[[noreturn]] void ThrowFrom(sqlite3* db, int code) {
    throw TDISQLite3Error(db ? sqlite3_errmsg(db) : sqlite3_errstr(code), code);
}

bool IsBusy(int result) {
    const int primary = result & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

const char* KindWord(TransactionKind kind) {
    switch (kind) {
        case TransactionKind::Immediate:
            return "IMMEDIATE";
        case TransactionKind::Exclusive:
            return "EXCLUSIVE";
        case TransactionKind::Deferred:
            break;
    }
    return "DEFERRED";
}

}  // namespace

// ---- statement ----

void TDISQLite3Statement::Finalizer::operator()(sqlite3_stmt* statement) const {
    sqlite3_finalize(statement);
}

void TDISQLite3Statement::CheckBind(int result) const {
    if (result != SQLITE_OK)
        ThrowFrom(sqlite3_db_handle(statement_.get()), result);
}

void TDISQLite3Statement::Bind_Str(int index, const std::string& value) {
    // c_str() is never null, so an empty text binds an empty text value, not NULL.
    CheckBind(sqlite3_bind_text(statement_.get(), index, value.c_str(),
                                static_cast<int>(value.size()), SQLITE_TRANSIENT));
}

void TDISQLite3Statement::Bind_Str16(int index, const std::u16string& value) {
    CheckBind(sqlite3_bind_text16(statement_.get(), index, value.c_str(),
                                  static_cast<int>(value.size() * sizeof(char16_t)),
                                  SQLITE_TRANSIENT));
}

void TDISQLite3Statement::Bind_Int(int index, std::int32_t value) {
    CheckBind(sqlite3_bind_int(statement_.get(), index, value));
}

int TDISQLite3Statement::Step() {
    on_row_ = false;
    if (!statement_)
        return kDone;  // the text held no statement (blank or comment only)
    for (int call = 1;; ++call) {
        const int result = sqlite3_step(statement_.get());
        if (result == SQLITE_ROW) {
            on_row_ = true;
            return kRow;
        }
        if (result == SQLITE_DONE || result == SQLITE_OK)
            return kDone;
        if (IsBusy(result) && call < kMaxStepCalls) {
            std::this_thread::sleep_for(kBusyPause);
            continue;
        }
        ThrowFrom(sqlite3_db_handle(statement_.get()), result);
    }
}

void TDISQLite3Statement::Reset() {
    on_row_ = false;
    // The result repeats the last step's error, which that step has already thrown.
    if (statement_)
        sqlite3_reset(statement_.get());
}

bool TDISQLite3Statement::HasColumn(int column) const {
    return on_row_ && column >= 0 && column < sqlite3_column_count(statement_.get());
}

std::string TDISQLite3Statement::Column_Str(int column) const {
    if (!HasColumn(column))
        return {};
    const auto* text = sqlite3_column_text(statement_.get(), column);
    if (!text)
        return {};
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<std::size_t>(sqlite3_column_bytes(statement_.get(), column)));
}

std::u16string TDISQLite3Statement::Column_Str16(int column) const {
    if (!HasColumn(column))
        return {};
    const auto* text =
        static_cast<const char16_t*>(sqlite3_column_text16(statement_.get(), column));
    if (!text)
        return {};
    const auto bytes = static_cast<std::size_t>(sqlite3_column_bytes16(statement_.get(), column));
    return std::u16string(text, bytes / sizeof(char16_t));
}

int TDISQLite3Statement::Column_Count() const {
    return statement_ ? sqlite3_column_count(statement_.get()) : 0;
}

// ---- connection ----

void TDISQLite3Database::Closer::operator()(sqlite3* db) const {
    // Deferred close: a statement still alive keeps the connection until it is finalized.
    sqlite3_close_v2(db);
}

TDISQLite3Database::TDISQLite3Database(std::string database_name)
    : database_name_(std::move(database_name)) {}

void TDISQLite3Database::Open() {
    if (db_)
        return;
    sqlite3* raw = nullptr;
    const int result =
        sqlite3_open_v2(database_name_.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    std::unique_ptr<sqlite3, Closer> opened(raw);
    if (result != SQLITE_OK)
        ThrowFrom(raw, result);
    db_ = std::move(opened);
    transaction_count_ = 0;
}

void TDISQLite3Database::Close() {
    db_.reset();
    transaction_count_ = 0;
}

void TDISQLite3Database::EnsureOpen() {
    if (!db_)
        Open();
}

TDISQLite3Statement TDISQLite3Database::Prepare16(const std::string& sql) {
    EnsureOpen();
    // Compiling reads the schema, which meets another process's lock just as a step does; it
    // is retried the same way.
    for (int call = 1;; ++call) {
        sqlite3_stmt* raw = nullptr;
        const int result =
            sqlite3_prepare_v2(db_.get(), sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr);
        TDISQLite3Statement statement(raw);
        if (result == SQLITE_OK)
            return statement;
        if (IsBusy(result) && call < TDISQLite3Statement::kMaxStepCalls) {
            std::this_thread::sleep_for(kBusyPause);
            continue;
        }
        ThrowFrom(db_.get(), result);
    }
}

void TDISQLite3Database::Execute(const std::string& sql) {
    EnsureOpen();
    char* message = nullptr;
    const int result = sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &message);
    std::unique_ptr<char, decltype(&sqlite3_free)> owned(message, &sqlite3_free);
    if (result != SQLITE_OK) {
        throw TDISQLite3Error(message ? message : sqlite3_errstr(result), result);
    }
}

void TDISQLite3Database::StartTransaction(TransactionKind kind) {
    if (transaction_count_ == 0) {
        Execute(std::string("BEGIN ") + KindWord(kind) + " TRANSACTION;");
    }
    ++transaction_count_;
}

void TDISQLite3Database::Commit() {
    if (transaction_count_ == 0)
        return;
    if (transaction_count_ == 1)
        Execute("COMMIT TRANSACTION;");
    --transaction_count_;
}

void TDISQLite3Database::Rollback() {
    if (transaction_count_ == 0)
        return;
    if (transaction_count_ == 1) {
        try {
            Execute("ROLLBACK TRANSACTION;");
        } catch (const TDISQLite3Error&) {
            // SQLite may already have rolled the transaction back by itself (a full disk, an
            // I/O error). Then there is nothing left to undo; keeping the counter would make
            // every later rollback fail the same way and no transaction could start again.
            if (!db_ || !sqlite3_get_autocommit(db_.get()))
                throw;
        }
    }
    --transaction_count_;
}

}  // namespace kivo::data
