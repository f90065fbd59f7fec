#pragma once
// Connections a background load is reading from. DB-Library allows one thread per connection
// and one command at a time, so a window that shares the connection must not send on it until
// the load has ended. GUI thread only.

#include "sybase32.h"

namespace ostrim {

class BusyConnection {
public:
    // Marks the connection busy for the lifetime of the object (no-op for a null handle).
    explicit BusyConnection(DbProcHandle process);
    ~BusyConnection();
    BusyConnection(const BusyConnection&) = delete;
    BusyConnection& operator=(const BusyConnection&) = delete;

    static bool isBusy(DbProcHandle process);

private:
    DbProcHandle m_process;
};

} // namespace ostrim
