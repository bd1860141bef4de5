#pragma once

// The whole program: reads the arguments left to right and acts on each at once.
int RunCommandLine(int argc, char* argv[]);
