#include "command_line_help.h"

#include "res/version.h"

std::string CCommandLineHelp::UsageText(const std::string& strAppName)
{
    return "Usage: " + strAppName +
           " [/AUTO] [/Sname] [/Oname] [/Ncode] [/Roff] [/Fpattern] [--] [file ...]\n"
           "Converts whole text files among Japanese encodings and rewrites their line endings.\n"
           "Without /AUTO the window opens with the first file as input.\n"
           "\n"
           "  /AUTO       batch mode: convert every file, then report\n"
           "  /Sname      source encoding (default: detected, Shift_JIS if unsure)\n"
           "  /Oname      target encoding (default Shift_JIS)\n"
           "  /Ncode      line ending: CRLF, LF or CR (default LF for EUC-JP, CRLF otherwise)\n"
           "  /Roff       no report at the end\n"
           "  /Fpattern   output name; %SOURCE% is the input name, %SUFFIX% the target's\n"
           "              short name (sjis euc jis uni utf8); default %SOURCE%.%SUFFIX%\n"
           "  --          every later word is a file name (put it before absolute paths)\n"
           "  --guess file ...  print each file's encoding and line ending, convert nothing\n"
           "  --help, -h, /?   this text;  --version, -V, -v   version and copyright\n"
           "\n"
           "Encodings (any letter case): Shift_JIS, EUC-JP, ISO-2022-JP, Unicode, UTF-8.\n"
           "A switch may start with / or -, and its first letter decides it.\n"
           "\n"
           "Exit status: 0 every file was written; 1 a file or the report was not\n"
           "written (with --guess: read), or no display for the window; 2 /AUTO or\n"
           "--guess named no file.\n"
           "Settings: $XDG_CONFIG_HOME/Tarnwell Software/" +
           strAppName + ".ini (default ~/.config/Tarnwell Software/" + strAppName + ".ini).\n";
}

std::string CCommandLineHelp::VersionText()
{
    return std::string("Mojiro ") + mojiroversion::kVersionText + "\n" +
           mojiroversion::kCopyright + "\nMIT License: see the LICENSE file that comes with the program.\n";
}
