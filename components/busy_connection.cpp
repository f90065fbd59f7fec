#include "busy_connection.h"

#include <algorithm>
#include <vector>

namespace ostrim {

namespace {

std::vector<DBPROCESS*>& busy() {
    static std::vector<DBPROCESS*> list;
    return list;
}

} // namespace

BusyConnection::BusyConnection(DbProcHandle process) : m_process(process) {
    if (m_process)
        busy().push_back(m_process.get());
}

BusyConnection::~BusyConnection() {
    if (!m_process)
        return;
    auto& list = busy();
    if (auto it = std::find(list.begin(), list.end(), m_process.get()); it != list.end())
        list.erase(it);
}

bool BusyConnection::isBusy(DbProcHandle process) {
    const auto& list = busy();
    return process && std::find(list.begin(), list.end(), process.get()) != list.end();
}

} // namespace ostrim
