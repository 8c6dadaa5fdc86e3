// Text from a recording or the command line made fit for a diagnostic line:
// names and paths can hold any byte, and a line break or terminal control
// byte inside them would split or garble the one line a diagnostic is, and
// a name cut to a field's bytes may end in part of a character.
#pragma once

#include <string>
#include <string_view>

// s with every byte that is not printable ASCII (0x00..0x1F, 0x7F and
// 0x80..0xFF, so UTF-8 too) written as \xNN: a name cut inside a character
// shows its bytes instead of a broken letter, and no terminal reads them.
std::string sPrintable(std::string_view s);
