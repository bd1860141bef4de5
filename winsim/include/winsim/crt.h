// The C runtime calls through which the program reaches the console and its log
// file. On Windows they are the runtime's own; here they land on the simulated
// machine: console text is captured and files live in its file system.
// Standard headers are read first so that their declarations stay untouched.
#pragma once

#include <cstdio>
#include <stdio.h>

int WsPrintf(const char* format, ...) __attribute__((format(__printf__, 1, 2)));
FILE* WsFopen(const char* path, const char* mode);
int WsFclose(FILE* file);

#define printf WsPrintf
#define fopen WsFopen
#define fclose WsFclose
