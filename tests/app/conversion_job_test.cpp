// The job against the real disk: files of several blocks in every cell give
// the whole-text conversion with the file marks, threaded or not; a read that
// fails or a cancel half-way leaves the output as it was.
#include "app/conversion_job.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <thread>

#include "engine_harness.h"
#include "random_text.h"
#include "tests/support/real_disk.h"

namespace {

namespace fs = std::filesystem;
using model::Bytes;

class ConversionJob : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string strTemplate = (fs::temp_directory_path() / "mojiro-job-XXXXXX").string();
        ASSERT_NE(::mkdtemp(strTemplate.data()), nullptr);
        m_dir = strTemplate;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Path(const char* pszName) const { return (m_dir / pszName).string(); }
    static void Write(const std::string& strPath, const Bytes& bytes)
    {
        std::ofstream(strPath, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                       static_cast<std::streamsize>(bytes.size()));
    }
    static Bytes Read(const std::string& strPath)
    {
        std::ifstream in(strPath, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::vector<std::string> Listing() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path m_dir;
};

// What the whole-text converter gives, with the marks the files carry.
Bytes Expected(const Bytes& file, CharsetId source, CharsetId target, NLCode code)
{
    const std::int64_t nMark =
        Charset::InputMarkLength(source, target, file.data(), static_cast<std::int64_t>(file.size()));
    Bytes out = harness::RunConvert(Bytes(file.begin() + nMark, file.end()), source, target, code, "_");
    if (target == Charset::Unicode)
        out.insert(out.begin(), {0xFF, 0xFE});
    return out;
}

TEST_F(ConversionJob, FilesOfManyBlocksMatchTheWholeText)
{
    CRandomText random(2801);
    for (CharsetId source = 0; source < Charset::Count; ++source) {
        Bytes text = random.JapaneseText(source, (3 << 20) / 2);
        if (source == Charset::Unicode)
            text.insert(text.begin(), {0xFF, 0xFE});
        Write(Path("in"), text);
        for (CharsetId target = 0; target < Charset::Count; ++target) {
            for (const CharsetId given : {source, Charset::None}) {
                SCOPED_TRACE(testing::Message() << Charset::kShortNames[source] << "->" << Charset::kShortNames[target]
                                                << (given == Charset::None ? " detected" : ""));
                CConversionJob::Request request;
                request.strInput = Path("in");
                request.strOutput = Path("out");
                request.nSource = given;
                request.nTarget = target;
                request.nNLCode = NewLine::Lf;
                CharsetId used = Charset::None;
                std::string strReason;
                ASSERT_EQ(CConversionJob(RealFileSystem()).Run(request, &used, &strReason),
                          CConversionJob::Result::Succeeded)
                    << strReason;
                if (given == Charset::None) {
                    const CharsetId detected = DetectFileCharset(text.data(), static_cast<std::int64_t>(text.size()));
                    EXPECT_EQ(used, detected == Charset::None ? Charset::ShiftJis : detected);
                }
                ASSERT_TRUE(harness::SameBytes(Read(Path("out")), Expected(text, used, target, NewLine::Lf)));
            }
        }
    }
}

TEST_F(ConversionJob, ThreadsGiveTheOneThreadBytes)
{
    CRandomText random(2802);
    const Bytes text = random.JapaneseText(Charset::ShiftJis, 20 << 20);
    Write(Path("in"), text);
    for (CharsetId target : {Charset::ShiftJis, Charset::EucJp, Charset::Jis, Charset::Unicode, Charset::Utf8}) {
        CConversionJob::Request request;
        request.strInput = Path("in");
        request.strOutput = Path("out");
        request.nSource = Charset::ShiftJis;
        request.nTarget = target;
        request.nNLCode = NewLine::CrLf;
        request.nThreads = 3;
        CharsetId used = Charset::None;
        std::string strReason;
        ASSERT_EQ(CConversionJob(RealFileSystem()).Run(request, &used, &strReason), CConversionJob::Result::Succeeded);
        EXPECT_TRUE(harness::SameBytes(Read(Path("out")), Expected(text, Charset::ShiftJis, target, NewLine::CrLf)));
    }
}

// The real disk, but after the first block of an input comes what
// m_afterFirst does: a failed read, or another process changing the file.
class CChangingReads : public CRealDisk {
public:
    std::function<void(const std::string& strPath)> m_afterFirst;
    std::unique_ptr<IInputFile> OpenInput(const std::string& strPath, FileStamp* pStamp) override
    {
        class CInput : public IInputFile {
        public:
            CInput(std::unique_ptr<IInputFile> real, std::function<void()> afterFirst)
                : m_real(std::move(real)), m_afterFirst(std::move(afterFirst))
            {
            }
            std::int64_t Read(std::uint8_t* p, std::int64_t n) override
            {
                if (m_nCalls++ == 1)
                    m_afterFirst();
                return m_real->Read(p, n);
            }
            bool Rewind() override { return m_real->Rewind(); }
            bool ChangedSinceOpen() const override { return m_real->ChangedSinceOpen(); }
            std::unique_ptr<IInputFile> m_real;
            std::function<void()> m_afterFirst;
            int m_nCalls = 0;
        };
        return std::make_unique<CInput>(CRealDisk::OpenInput(strPath, pStamp), [this, strPath] { m_afterFirst(strPath); });
    }
};

TEST_F(ConversionJob, AFailedReadOrACancelLeavesTheOutputAsItWas)
{
    Write(Path("in"), Bytes(3 << 20, 'a'));
    CChangingReads failing;
    failing.m_afterFirst = [](const std::string&) { throw CFileException("in", "Input/output error"); };
    for (const bool bCancel : {false, true}) {
        Write(Path("out"), Bytes{'o', 'l', 'd'});
        CConversionJob::Request request;
        request.strInput = Path("in");
        request.strOutput = Path("out");
        request.nSource = Charset::ShiftJis;
        request.nTarget = Charset::Utf8;
        if (bCancel)
            request.progress = [](std::int64_t nDone, std::int64_t) { return nDone < (1 << 20); };
        CharsetId used = Charset::None;
        std::string strReason;
        const CConversionJob::Result result =
            CConversionJob(bCancel ? RealFileSystem() : failing).Run(request, &used, &strReason);
        EXPECT_EQ(result, bCancel ? CConversionJob::Result::Cancelled : CConversionJob::Result::InputFailed);
        EXPECT_EQ(Read(Path("out")), (Bytes{'o', 'l', 'd'}));
        EXPECT_EQ(Listing(), (std::vector<std::string>{"in", "out"}));
    }
}

// A file truncated, grown or rewritten while it is read gives no output at
// all, as a new file or in place, and says why.
TEST_F(ConversionJob, AnInputChangedWhileItIsReadIsWrittenNowhere)
{
    const struct {
        const char* pszChange;
        std::function<void(const std::string&)> change;
    } cases[] = {
        {"truncated", [](const std::string& strPath) { fs::resize_file(strPath, 1 << 20); }},
        {"grown", [](const std::string& strPath) { std::ofstream(strPath, std::ios::app) << "more"; }},
        {"rewritten at its end",
         [](const std::string& strPath) {
             std::this_thread::sleep_for(std::chrono::milliseconds(20)); // past the clock's tick
             std::fstream file(strPath, std::ios::in | std::ios::out | std::ios::binary);
             file.seekp((3 << 20) - 1);
             file.put('z');
         }},
    };
    for (const auto& c : cases) {
        for (const char* pszOutput : {"out", "in"}) {
            SCOPED_TRACE(std::string(c.pszChange) + " -> " + pszOutput);
            Write(Path("in"), Bytes(3 << 20, 'a'));
            fs::remove(Path("out"));
            CChangingReads changing;
            changing.m_afterFirst = c.change;
            CConversionJob::Request request;
            request.strInput = Path("in");
            request.strOutput = Path(pszOutput);
            request.nSource = Charset::ShiftJis;
            request.nTarget = Charset::Utf8;
            request.checkOutput = [&](const IFileSystem::FileStamp&, bool* pbInPlace, std::string*) {
                *pbInPlace = std::string(pszOutput) == "in";
                return true;
            };
            CharsetId used = Charset::None;
            std::string strReason;
            EXPECT_EQ(CConversionJob(changing).Run(request, &used, &strReason), CConversionJob::Result::InputFailed);
            EXPECT_EQ(strReason, "changed while it was read");
            EXPECT_EQ(Listing(), (std::vector<std::string>{"in"}));
        }
    }
}

} // namespace
