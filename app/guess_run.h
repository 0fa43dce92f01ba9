#pragma once

#include <cstdio>
#include <list>
#include <string>

#include "../framework/file_system.h"

// --guess: one line per file, "NAME: ENCODING (LINE-ENDING)", the encoding
// the conversion job would take ("-" is standard input). Writes nothing
// else and needs no display. Returns the exit status: 0, or 1 when a file
// could not be read (said on the error stream).
int RunGuess(IFileSystem& fileSystem, const std::list<std::string>& files, std::FILE* pOut, std::FILE* pErr);
