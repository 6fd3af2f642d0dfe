#pragma once

// The program's entry point proper. The OS layer's main (POSIX) or wmain
// (Windows) converts the command line to UTF-16 once and calls it; its result
// is the process exit code.
int OstrelinMain(int argc, const char16_t* const* argv);
