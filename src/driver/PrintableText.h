// Text from a recording or the command line made fit for a diagnostic line:
// names and paths can hold any byte, and a line break or terminal control
// byte inside them would split or garble the one line a diagnostic is.
#pragma once

#include <string>
#include <string_view>

// s with every control byte (0x00..0x1F, 0x7F) written as \xNN; other bytes,
// UTF-8 included, are kept as they are.
std::string sPrintable(std::string_view s);
