// Detection through the job, as the program runs it: whatever a read returns
// at a time and wherever the hold limit falls (inside a UTF-8 form, an 8E or
// 8F unit, a Shift_JIS pair, an escape), the same source and the same
// bytes out; a pipe is decided from what it held; standard input is read
// from where it stands.
#include "app/detecting_read.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/conversion_job.h"
#include "engine_harness.h"

namespace {

namespace fs = std::filesystem;
using model::Bytes;
using model::FromHex;

// One text in memory, read at most nPiece bytes at a time: as a file that
// can be read again, or as standard input that cannot. The output is kept.
class CPieceReads : public IFileSystem {
public:
    CPieceReads(const Bytes& text, std::int64_t nPiece) : m_text(text), m_nPiece(nPiece) {}

    bool GetFileStamp(const std::string&, FileStamp*) override { return false; }
    std::string FileKey(const std::string& strPath) override { return strPath; }
    std::unique_ptr<IOutputFile> CreateOutput(const std::string&, const FileStamp*, std::string*) override
    {
        m_written.clear();
        return std::make_unique<COutput>(*this);
    }
    std::unique_ptr<IInputFile> OpenInput(const std::string&, FileStamp* pStamp) override
    {
        if (pStamp != nullptr)
            pStamp->nSize = static_cast<std::int64_t>(m_text.size());
        return std::make_unique<CInput>(*this, true);
    }
    std::unique_ptr<IInputFile> OpenStandardInput() override { return std::make_unique<CInput>(*this, false); }

    Bytes m_written;
    int m_nRewinds = 0;

private:
    class CInput : public IInputFile {
    public:
        CInput(CPieceReads& owner, bool bRewindable) : m_owner(owner), m_bRewindable(bRewindable) {}
        std::int64_t Read(std::uint8_t* p, std::int64_t n) override
        {
            const std::int64_t nLeft = static_cast<std::int64_t>(m_owner.m_text.size()) - m_nAt;
            const std::int64_t nTake = std::min({n, m_owner.m_nPiece, nLeft});
            std::copy_n(m_owner.m_text.begin() + m_nAt, nTake, p);
            m_nAt += nTake;
            return nTake;
        }
        bool Rewind() override
        {
            if (!m_bRewindable)
                return false;
            ++m_owner.m_nRewinds;
            m_nAt = 0;
            return true;
        }
        bool ChangedSinceOpen() const override { return false; }

    private:
        CPieceReads& m_owner;
        bool m_bRewindable;
        std::int64_t m_nAt = 0;
    };
    class COutput : public IOutputFile {
    public:
        explicit COutput(CPieceReads& owner) : m_owner(owner) {}
        bool Write(const std::uint8_t* p, std::int64_t n) override
        {
            m_owner.m_written.insert(m_owner.m_written.end(), p, p + n);
            return true;
        }
        bool Commit() override { return true; }
        std::string Error() const override { return {}; }

    private:
        CPieceReads& m_owner;
    };

