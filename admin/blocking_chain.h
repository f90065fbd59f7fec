#pragma once
// Who blocks whom: the chains of waiting processes a process list shows, head blocker first.

#include <set>
#include <vector>

namespace ostrim {

struct ProcessWait {
    int spid = 0;
    int blocker = 0; // the process it waits on; 0 when it does not wait
};

struct ChainNode {
    int spid = 0;
    // The process another one waits on is not in the list (a list filtered by login).
    bool unlisted = false;
    // Its chain leads back to it: a deadlock the server has not broken yet.
    bool deadlock = false;
    std::vector<ChainNode> waiters; // by spid
};

struct BlockingChains {
    // One per head blocker, unlisted blocker and deadlock, by spid; each process appears once.
    std::vector<ChainNode> chains;
    std::set<int> waiting;
    // Blocking others and not waiting itself.
    std::set<int> heads;
};

// A process that names itself as its blocker is taken as not waiting.
BlockingChains blockingChains(const std::vector<ProcessWait>& processes);

} // namespace ostrim
