#pragma once
// The compute clauses of a select: their formats after the row format, and after each group of
// rows the compute row Sybase sends with the group's aggregates.

#include "sql_ast.h"
#include "value.h"

#include <vector>

namespace sim {

class ComputeRows {
public:
    // columnTypes: the result set's columns; throws SqlError for an aggregate its column's type
    // does not take.
    ComputeRows(const std::vector<ast::Compute>& clauses, const std::vector<SqlType>& columnTypes);

    // ALTNAME and ALTFMT of each clause, compute ids from 1.
    void putFormats(Bytes& b) const;
    // Before a row goes out: the compute rows of the groups it ends.
    void beforeRow(Bytes& b, const std::vector<Value>& row);
    void add(const std::vector<Value>& row);
    // After the last row: the groups still open; with no rows at all, one row of each clause
    // without a by list (count 0, the other aggregates NULL), as Sybase sends.
    void finish(Bytes& b);

private:
    struct Aggregate {
        uint8_t op = 0;
        int column = 0; // from 0
        SqlType type;   // of the result
        bool integral = false;
        int64_t count = 0;
        int64_t intSum = 0;
        double realSum = 0;
        Value best; // min or max so far
    };
    struct Clause {
        uint16_t id = 0;
        std::vector<int> by; // columns from 0
        std::vector<Aggregate> aggregates;
    };
    void putRow(Bytes& b, Clause& c);

    std::vector<Clause> m_clauses;   // the longest by list first: inner groups end first
    std::vector<int> m_groupColumns; // the longest by list
    std::vector<Value> m_previous;
    bool m_anyRow = false;
};

} // namespace sim
