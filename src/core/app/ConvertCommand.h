#pragma once
// Convert TXT to SIG from the File menu: a text file to read, a signal file
// to create, then the conversion.

#include "app/Session.h"

namespace koru {

void ConvertCommand(Session& session);

}  // namespace koru
