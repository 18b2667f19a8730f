// Who the client at the other end of the service's pipe is, learnt from the token its connection
// carries, never from anything it wrote.
#pragma once

#include <windows.h>

#include "core/service/client_decision.h"

namespace velmora {

// The facts of the connected client of the pipe. The thread takes the client's identity only for
// as long as it takes to open its token, on every path. allowedGroup: the local group the
// administrator named (empty: none), whose membership is looked up in that token; a name that
// does not resolve counts as not a member. A client whose token cannot be read has no fact that
// serves it: no user, not interactive, not an administrator.
ClientFacts clientFacts(HANDLE pipe, const std::string& allowedGroup);

}  // namespace velmora
