// POP3 driver states. (Filled in by the POP3 session and download code.)
#include "engine/engine.h"

namespace vok {

const StateTable kPop3States = {nullptr, 0};

// Closes a download's open files the way the decoder finishes them.
void FinishOpenFiles(Channel*) {}

}  // namespace vok
