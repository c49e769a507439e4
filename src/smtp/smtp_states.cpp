// SMTP driver states. (Filled in by the SMTP session, composition and
// verification code.)
#include "engine/engine.h"

namespace vok {

const StateTable kSmtpStates = {nullptr, 0};

}  // namespace vok
