// Tuning options of the platform layer, read from the environment variable
// OBLO_OPTIONS as "[name:value]" pairs, e.g. "[sound-rate:44100][dsnd:no]".
#pragma once

// A yes/no option: "yes]" or "on]" gives 1, "no]" or "off]" gives 0. An
// absent option gives the default; any other text logs
// "unrecognized setting for <name>" and gives the default.
int option_flag(const char* name, int default_value);

// A decimal option (leading white space and a sign allowed). Without
// digits it logs "unrecognized setting for <name>" and gives the default.
int option_int(const char* name, int default_value);

// Reads OBLO_OPTIONS again on the next look-up. Options are read once per
// run; tests that change the variable call this.
void options_reset();
