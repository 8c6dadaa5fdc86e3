// The texts tessal prints when asked for them: the help text (--help, -h)
// and the version line (--version, -V). The version is the project's one
// version number, given by the build as TESSAL_VERSION.
#pragma once

// The help text: the command line, every option, the default output name,
// appending, the exit statuses and where the manual page is; ends in "\n".
extern const char szHelpText[];

// "tessal VERSION\n".
extern const char szVersionText[];
