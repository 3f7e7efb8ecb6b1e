// The command line of the desktop application.
#pragma once

#include <string>
#include <vector>

struct CommandLine {
    bool help = false;
    bool version = false;
    std::vector<std::string> devices;  // --device PATH, in order
    std::string autoFlash;             // --auto-flash FILE: send FILE to the first printer, quit
    std::string screenshot;            // --screenshot PNG: picture of the window before quitting
    std::string document;              // a document file to open
    std::string error;                 // what is wrong with the command line, if anything
};

// Reads the application's own options; arguments it does not know are left to Qt.
CommandLine ParseCommandLine(int argc, char** argv);

// The text of --help.
std::string UsageText();
