#pragma once
// The rows of a TDS 5.0 bulk copy ("insert bulk", then a bulk message), as FreeTDS's
// tds5_send_record lays them out for the columns the client learnt from "select * ... where
// fmtonly": fixed-size columns first, then the variable ones behind an offset table, then the
// text and image data.

#include "value.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <vector>

namespace sim {

// Bulk data that does not parse: the message came whole, so the client gets an error.
struct BadBulkData : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Calls row once per row, values in the table's column order; throws BadBulkData on a
// message that does not parse.
void decodeBulkRows(const std::vector<SqlType>& columns, const uint8_t* data, size_t size,
                    const std::function<void(const std::vector<Value>&)>& row);

} // namespace sim
