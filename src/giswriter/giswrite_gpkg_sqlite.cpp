#include "giswrite_gpkg_sqlite.h"

#include "pwnet_io.h"

#include <algorithm>
#include <cstring>
#include <sqlite3.h>
#include <utility>

namespace pwnet {

namespace {

// SQLite's message, with the operating system's reason when it has one ("disk I/O
// error (File too large)").
std::string SqliteMessage(sqlite3* Db, int Rc) {
    std::string message = Db ? sqlite3_errmsg(Db) : sqlite3_errstr(Rc);
    if (const int err = Db ? sqlite3_system_errno(Db) : 0; err != 0) {
        const std::string reason = std::strerror(err);
        if (message.find(reason) == std::string::npos)
            message += " (" + reason + ")";
    }
    return message;
}

} // namespace

// ---------------------------------------------------------------------------
// TGpkgDatabase

TGpkgDatabase::TGpkgDatabase(const std::string& Path, const std::string& DisplayName)
    : FDisplayName(FullPath(DisplayName)) {
    // No SQLITE_OPEN_CREATE: the file exists (created exclusively by the writer);
    // a symbolic link in its place is not followed. One thread uses the connection,
    // so it needs no mutex.
    const int rc = sqlite3_open_v2(Path.c_str(), &FDb,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW |
                                       SQLITE_OPEN_EXRESCODE | SQLITE_OPEN_NOMUTEX,
                                   nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = SqliteMessage(FDb, rc);
        sqlite3_close_v2(FDb);
        FDb = nullptr;
        throw EFCreateError("Cannot create file \"" + FDisplayName + "\". " + message);
    }
    // The shadow tables of the spatial index are written directly (bulk loading).
    sqlite3_db_config(FDb, SQLITE_DBCONFIG_DEFENSIVE, 0, nullptr);
}

TGpkgDatabase::~TGpkgDatabase() {
    if (FDb)
        sqlite3_close_v2(FDb);
}

void TGpkgDatabase::Exec(std::string_view Sql) {
    const std::string sql(Sql);
    if (const int rc = sqlite3_exec(FDb, sql.c_str(), nullptr, nullptr, nullptr); rc != SQLITE_OK)
        Fail(rc);
}

void TGpkgDatabase::Close() {
    sqlite3* db = std::exchange(FDb, nullptr);
    if (const int rc = sqlite3_close(db); rc != SQLITE_OK) {
        const std::string message = SqliteMessage(db, rc);
        sqlite3_close_v2(db);
        throw EWriteError("Cannot write file \"" + FDisplayName + "\". " + message);
    }
}

int TGpkgDatabase::MaxParameters() const {
    return sqlite3_limit(FDb, SQLITE_LIMIT_VARIABLE_NUMBER, -1);
}

EWriteError TGpkgDatabase::Error(int Rc) const {
    return EWriteError("Cannot write file \"" + FDisplayName + "\". " + SqliteMessage(FDb, Rc));
}

// ---------------------------------------------------------------------------
// TGpkgStatement

TGpkgStatement::TGpkgStatement(TGpkgDatabase& Db, std::string_view Sql) : FDb(&Db) {
    const int rc = sqlite3_prepare_v3(Db.Handle(), Sql.data(), static_cast<int>(Sql.size()),
                                      SQLITE_PREPARE_PERSISTENT, &FStmt, nullptr);
    if (rc != SQLITE_OK)
        Db.Fail(rc);
}

TGpkgStatement::TGpkgStatement(TGpkgStatement&& Other) noexcept
    : FDb(std::exchange(Other.FDb, nullptr)), FStmt(std::exchange(Other.FStmt, nullptr)) {}

TGpkgStatement& TGpkgStatement::operator=(TGpkgStatement&& Other) noexcept {
    if (this != &Other) {
        Release();
        FDb = std::exchange(Other.FDb, nullptr);
        FStmt = std::exchange(Other.FStmt, nullptr);
    }
    return *this;
}

TGpkgStatement::~TGpkgStatement() {
    Release();
}

void TGpkgStatement::Release() noexcept {
    if (FStmt)
        sqlite3_finalize(FStmt);
    FStmt = nullptr;
}

void TGpkgStatement::Check(int Rc) {
    if (Rc != SQLITE_OK)
        FDb->Fail(Rc);
}

void TGpkgStatement::BindInt(int Index, int64_t Value) {
    Check(sqlite3_bind_int64(FStmt, Index, Value));
}

void TGpkgStatement::BindDouble(int Index, double Value) {
    Check(sqlite3_bind_double(FStmt, Index, Value));
}

void TGpkgStatement::BindText(int Index, std::string_view Value) {
    Check(
        sqlite3_bind_text64(FStmt, Index, Value.data(), Value.size(), SQLITE_STATIC, SQLITE_UTF8));
}

void TGpkgStatement::BindBlob(int Index, std::span<const uint8_t> Value) {
    Check(sqlite3_bind_blob64(FStmt, Index, Value.data(), Value.size(), SQLITE_STATIC));
}

void TGpkgStatement::BindNull(int Index) {
    Check(sqlite3_bind_null(FStmt, Index));
}

void TGpkgStatement::Step() {
    const int rc = sqlite3_step(FStmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        EWriteError error = FDb->Error(rc); // before the reset clears the message
        sqlite3_reset(FStmt);
        throw error;
    }
    sqlite3_reset(FStmt);
}

int64_t TGpkgStatement::QueryInt() {
    const int rc = sqlite3_step(FStmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        EWriteError error = FDb->Error(rc);
        sqlite3_reset(FStmt);
        throw error;
    }
    const int64_t value = rc == SQLITE_ROW ? sqlite3_column_int64(FStmt, 0) : 0;
    sqlite3_reset(FStmt);
    return value;
}

// ---------------------------------------------------------------------------
// TGpkgBatchInsert

namespace {

std::string ValuesSql(std::string_view Insert, int Columns, int Rows) {
    std::string sql(Insert);
    sql += " VALUES ";
    for (int r = 0; r < Rows; ++r) {
        sql += r ? ",(" : "(";
        for (int c = 0; c < Columns; ++c)
            sql += c ? ",?" : "?";
        sql += ')';
    }
    return sql;
}

} // namespace

TGpkgBatchInsert::TGpkgBatchInsert(TGpkgDatabase& Db, std::string_view Insert, int Columns,
                                   int Rows)
    : FColumns(Columns), FMany(Db, ValuesSql(Insert, Columns, Rows)),
      FOne(Db, ValuesSql(Insert, Columns, 1)),
      FCells(static_cast<size_t>(Columns) * static_cast<size_t>(Rows)) {}

TGpkgBatchInsert::TCell& TGpkgBatchInsert::Next() {
    TCell& cell = FCells[FUsed++];
    cell.Kind = TCell::Null;
    return cell;
}

void TGpkgBatchInsert::Bytes(const void* Data, size_t Size, TCell& Cell) {
    if (FBytes.size() < FBytesUsed + Size)
        FBytes.resize(std::max(FBytesUsed + Size, FBytes.size() * 2));
    if (Size > 0)
        std::memcpy(FBytes.data() + FBytesUsed, Data, Size);
    Cell.At = FBytesUsed;
    Cell.Size = Size;
    FBytesUsed += Size;
}

void TGpkgBatchInsert::Int(int64_t Value) {
    TCell& cell = Next();
    cell.Kind = TCell::Int;
    cell.I = Value;
}

void TGpkgBatchInsert::Double(double Value) {
    TCell& cell = Next();
    cell.Kind = TCell::Double;
    cell.D = Value;
}

void TGpkgBatchInsert::Text(std::string_view Value) {
    TCell& cell = Next();
    cell.Kind = TCell::Text;
    Bytes(Value.data(), Value.size(), cell);
}

void TGpkgBatchInsert::Blob(std::span<const uint8_t> Value) {
    TCell& cell = Next();
    cell.Kind = TCell::Blob;
    Bytes(Value.data(), Value.size(), cell);
}

void TGpkgBatchInsert::Null() {
    Next();
}

void TGpkgBatchInsert::Bind(TGpkgStatement& Statement, int Index, const TCell& Cell) {
    const auto* bytes = FBytes.data() + Cell.At;
    switch (Cell.Kind) {
    case TCell::Null:
        Statement.BindNull(Index);
        break;
    case TCell::Int:
        Statement.BindInt(Index, Cell.I);
        break;
    case TCell::Double:
        Statement.BindDouble(Index, Cell.D);
        break;
    case TCell::Text:
        Statement.BindText(Index, {reinterpret_cast<const char*>(bytes), Cell.Size});
        break;
    case TCell::Blob:
        Statement.BindBlob(Index, {bytes, Cell.Size});
        break;
    }
}

void TGpkgBatchInsert::EndRow() {
    if (FUsed < FCells.size())
        return;
    for (size_t i = 0; i < FUsed; ++i)
        Bind(FMany, static_cast<int>(i) + 1, FCells[i]);
    FUsed = 0;
    FBytesUsed = 0;
    FMany.Step();
}

void TGpkgBatchInsert::Flush() {
    const size_t rows = FUsed / static_cast<size_t>(FColumns);
    FUsed = 0;
    FBytesUsed = 0;
    for (size_t r = 0; r < rows; ++r) {
        for (int c = 0; c < FColumns; ++c)
            Bind(FOne, c + 1, FCells[r * FColumns + c]);
        FOne.Step();
    }
}

void TGpkgBatchInsert::Release() {
    FMany = TGpkgStatement();
    FOne = TGpkgStatement();
}

// ---------------------------------------------------------------------------

std::string QuoteIdentifier(std::string_view Name) {
    std::string q = "\"";
    for (const char c : Name) {
        if (c == '"')
            q += '"';
        q += c;
    }
    q += '"';
    return q;
}

std::string QuoteLiteral(std::string_view Text) {
    std::string q = "'";
    for (const char c : Text) {
        if (c == '\'')
            q += '\'';
        q += c;
    }
    q += '\'';
    return q;
}

} // namespace pwnet
