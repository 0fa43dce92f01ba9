#include "python_oracle.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

namespace python_oracle {

namespace {

std::string Quote(const std::string& s)
{
    std::string quoted = "'";
    for (char c : s)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

bool Available() { return std::system("python3 -c '' >/dev/null 2>&1") == 0; }

std::optional<model::Bytes> Run(const std::string& strScript, const model::Bytes& in)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("mojiro-oracle-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path inPath = dir / "in";
    const fs::path outPath = dir / "out";
    {
        std::ofstream file(inPath, std::ios::binary);
        file.write(reinterpret_cast<const char*>(in.data()), static_cast<std::streamsize>(in.size()));
    }
    const std::string command =
        "python3 -c " + Quote(strScript) + " " + Quote(inPath.string()) + " " + Quote(outPath.string());
    const int status = std::system(command.c_str());
    std::optional<model::Bytes> result;
    if (status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        std::ifstream file(outPath, std::ios::binary);
        result = model::Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return result;
}

} // namespace python_oracle
