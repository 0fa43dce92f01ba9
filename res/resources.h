#pragma once

// Hands the strings, dialog templates and icon below to the framework. The
// program calls it once, first thing; so does every test program that opens
// a dialog or loads a string. The version block needs no call: it is read
// from the executable file.
void RegisterResources();
