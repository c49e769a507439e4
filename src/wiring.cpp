// SPDX-License-Identifier: MIT
// The one place that knows every module with driver states: the engine's
// own (connect, raw command, close), TLS's, SMTP's and POP3's. The driver
// looks a state's step up in this list; the engine itself depends on none
// of the protocols.
#include "engine/engine.h"
#include "engine/tls_transport.h"
#include "pop3/pop3.h"
#include "smtp/smtp.h"

namespace vok {

const StateTable* const kStateTables[] = {&kEngineStates, &kSmtpStates, &kPop3States, &kTlsStates};
const int kStateTableCount = static_cast<int>(sizeof kStateTables / sizeof kStateTables[0]);

}  // namespace vok
