#include "blocking_chain.h"

#include <algorithm>
#include <map>

namespace ostrim {

namespace {

class ChainBuilder {
public:
    explicit ChainBuilder(const std::vector<ProcessWait>& processes) {
        for (const ProcessWait& p : processes)
            if (p.spid != 0)
                m_blocker.try_emplace(p.spid, p.blocker == p.spid ? 0 : p.blocker);
        for (const auto& [spid, blocker] : m_blocker)
            if (blocker != 0)
                m_waiters[blocker].push_back(spid); // in spid order, as the map is
    }

    BlockingChains build() {
        BlockingChains result;
        for (const auto& [spid, blocker] : m_blocker) {
            if (blocker != 0) {
                result.waiting.insert(spid);
                if (!m_blocker.contains(blocker))
                    m_roots[blocker] = true;
            } else if (m_waiters.contains(spid)) {
                result.heads.insert(spid);
                m_roots[spid] = false;
            }
        }
        for (const auto& [spid, unlisted] : m_roots) {
            m_seen.insert(spid);
            ChainNode node = chain(spid);
            node.unlisted = unlisted;
            result.chains.push_back(std::move(node));
        }
        // What no head reaches waits in a circle, or on one.
        for (const int spid : result.waiting)
            if (!m_seen.contains(spid)) {
                const int start = circleMember(spid);
                m_seen.insert(start);
                ChainNode node = chain(start);
                node.deadlock = true;
                result.chains.push_back(std::move(node));
            }
        std::sort(result.chains.begin(), result.chains.end(),
                  [](const ChainNode& a, const ChainNode& b) { return a.spid < b.spid; });
        return result;
    }

private:
    ChainNode chain(int spid) {
        ChainNode node{spid, false, false, {}};
        if (auto it = m_waiters.find(spid); it != m_waiters.end())
            for (const int waiter : it->second)
                if (m_seen.insert(waiter).second)
                    node.waiters.push_back(chain(waiter));
        return node;
    }

    // Following the blockers from spid ends in a circle; its lowest spid.
    int circleMember(int spid) const {
        std::set<int> path;
        while (path.insert(spid).second)
            spid = m_blocker.at(spid);
        int lowest = spid;
        for (int s = m_blocker.at(spid); s != spid; s = m_blocker.at(s))
            lowest = std::min(lowest, s);
        return lowest;
    }

    std::map<int, int> m_blocker;
    std::map<int, std::vector<int>> m_waiters;
    std::map<int, bool> m_roots; // spid -> unlisted
    std::set<int> m_seen;
};

} // namespace

BlockingChains blockingChains(const std::vector<ProcessWait>& processes) {
    return ChainBuilder(processes).build();
}

} // namespace ostrim
