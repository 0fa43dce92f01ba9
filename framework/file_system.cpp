#include "file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

namespace {

std::string ErrorText(int nErrno) { return std::strerror(nErrno); }

// Closes on scope exit; Release hands the descriptor back for a checked close.
class CFileDescriptor {
public:
    explicit CFileDescriptor(int fd) : m_fd(fd) {}
    ~CFileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;
    int Get() const { return m_fd; }
    int Release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

// Follows symbolic links to the file that is really written, so that the
// link itself survives the replacement. A dangling link names the file to
// create. Gives up (ELOOP) after as many hops as the kernel allows.
bool ResolveLinks(const std::string& strPath, std::string* pResolved, int* pErrno)
{
    std::string strCurrent = strPath;
    for (int nHops = 0; nHops < 40; ++nHops) {
        struct stat st;
        if (::lstat(strCurrent.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            *pResolved = strCurrent;
            return true;
        }
        std::string strTarget(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
        const ssize_t n = ::readlink(strCurrent.c_str(), strTarget.data(), strTarget.size());
        if (n < 0) {
            *pErrno = errno;
            return false;
        }
        strTarget.resize(static_cast<std::size_t>(n));
        if (!strTarget.empty() && strTarget[0] != '/') {
            const std::size_t nSlash = strCurrent.rfind('/');
            if (nSlash != std::string::npos)
                strTarget = strCurrent.substr(0, nSlash + 1) + strTarget;
        }
        strCurrent = std::move(strTarget);
    }
    *pErrno = ELOOP;
    return false;
}

// The temporary file being written, so that an interrupt (Ctrl-C, a kill)
// does not leave it behind. A fixed buffer: the handler may only read it.
char g_szPendingTemp[PATH_MAX + 1];
volatile std::sig_atomic_t g_bPendingTemp = 0;

void RemovePendingTempAndDie(int nSignal)
{
    if (g_bPendingTemp)
        ::unlink(g_szPendingTemp);
    ::signal(nSignal, SIG_DFL);
    ::raise(nSignal);
}

// Only where nobody else has claimed the signal.
void InstallInterruptCleanup()
{
    for (int nSignal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current = {};
        if (::sigaction(nSignal, nullptr, &current) == 0 && current.sa_handler == SIG_DFL &&
            !(current.sa_flags & SA_SIGINFO)) {
            struct sigaction action = {};
            action.sa_handler = RemovePendingTempAndDie;
            sigemptyset(&action.sa_mask);
            ::sigaction(nSignal, &action, nullptr);
        }
    }
}

class CPendingTemp {
public:
    explicit CPendingTemp(const std::string& strPath)
    {
        if (strPath.size() < sizeof g_szPendingTemp) {
            std::memcpy(g_szPendingTemp, strPath.c_str(), strPath.size() + 1);
            g_bPendingTemp = 1;
        }
    }
    ~CPendingTemp() { g_bPendingTemp = 0; }
    CPendingTemp(const CPendingTemp&) = delete;
    CPendingTemp& operator=(const CPendingTemp&) = delete;
};

mode_t ProcessUmask()
{
    // Read once, before anything else could race with the two calls.
    static const mode_t mask = [] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    return mask;
}

bool WriteAll(int fd, const std::uint8_t* pData, std::int64_t nLength, int* pErrno)
{
    while (nLength > 0) {
        const std::size_t nChunk = static_cast<std::size_t>(nLength > (1 << 30) ? (1 << 30) : nLength);
        const ssize_t n = ::write(fd, pData, nChunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *pErrno = errno;
            return false;
        }
        if (n == 0) {
            *pErrno = EIO;
            return false;
        }
        pData += n;
        nLength -= n;
    }
    return true;
}

class CRealFileSystem : public IFileSystem {
public:
    CRealFileSystem()
    {
        (void)ProcessUmask();
        InstallInterruptCleanup();
    }

    CByteBuffer ReadWholeFile(const std::string& strPath) override
    {
        // Non-blocking only so that opening a FIFO does not wait for a writer;
        // regular files ignore the flag.
        CFileDescriptor file(::open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
        if (file.Get() < 0)
            throw CFileException(strPath, ErrorText(errno));
        struct stat st;
        if (::fstat(file.Get(), &st) != 0)
            throw CFileException(strPath, ErrorText(errno));
        // Pipes and devices have no length to size the buffer by, and some
        // never end.
        if (!S_ISREG(st.st_mode))
            throw CFileException(strPath, S_ISDIR(st.st_mode) ? ErrorText(EISDIR) : "not a regular file");
        CByteBuffer buffer = CByteBuffer::Allocate(static_cast<std::int64_t>(st.st_size));
        std::int64_t nDone = 0;
        while (nDone < buffer.Size()) {
            const std::int64_t nLeft = buffer.Size() - nDone;
            const ssize_t n = ::read(file.Get(), buffer.Data() + nDone,
                                     static_cast<std::size_t>(nLeft > (1 << 30) ? (1 << 30) : nLeft));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                throw CFileException(strPath, ErrorText(errno));
            }
            if (n == 0)
                break; // shrank since fstat: the file is what could be read
            nDone += n;
        }
        buffer.Trim(nDone);
        return buffer;
    }

    bool TryReadWholeFile(const std::string& strPath, CByteBuffer* pContents) override
    {
        try {
            *pContents = ReadWholeFile(strPath);
            return true;
        } catch (const CFileException&) {
            return false;
        }
    }

    bool WriteWholeFile(const std::string& strPath, const std::vector<Part>& parts, std::string* pstrError) override
    {
        int nErrno = 0;
        const bool bOk = Write(strPath, parts, &nErrno, pstrError);
        if (!bOk && pstrError != nullptr && pstrError->empty())
            *pstrError = ErrorText(nErrno);
        return bOk;
    }

private:
    // A temporary file beside the target, renamed over it once complete: a
    // failed write leaves the old file as it was, and an input named as its
    // own output is never truncated before the new content exists.
    static bool Write(const std::string& strPath, const std::vector<Part>& parts, int* pErrno, std::string* pstrError)
    {
        std::string strTarget;
        if (!ResolveLinks(strPath, &strTarget, pErrno))
            return false;

        struct stat st;
        const bool bExists = ::stat(strTarget.c_str(), &st) == 0;
        if (bExists) {
            if (!S_ISREG(st.st_mode)) {
                *pErrno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
                if (!S_ISDIR(st.st_mode) && pstrError != nullptr)
                    *pstrError = "not a regular file";
                return false;
            }
            // A file its owner made read-only stays unwritten, as an
            // in-place write would leave it.
            if (::faccessat(AT_FDCWD, strTarget.c_str(), W_OK, AT_EACCESS) != 0) {
                *pErrno = errno;
                return false;
            }
        } else if (errno != ENOENT) {
            *pErrno = errno;
            return false;
        }

        const std::size_t nSlash = strTarget.rfind('/');
        const std::string strDir = nSlash == std::string::npos ? std::string() : strTarget.substr(0, nSlash + 1);
        std::string strBase = nSlash == std::string::npos ? strTarget : strTarget.substr(nSlash + 1);
        if (strBase.size() > 200)
            strBase.resize(200); // room for the marks within NAME_MAX
        std::string strTemp = strDir + "." + strBase + ".mojiro-XXXXXX";

        CFileDescriptor file(::mkostemp(strTemp.data(), O_CLOEXEC));
        if (file.Get() < 0) {
            *pErrno = errno;
            return false;
        }
        const CPendingTemp pending(strTemp);
        bool bOk = true;
        const mode_t mode = bExists ? (st.st_mode & 07777) : (0666 & ~ProcessUmask());
        if (::fchmod(file.Get(), mode) != 0) {
            *pErrno = errno;
            bOk = false;
        }
        if (bOk && bExists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid()))
            (void)::fchown(file.Get(), st.st_uid, st.st_gid); // best effort: only root may give files away
        for (const Part& part : parts) {
            if (!bOk)
                break;
            bOk = WriteAll(file.Get(), part.pData, part.nLength, pErrno);
        }
        // Only a replacement needs the data on disk before the rename: a crash
        // could otherwise leave neither the old content nor the new. A new
        // file risks nothing, and skipping the sync is what keeps a run over
        // thousands of small files fast.
        if (bOk && bExists && ::fsync(file.Get()) != 0) {
            *pErrno = errno;
            bOk = false;
        }
        if (::close(file.Release()) != 0 && bOk) {
            *pErrno = errno;
            bOk = false;
        }
        if (bOk && ::rename(strTemp.c_str(), strTarget.c_str()) != 0) {
            *pErrno = errno;
            bOk = false;
        }
        if (!bOk)
            ::unlink(strTemp.c_str());
        return bOk;
    }
};

} // namespace

IFileSystem& RealFileSystem()
{
    static CRealFileSystem fileSystem;
    return fileSystem;
}
