#pragma once

// The two halves of every test program's main(), around its application
// object (a QCoreApplication for the layers below the widgets, a
// QApplication above).

// Call first, before the application object: keeps the tests away from the
// user's files. True when only the test list is asked for (CTest's
// discovery): RUN_ALL_TESTS() then lists without an application object or a
// display.
bool PrepareTestProgram(int &argc, char **argv);

// Installs the scripted prompter, the recording launcher and a temporary
// profile, and runs the tests; answers the exit code.
int RunTests(int &argc, char **argv);
