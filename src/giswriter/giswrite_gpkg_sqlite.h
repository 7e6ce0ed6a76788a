#pragma once
// The SQLite connection of the GeoPackage writer: one database file, its prepared
// statements, and SQLite's failures turned into the writer family's errors, which
// name the output file and carry SQLite's own message. Internal to the writer family.

#include "errors.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace pwnet {

class TGpkgDatabase;

// A prepared statement, reused for every row: bind, Step, and it is ready again.
class TGpkgStatement {
public:
    TGpkgStatement() = default;
    TGpkgStatement(TGpkgDatabase& Db, std::string_view Sql);
    TGpkgStatement(TGpkgStatement&&) noexcept;
    TGpkgStatement& operator=(TGpkgStatement&&) noexcept;
    ~TGpkgStatement();

    // Parameters count from 1. Text and blobs are not copied: they must stay
    // unchanged until Step.
    void BindInt(int Index, int64_t Value);
    void BindDouble(int Index, double Value);
    void BindText(int Index, std::string_view Value);
    void BindBlob(int Index, std::span<const uint8_t> Value);
    void BindNull(int Index);
    // Runs a statement that returns no rows, then resets it (its bindings stay).
    void Step();
    // Runs a query whose first row's first column is an integer; 0 when no row.
    int64_t QueryInt();
    explicit operator bool() const { return FStmt != nullptr; }

private:
    void Check(int Rc);
    void Release() noexcept;

    TGpkgDatabase* FDb = nullptr;
    sqlite3_stmt* FStmt = nullptr;
};

// One open database. The display name (the final output file) is what errors name.
class TGpkgDatabase {
public:
    // Opens the existing, empty file Path for writing. Raises EFCreateError naming
    // DisplayName when SQLite cannot open it.
    TGpkgDatabase(const std::string& Path, const std::string& DisplayName);
    ~TGpkgDatabase();
    TGpkgDatabase(const TGpkgDatabase&) = delete;
    TGpkgDatabase& operator=(const TGpkgDatabase&) = delete;

    // Runs one or more statements without parameters.
    void Exec(std::string_view Sql);
    // Closes the connection; raises EWriteError when SQLite reports a failure. Every
    // statement must have been released before.
    void Close();
    sqlite3* Handle() const { return FDb; }
    // The most parameters one statement may have.
    int MaxParameters() const;

    // The error of a failed call that returned Rc: EWriteError "Cannot write file
    // "<display name>". <SQLite's message>".
    EWriteError Error(int Rc) const;
    [[noreturn]] void Fail(int Rc) const { throw Error(Rc); }

private:
    sqlite3* FDb = nullptr;
    std::string FDisplayName;
};

// Rows for one table, gathered and inserted Rows at a time through one multi-row
// statement, which spares SQLite most of its work per statement; rows left over go
// in one by one at Flush. Values are copied in, so the caller's buffers may change
// as soon as a value is given. Nothing is allocated once the first batch was full.
class TGpkgBatchInsert {
public:
    // Insert is the statement up to VALUES ("INSERT INTO t(a, b)"); every row has
    // Columns values.
    TGpkgBatchInsert(TGpkgDatabase& Db, std::string_view Insert, int Columns, int Rows);

    // The next value of the current row.
    void Int(int64_t Value);
    void Double(double Value);
    void Text(std::string_view Value);
    void Blob(std::span<const uint8_t> Value);
    void Null();
    // The row is complete; a full batch is inserted.
    void EndRow();
    // Inserts the rows gathered so far.
    void Flush();
    // Drops the statements (before their connection closes or its schema changes).
    void Release();

private:
    struct TCell {
        enum : uint8_t { Null, Int, Double, Text, Blob } Kind = Null;
        int64_t I = 0;
        double D = 0;
        size_t At = 0, Size = 0; // in FBytes
    };
    TCell& Next();
    void Bytes(const void* Data, size_t Size, TCell& Cell);
    void Bind(TGpkgStatement& Statement, int First, const TCell& Cell);

    int FColumns;
    TGpkgStatement FMany, FOne;
    std::vector<TCell> FCells;
    std::vector<uint8_t> FBytes;
    size_t FUsed = 0; // cells taken
    size_t FBytesUsed = 0;
};

// Text as an SQL identifier in double quotes ("a""b" for a"b).
std::string QuoteIdentifier(std::string_view Name);
// Text as an SQL string literal in single quotes.
std::string QuoteLiteral(std::string_view Text);

} // namespace pwnet
