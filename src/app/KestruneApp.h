#pragma once

// The program: one instance per user, the desktop backend, the preference file, and the shell.
class KestruneApp {
public:
    // Runs Kestrune to its end; the process's exit status.
    static int run(int argc, char** argv);
};
