#pragma once
// The option flags a server window copies from the configuration when it is created; the form
// owns them and its services read them.

#include "run_options.h"

namespace ostrim {

struct ServerOptions : RunOptions {
    bool ExecSelected = true;
    bool SeperateDBProc = true;
    bool RichText = false;
    bool OpenNewWindow = false;
    bool AppendGo = false;
    bool AppendPaste = true;
    bool PasteCREATE = false;
    bool PasteDROP = false;
    // [Run] ShowHiddenCommands: 1 makes the hidden administration commands reachable.
    int ShowHiddenCommands = 0;
};

} // namespace ostrim
