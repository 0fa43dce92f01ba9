#include "../framework/version_block.h"

#include "res/version.h"

// The program's own version block. Nothing refers to it in code: the About
// box reads it from the executable file, so `used` keeps it in the object.
namespace {

using versionblock::StringEntry;

constexpr versionblock::FixedInfo kFixed = {
    .fileVersion = {mojiroversion::kMajor, mojiroversion::kMinor, 0, mojiroversion::kPatch},
    .productVersion = {mojiroversion::kMajor, mojiroversion::kMinor, 0, mojiroversion::kPatch},
    .nFileType = versionblock::kFileTypeApplication,
    .nLanguage = 0x0411,
    .nCodePage = 0x04b0,
};

constexpr StringEntry kStrings[] = {
    {"Comments", ""},
    {"CompanyName", "Tarnwell Software"},
    {"FileDescription", mojiroversion::kFileDescription},
    {"FileVersion", mojiroversion::kDisplayVersion},
    {"InternalName", ""},
    {"LegalCopyright", mojiroversion::kCopyright},
    {"LegalTrademarks", ""},
    {"OriginalFilename", "mojiro"},
    {"PrivateBuild", ""},
    {"ProductName", "Mojiro"},
    {"ProductVersion", mojiroversion::kDisplayVersion},
    {"SpecialBuild", ""},
};

static_assert(versionblock::Fits(kStrings));
// The attribute below needs a literal; keep it in step with the reader.
static_assert(std::string_view(versionblock::kSectionName) == ".mojiro_version");
constexpr std::size_t kBlockSize = versionblock::BlockSize(kStrings);

__attribute__((section(".mojiro_version"), used)) constexpr std::array<unsigned char, kBlockSize>
    kVersionBlock = versionblock::MakeBlock<kBlockSize>(kFixed, kStrings);

} // namespace
