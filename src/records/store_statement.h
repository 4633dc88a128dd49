// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <sqlite3.h>

#include <cstdint>
#include <string>

// One prepared SQLite statement, finalized when it goes. Text columns that are NULL read as "".
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { m_code = sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr); }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    explicit operator bool() const { return m_code == SQLITE_OK && m_statement; }
    // The last result: the preparation's, then each step's.
    int Code() const { return m_code; }
    int Step() { return m_code = sqlite3_step(m_statement); }
    void Reset() { sqlite3_reset(m_statement); }

    void BindInt(int at, int64_t value) { sqlite3_bind_int64(m_statement, at, value); }
    void BindReal(int at, double value) { sqlite3_bind_double(m_statement, at, value); }
    void BindNull(int at) { sqlite3_bind_null(m_statement, at); }
    void BindText(int at, const std::string& text) {
        sqlite3_bind_text(m_statement, at, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    void BindTextOrNull(int at, const std::string& text) {
        if (text.empty()) {
            BindNull(at);
        } else {
            BindText(at, text);
        }
    }

    bool IsNull(int column) const { return sqlite3_column_type(m_statement, column) == SQLITE_NULL; }
    int64_t Int(int column) const { return sqlite3_column_int64(m_statement, column); }
    double Real(int column) const { return sqlite3_column_double(m_statement, column); }
    std::string Text(int column) const {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
        return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(m_statement, column))) : std::string();
    }

private:
    sqlite3_stmt* m_statement = nullptr;
    int m_code = SQLITE_OK;
};
