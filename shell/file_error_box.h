#pragma once
// The one box every window shows when one of its file operations failed.

#include "text_file.h"

namespace ostrim {

// Shows "FILE: reason" captioned "Ostrim" when result failed; returns whether it succeeded.
bool reportIo(const IoResult& result);
// The same, queued to the GUI thread: for paths where no nested event loop may run, such as a
// window writing its values while it is being destroyed.
void postIoFailure(const IoResult& result);

} // namespace ostrim
