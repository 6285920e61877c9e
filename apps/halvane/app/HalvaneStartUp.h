#pragma once
// halvane's start-up, shared by main and the tests.

#include <string>
#include <vector>

class LwPluginFuncZyvra;

// Registers the menu entry "RFA: Background: Spherical Harmonics" (menu
// "PEH", parameter "-O"), reads the plug-in command line ("-P" port, "-L"
// local server name, which leaves the transport TCP), writes the menu file
// and tries to connect. A refused port or an unwritable menu file is
// reported on Qt's warning output and the start-up goes on; without a viewer
// the window opens all the same. Returns the reported texts.
std::vector<std::string> StartUpHalvane(LwPluginFuncZyvra& client, int argc, char** argv);

// The program: application, main window, start-up (its reports in the error
// box once the window shows), the wait dialog of the viewer client, event
// loop; SIGTERM, SIGINT and SIGHUP end it as a close does.
int HalvaneMain(int argc, char** argv);
