#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "../convert/charset.h"
#include "../convert/replacement_tally.h"
#include "../framework/file_system.h"

// One text converted from a file (or standard input) to a file (or standard
// output), read, detected, converted and written a block at a time through
// the safe write, with buffers of fixed size: memory does not grow with the
// file. The batch run, the dialog's Convert and every detection go through
// it, so they give the same bytes and detect alike.
class CConversionJob {
public:
    // The name that means standard input or output.
    static constexpr const char* kStandardStream = "-";
    // What detection holds at most of a pipe, and decides from.
    static constexpr std::int64_t kHoldLimit = 32 << 20;

    enum class Result { Succeeded, InputFailed, ConvertFailed, OutputFailed, Cancelled };

    struct Request {
        std::string strInput;
        std::string strOutput;
        CharsetId nSource = Charset::None; // detected when not given
        CharsetId nTarget = Charset::ShiftJis;
        NLCode nNLCode = NewLine::CrLf;
        // Asked only when the conversion can meet a character without a form.
        std::function<std::string()> readSubstitute;
        // Asked once the input is open, before anything is written: false
        // (with a reason) refuses the output. *pbInPlace says the output is
        // the input itself, which is then replaced only if unchanged.
        std::function<bool(const IFileSystem::FileStamp& input, bool* pbInPlace, std::string* pstrReason)> checkOutput;
        // After each block: bytes read so far and the input's size (-1 when
        // unknown). False cancels; the output is then left as it was.
        std::function<bool(std::int64_t nDone, std::int64_t nTotal)> progress;
        int nThreads = 1;
        // Hears of every character replaced, when given.
        CReplacementTally* pTally = nullptr;
        // What detection may hold of an input it cannot read twice.
        std::int64_t nHoldLimit = kHoldLimit;
        // When set, a successful job hands its output over complete but not
        // committed, and the caller commits it: many commits can then wait
        // for the disk at once.
        std::function<void(std::unique_ptr<IFileSystem::IOutputFile>)> commitLater;
    };

    explicit CConversionJob(IFileSystem& fileSystem) : m_fileSystem(fileSystem) {}

    // *pnSource gets the source used (the detected one, Shift_JIS when
    // detection cannot tell) once it is known; *pstrReason why it failed.
    Result Run(const Request& request, CharsetId* pnSource, std::string* pstrReason);

    // The source detection gives a named file: Unicode or UTF-8 for their
    // marks or for well-formed UTF-8, else the byte scan, -1 when it cannot
    // tell. False when the file cannot be read.
    bool Detect(const std::string& strPath, CharsetId* pnCharset);

    // Threads a job may use: MOJIRO_THREADS when set, else the cores this
    // process may run on.
    static int ThreadsAvailable();

private:
    IFileSystem& m_fileSystem;
};