    const Bytes m_text;
    std::int64_t m_nPiece;
};

Bytes Repeat(const Bytes& unit, int n)
{
    Bytes out;
    for (int k = 0; k < n; ++k)
        out.insert(out.end(), unit.begin(), unit.end());
    return out;
}

CharsetId Whole(const Bytes& text)
{
    return DetectFileCharset(text.data(), static_cast<std::int64_t>(text.size()));
}

// What the job should write for a text taken as nSource, to UTF-8 with LF.
Bytes Expected(const Bytes& text, CharsetId nSource)
{
    const std::int64_t nMark =
        Charset::InputMarkLength(nSource, Charset::Utf8, text.data(), static_cast<std::int64_t>(text.size()));
    return harness::RunConvert(Bytes(text.begin() + nMark, text.end()), nSource, Charset::Utf8, NewLine::Lf);
}

// Runs the job on the text; returns the source it took.
CharsetId RunJob(CPieceReads& disk, bool bPipe, std::int64_t nHoldLimit)
{
    CConversionJob::Request request;
    request.strInput = bPipe ? CConversionJob::kStandardStream : "in";
    request.strOutput = "out";
    request.nTarget = Charset::Utf8;
    request.nNLCode = NewLine::Lf;
    request.nHoldLimit = nHoldLimit;
    CharsetId nUsed = Charset::None;
    std::string strReason;
    EXPECT_EQ(CConversionJob(disk).Run(request, &nUsed, &strReason), CConversionJob::Result::Succeeded) << strReason;
    return nUsed;
}

struct BoundaryCase {
    const char* pszName;
    Bytes text;
    CharsetId expected;
};

std::vector<BoundaryCase> BoundaryCases()
{
    return {
        // Forms of two, three and four bytes after one ASCII byte.
        {"Utf8", Repeat(FromHex("78 E3 81 82 E6 BC A2 C3 A9 F0 A0 AE B7 0A"), 12), Charset::Utf8},
        // ﾒﾓ: first, then JIS X 0212 and hiragana.
        {"EucJpSingleShifts", Repeat(FromHex("8E D2 8E D3 3A 20 8F AB A1 A4 B3 A4 EC 0A"), 12), Charset::EucJp},
        // ｶﾅ first, then pairs whose trail bytes look like ASCII.
        {"ShiftJisPairs", Repeat(FromHex("B6 C5 20 82 B1 82 EA 88 9F 95 5C 0D 0A"), 12), Charset::ShiftJis},
        {"Jis", Repeat(FromHex("1B 24 42 24 22 30 21 1B 28 42 41 0D 0A"), 12), Charset::Jis},
        // Decided only at the end: UTF-8 to the last byte, then a stray one.
        {"Utf8UntilTheEnd", [] {
             Bytes text = Repeat(FromHex("E3 81 82 41"), 40);
             text.push_back(0x82);
             return text;
         }(),
         Charset::ShiftJis},
    };
}

TEST(DetectingRead, EveryReadSizeAndHoldLimitGiveTheOneAnswer)
{
    for (const BoundaryCase& c : BoundaryCases()) {
        SCOPED_TRACE(c.pszName);
        ASSERT_EQ(Whole(c.text), c.expected);
        const Bytes expected = Expected(c.text, c.expected);
        const std::int64_t nSize = static_cast<std::int64_t>(c.text.size());
        for (const std::int64_t nPiece : {1, 2, 3, 5, 64, 1 << 20}) {
            for (std::int64_t nHold = 1; nHold <= nSize + 1; ++nHold) {
                SCOPED_TRACE(testing::Message() << "reads of " << nPiece << ", hold " << nHold);
                CPieceReads disk(c.text, nPiece);
                ASSERT_EQ(RunJob(disk, false, nHold), c.expected);
                ASSERT_TRUE(harness::SameBytes(disk.m_written, expected));
                if (nHold < nSize)
                    continue; // a pipe is decided from what it held: below
                ASSERT_EQ(RunJob(disk, true, nHold), c.expected);
                ASSERT_TRUE(harness::SameBytes(disk.m_written, expected));
            }
        }
    }
}

// A pipe is decided from the bytes it holds, as if they were the whole
// text, and all of it is converted; a file from all of it.
TEST(DetectingRead, APipeIsDecidedFromWhatItHolds)
{
    Bytes text = Repeat(FromHex("E3 81 82 41"), 40);
    text.push_back(0x82);
    for (const std::int64_t nHold : {4, 5, 6, 7, 100}) {
        CPieceReads disk(text, 3);
        EXPECT_EQ(RunJob(disk, true, nHold), Charset::Utf8) << nHold;
        EXPECT_TRUE(harness::SameBytes(disk.m_written, Expected(text, Charset::Utf8)));
        EXPECT_EQ(RunJob(disk, false, nHold), Charset::ShiftJis) << nHold;
        EXPECT_EQ(disk.m_nRewinds, 2) << "the file is read on without holding, then once from its start";
    }
    // A file decided within the hold is not read twice.
    CPieceReads disk(FromHex("82 A0 41 42"), 1);
    EXPECT_EQ(RunJob(disk, false, 3), Charset::ShiftJis);
    EXPECT_EQ(disk.m_nRewinds, 0);
}

// Detection that holds nothing (the window's) gives the job's answer.
TEST(DetectingRead, HoldingNothingGivesTheSameAnswer)
{
    for (const BoundaryCase& c : BoundaryCases()) {
        for (const std::int64_t nPiece : {1, 3, 1 << 20}) {
            CPieceReads disk(c.text, nPiece);
            std::unique_ptr<IFileSystem::IInputFile> input = disk.OpenInput("in", nullptr);
            const DetectedInput detected = DetectInput(*input, 4096, false, 1);
            EXPECT_EQ(detected.nCharset, c.expected) << c.pszName << ", reads of " << nPiece;
            EXPECT_TRUE(detected.held.empty());
        }
    }
}

// Standard input handed over part-read: the text is what follows, and when
// the hold is too small for it, it is read again from there, not from 0.
TEST(DetectingRead, StandardInputFromWhereItStands)
{
    std::string strDir = (fs::temp_directory_path() / "mojiro-detect-XXXXXX").string();
    ASSERT_NE(::mkdtemp(strDir.data()), nullptr);
    const fs::path in = fs::path(strDir) / "in";
    const fs::path out = fs::path(strDir) / "out";
    const Bytes skipped = FromHex("FF FE 0A"); // read by someone else: Unicode, if it counted
    // UTF-8 to its last byte: read to the end before it is decided.
    Bytes text = Repeat(FromHex("E3 81 82 41"), 40);
    text.push_back(0x82);
    Bytes file = skipped;
    file.insert(file.end(), text.begin(), text.end());
    std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                               static_cast<std::streamsize>(file.size()));
    const int nSaved = ::dup(STDIN_FILENO);
    for (const std::int64_t nHold : {std::int64_t{8}, CConversionJob::kHoldLimit}) {
        const int fd = ::open(in.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::lseek(fd, static_cast<off_t>(skipped.size()), SEEK_SET), static_cast<off_t>(skipped.size()));
        ASSERT_EQ(::dup2(fd, STDIN_FILENO), STDIN_FILENO);
        ::close(fd);
        CConversionJob::Request request;
        request.strInput = CConversionJob::kStandardStream;
        request.strOutput = out.string();
        request.nTarget = Charset::Utf8;
        request.nNLCode = NewLine::Lf;
        request.nHoldLimit = nHold;
        CharsetId nUsed = Charset::None;
        std::string strReason;
        EXPECT_EQ(CConversionJob(RealFileSystem()).Run(request, &nUsed, &strReason),
                  CConversionJob::Result::Succeeded)
            << strReason;
        EXPECT_EQ(nUsed, Charset::ShiftJis);
        std::ifstream got(out, std::ios::binary);
        EXPECT_TRUE(harness::SameBytes(Bytes(std::istreambuf_iterator<char>(got), std::istreambuf_iterator<char>()),
                                       Expected(text, Charset::ShiftJis)))
            << "hold " << nHold;
    }
    ::dup2(nSaved, STDIN_FILENO);
    ::close(nSaved);
    fs::remove_all(strDir);
}

} // namespace
