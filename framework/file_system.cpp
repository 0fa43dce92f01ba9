#include "file_system.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string ErrorText(int nErrno) { return std::strerror(nErrno); }

constexpr const char* kChangedSinceRead = "changed since it was read; left as it is";
constexpr const char* kLinkChanged = "the symbolic link changed while it was followed";

// Closes on scope exit; Release hands the descriptor back for a checked close.
class CFileDescriptor {
public:
    explicit CFileDescriptor(int fd = -1) : m_fd(fd) {}
    ~CFileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;
    int Get() const { return m_fd; }
    void Reset(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    int Release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

IFileSystem::FileStamp StampOf(const struct stat& st)
{
    IFileSystem::FileStamp stamp;
    stamp.nDevice = static_cast<std::uint64_t>(st.st_dev);
    stamp.nInode = static_cast<std::uint64_t>(st.st_ino);
    stamp.nSize = static_cast<std::int64_t>(st.st_size);
    stamp.nModifiedSeconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    stamp.nModifiedNanoseconds = static_cast<std::int64_t>(st.st_mtim.tv_nsec);
    return stamp;
}

// Reads the chain of symbolic links by hand, to find the directory the new
// file must be made in (a rename onto the link would replace the link). The
// kernel, not this, decides whether the chain may be followed at all.
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

// The temporaries that bear a name while they are written or renamed, so
// that a terminating signal does not leave them behind; several outputs may
// be written at once. Fixed storage: the handler may only read it.
struct CPendingSlot {
    std::atomic<int> nState{0}; // 0 free, 1 being filled, 2 names a temporary
    int nDir = -1;
    char szName[NAME_MAX + 1];
};
constexpr int kPendingSlots = 64;
CPendingSlot g_pending[kPendingSlots];

void RemovePendingTempAndDie(int nSignal)
{
    for (CPendingSlot& slot : g_pending) {
        if (slot.nState.load() == 2)
            ::unlinkat(slot.nDir, slot.szName, 0);
    }
    ::signal(nSignal, SIG_DFL);
    ::raise(nSignal); // delivered once the handler returns, with the default action
}

// Every signal that ends a process by default, except the program's own
// faults (a crash leaves no state worth trusting).
const sigset_t& TerminatingSignals()
{
    static const sigset_t set = [] {
        sigset_t s;
        sigemptyset(&s);
        for (int nSignal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF,
                            SIGXCPU, SIGIO, SIGPWR, SIGSTKFLT})
            sigaddset(&s, nSignal);
        for (int nSignal = SIGRTMIN; nSignal <= SIGRTMAX; ++nSignal)
            sigaddset(&s, nSignal);
        return s;
    }();
    return set;
}

// Only where nobody else has claimed the signal.
void InstallInterruptCleanup()
{
    for (int nSignal = 1; nSignal < NSIG; ++nSignal) {
        if (sigismember(&TerminatingSignals(), nSignal) != 1)
            continue;
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

// Holds the terminating signals back while a name is given or taken, so that
// no signal falls between creating a name and recording it.
class CSignalsHeld {
public:
    CSignalsHeld() { ::pthread_sigmask(SIG_BLOCK, &TerminatingSignals(), &m_previous); }
    ~CSignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
    CSignalsHeld(const CSignalsHeld&) = delete;
    CSignalsHeld& operator=(const CSignalsHeld&) = delete;

private:
    sigset_t m_previous;
};

class CPendingTemp {
public:
    CPendingTemp() = default;
    ~CPendingTemp() { Clear(); }
    CPendingTemp(const CPendingTemp&) = delete;
    CPendingTemp& operator=(const CPendingTemp&) = delete;
    void Set(int nDir, const std::string& strName)
    {
        Clear();
        for (CPendingSlot& slot : g_pending) {
            int nFree = 0;
            if (!slot.nState.compare_exchange_strong(nFree, 1))
                continue;
            std::memcpy(slot.szName, strName.c_str(), std::min<std::size_t>(strName.size() + 1, NAME_MAX + 1));
            slot.szName[NAME_MAX] = '\0';
            slot.nDir = nDir;
            slot.nState.store(2);
            m_pSlot = &slot;
            return;
        }
    }
    void Clear()
    {
        if (m_pSlot != nullptr)
            m_pSlot->nState.store(0);
        m_pSlot = nullptr;
    }

private:
    CPendingSlot* m_pSlot = nullptr;
};

// ".NAME.mojiro-XXXXXX", within NAME_MAX.
std::string TempName(const std::string& strBase)
{
    thread_local std::minstd_rand s_random(std::random_device{}());
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string strName(1, '.');
    strName.append(strBase, 0, 200).append(".mojiro-");
    for (int i = 0; i < 6; ++i)
        strName += kLetters[s_random() % (sizeof kLetters - 1)];
    return strName;
}

// Gives an unnamed file (O_TMPFILE) a name in the directory.
int LinkUnnamed(int fd, int nDir, const std::string& strName)
{
    char szSelf[40];
    std::snprintf(szSelf, sizeof szSelf, "/proc/self/fd/%d", fd);
    if (::linkat(AT_FDCWD, szSelf, nDir, strName.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    return errno;
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

// One extended attribute call that fills a growing buffer: list or get.
template <typename Call>
bool FetchAttribute(std::vector<char>* pBuffer, Call call)
{
    for (int nTry = 0; nTry < 3; ++nTry) {
        const ssize_t nSize = call(nullptr, 0);
        if (nSize < 0)
            return false;
        if (nSize == 0) {
            pBuffer->clear();
            return true;
        }
        pBuffer->resize(static_cast<std::size_t>(nSize));
        const ssize_t n = call(pBuffer->data(), pBuffer->size());
        if (n >= 0) {
            pBuffer->resize(static_cast<std::size_t>(n));
            return true;
        }
        if (errno != ERANGE)
            return false;
    }
    return false;
}

// User attributes and the ACL of the old file, as far as the process may set
// them; a file system without attributes has none to keep.
void CopyAttributes(int fd, const std::string& strFrom)
{
    static constexpr const char* kAcl = "system.posix_acl_access";
    std::vector<char> names;
    bool bHadAcl = false;
    if (FetchAttribute(&names, [&](char* p, std::size_t n) { return ::llistxattr(strFrom.c_str(), p, n); })) {
        std::vector<char> value;
        for (std::size_t i = 0; i < names.size(); i += std::strlen(&names[i]) + 1) {
            const char* pszName = &names[i];
            const bool bAcl = std::strcmp(pszName, kAcl) == 0;
            if (!bAcl && std::strncmp(pszName, "user.", 5) != 0)
                continue;
            if (!FetchAttribute(&value,
                                [&](char* p, std::size_t n) { return ::lgetxattr(strFrom.c_str(), pszName, p, n); }))
                continue;
            if (::fsetxattr(fd, pszName, value.data(), value.size(), 0) == 0 && bAcl)
                bHadAcl = true;
        }
    }
    // An ACL the directory's default gave the new file is not the old file's.
    if (!bHadAcl)
        (void)::fremovexattr(fd, kAcl);
}

// Owner and group first, as a change of owner clears setuid and setgid; then
// the attributes; the mode last. A setuid or setgid bit is kept only with the
// owner or group it was given for.
bool CopyMetadata(int fd, const struct stat& old, const std::string& strFrom, int* pErrno)
{
    if (::fchown(fd, old.st_uid, old.st_gid) != 0)
        (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid); // a member may still give the group
    struct stat now;
    if (::fstat(fd, &now) != 0) {
        *pErrno = errno;
        return false;
    }
    CopyAttributes(fd, strFrom);
    mode_t mode = old.st_mode & 07777;
    if (now.st_uid != old.st_uid)
        mode &= ~static_cast<mode_t>(S_ISUID);
    if (now.st_gid != old.st_gid)
        mode &= ~static_cast<mode_t>(S_ISGID);
    if (::fchmod(fd, mode) != 0) {
        *pErrno = errno;
        return false;
    }
    return true;
}

// The file a write replaces or creates: its directory (open, so that every
// later step names the same directory), its name there, and what is there now.
struct CTarget {
    CFileDescriptor dir;
    std::string strName;
    std::string strPath; // directory and name, for the attribute calls
    bool bExists = false;
    struct stat st = {};
};

// A symbolic link is followed only where the kernel lets this process follow
// it (fs.protected_symlinks refuses another user's link in a sticky
// world-writable directory): the kernel opens the file through the link, and
// the name found by hand must reach that same file.
bool FindTarget(const std::string& strPath, CTarget* pTarget, int* pErrno, std::string* pstrError)
{
    std::string strTarget = strPath;
    bool bLink = false;
    bool bThroughLink = false;
    struct stat stThrough = {};
    struct stat stLink;
    if (::lstat(strPath.c_str(), &stLink) == 0 && S_ISLNK(stLink.st_mode)) {
        bLink = true;
        if (!ResolveLinks(strPath, &strTarget, pErrno))
            return false;
        const CFileDescriptor through(::open(strPath.c_str(), O_PATH | O_CLOEXEC));
        if (through.Get() >= 0) {
            bThroughLink = true;
            if (::fstat(through.Get(), &stThrough) != 0) {
                *pErrno = errno;
                return false;
            }
        } else if (errno != ENOENT) { // ENOENT: followed, and the file is to be made
            *pErrno = errno;
            return false;
        }
    }

    const std::size_t nSlash = strTarget.rfind('/');
    const std::string strDir = nSlash == std::string::npos ? "." : nSlash == 0 ? "/" : strTarget.substr(0, nSlash);
    pTarget->strName = nSlash == std::string::npos ? strTarget : strTarget.substr(nSlash + 1);
    pTarget->strPath = strTarget;
    if (pTarget->strName.empty()) {
        *pErrno = EISDIR;
        return false;
    }
    pTarget->dir.Reset(::open(strDir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (pTarget->dir.Get() < 0) {
        *pErrno = errno;
        return false;
    }
    pTarget->bExists = ::fstatat(pTarget->dir.Get(), pTarget->strName.c_str(), &pTarget->st, AT_SYMLINK_NOFOLLOW) == 0;
    if (!pTarget->bExists && errno != ENOENT) {
        *pErrno = errno;
        return false;
    }
    const bool bSameFile = bThroughLink && pTarget->bExists && stThrough.st_dev == pTarget->st.st_dev &&
                           stThrough.st_ino == pTarget->st.st_ino;
    if (bLink && (bThroughLink != pTarget->bExists || (bThroughLink && !bSameFile))) {
        *pErrno = EAGAIN;
        if (pstrError != nullptr)
            *pstrError = kLinkChanged;
        return false;
    }
    return true;
}

bool IsUnchanged(const CTarget& target, const IFileSystem::FileStamp& stamp)
{
    struct stat st;
    return ::fstatat(target.dir.Get(), target.strName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
           StampOf(st) == stamp;
}

// Opens a regular file for reading; throws CFileException.
int OpenRegularForReading(const std::string& strPath, IFileSystem::FileStamp* pStamp)
{
    // Non-blocking only so that opening a FIFO does not wait for a writer;
    // regular files ignore the flag.
    CFileDescriptor file(::open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.Get() < 0)
        throw CFileException(strPath, ErrorText(errno));
    struct stat st;
    if (::fstat(file.Get(), &st) != 0)
        throw CFileException(strPath, ErrorText(errno));
    // Pipes and devices given by name may never end; standard input is the
    // way to convert a stream.
    if (!S_ISREG(st.st_mode))
        throw CFileException(strPath, S_ISDIR(st.st_mode) ? ErrorText(EISDIR) : "not a regular file");
    if (pStamp != nullptr)
        *pStamp = StampOf(st);
    return file.Release();
}

class CRealInputFile final : public IFileSystem::IInputFile {
public:
    // pStamp: the file as it was opened; null for a stream. Standard input
    // may be handed over part-read: its text starts where it stands, and
    // only a regular file can be read again from there.
    CRealInputFile(int fd, bool bOwned, std::string strName, const IFileSystem::FileStamp* pStamp)
        : m_fd(fd), m_bOwned(bOwned), m_strName(std::move(strName)), m_bStamped(pStamp != nullptr)
    {
        if (m_bStamped)
            m_stamp = *pStamp;
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
            m_nStart = ::lseek(fd, 0, SEEK_CUR);
    }
    ~CRealInputFile() override
    {
        if (m_bOwned)
            ::close(m_fd);
    }
    CRealInputFile(const CRealInputFile&) = delete;
    CRealInputFile& operator=(const CRealInputFile&) = delete;

    std::int64_t Read(std::uint8_t* pData, std::int64_t nLength) override
    {
        for (;;) {
            const ssize_t n = ::read(m_fd, pData, static_cast<std::size_t>(std::min<std::int64_t>(nLength, 1 << 30)));
            if (n >= 0)
                return n;
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) {
                // A non-blocking descriptor handed to us: wait for data.
                struct pollfd poller = {m_fd, POLLIN, 0};
                ::poll(&poller, 1, -1);
                continue;
            }
            throw CFileException(m_strName, ErrorText(errno));
        }
    }

    bool Rewind() override { return m_nStart >= 0 && ::lseek(m_fd, m_nStart, SEEK_SET) == m_nStart; }

    bool ChangedSinceOpen() const override
    {
        struct stat st;
        return m_bStamped && (::fstat(m_fd, &st) != 0 || !(StampOf(st) == m_stamp));
    }

private:
    int m_fd;
    off_t m_nStart = -1;
    bool m_bOwned;
    std::string m_strName;
    bool m_bStamped;
    IFileSystem::FileStamp m_stamp;
};

class CStandardOutputFile final : public IFileSystem::IOutputFile {
public:
    bool Write(const std::uint8_t* pData, std::int64_t nLength) override
    {
        if (m_nErrno == 0)
            WriteAll(STDOUT_FILENO, pData, nLength, &m_nErrno);
        return m_nErrno == 0;
    }
    bool Commit() override { return m_nErrno == 0; }
    std::string Error() const override { return ErrorText(m_nErrno); }

private:
    int m_nErrno = 0;
};

// The new content is written in full to a file beside the target and only
// then put in its place: a failed write leaves the old file as it was, and
// an input named as its own output is never truncated before the new content
// exists. Where the file system allows, that file has no name until it is
// complete, so nothing (not even SIGKILL or a power cut) can leave a
// part-written file behind.
class CRealOutputFile final : public IFileSystem::IOutputFile {
public:
    CRealOutputFile() = default;
    ~CRealOutputFile() override
    {
        if (m_file.Get() < 0)
            return;
        const CSignalsHeld held;
        ::close(m_file.Release());
        if (!m_strTemp.empty() && !m_bUnnamed)
            ::unlinkat(m_target.dir.Get(), m_strTemp.c_str(), 0);
        m_pending.Clear();
    }
    CRealOutputFile(const CRealOutputFile&) = delete;
    CRealOutputFile& operator=(const CRealOutputFile&) = delete;

    bool Begin(bool bUnnamedFiles, const std::string& strPath, const IFileSystem::FileStamp* pUnchangedSince)
    {
        if (pUnchangedSince != nullptr) {
            m_unchangedSince = *pUnchangedSince;
            m_bCheckUnchanged = true;
        }
        if (!FindTarget(strPath, &m_target, &m_nErrno, &m_strError))
            return false;
        const int nDir = m_target.dir.Get();
        const char* pszName = m_target.strName.c_str();
        if (m_target.bExists) {
            if (!S_ISREG(m_target.st.st_mode)) {
                m_nErrno = S_ISDIR(m_target.st.st_mode) ? EISDIR : EINVAL;
                if (!S_ISDIR(m_target.st.st_mode))
                    m_strError = "not a regular file";
                return false;
            }
            // A file its owner made read-only stays unwritten, as an
            // in-place write would leave it.
            if (::faccessat(nDir, pszName, W_OK, AT_EACCESS) != 0) {
                m_nErrno = errno;
                return false;
            }
        }
        if (m_bCheckUnchanged && !IsUnchanged(m_target, m_unchangedSince)) {
            m_strError = kChangedSinceRead;
            return false;
        }
        // A replacement is private until it has the old file's mode; a new
        // file gets what the umask or the directory's default ACL gives.
        const mode_t nCreateMode = m_target.bExists ? 0600 : 0666;
        if (bUnnamedFiles) {
            m_file.Reset(::openat(nDir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, nCreateMode));
            if (m_file.Get() < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
                m_nErrno = errno;
                return false;
            }
        }
        m_bUnnamed = m_file.Get() >= 0;
        if (!m_bUnnamed) {
            const CSignalsHeld held;
            for (int nTry = 0; nTry < 100 && m_file.Get() < 0; ++nTry) {
                m_strTemp = TempName(m_target.strName);
                m_file.Reset(::openat(nDir, m_strTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                      nCreateMode));
                if (m_file.Get() < 0 && errno != EEXIST) {
                    m_nErrno = errno;
                    m_strTemp.clear();
                    return false;
                }
            }
            if (m_file.Get() < 0) {
                m_nErrno = EEXIST;
                m_strTemp.clear();
                return false;
            }
            m_pending.Set(nDir, m_strTemp);
        }
        return true;
    }

    bool Write(const std::uint8_t* pData, std::int64_t nLength) override
    {
        if (m_nErrno == 0 && m_strError.empty())
            WriteAll(m_file.Get(), pData, nLength, &m_nErrno);
        return m_nErrno == 0;
    }

    bool Commit() override
    {
        if (m_nErrno != 0 || !m_strError.empty() || m_file.Get() < 0)
            return false;
        const int nDir = m_target.dir.Get();
        const char* pszName = m_target.strName.c_str();
        bool bOk = true;
        if (m_target.bExists)
            bOk = CopyMetadata(m_file.Get(), m_target.st, m_target.strPath, &m_nErrno);
        // Only a replacement needs the data on disk before the rename: a crash
        // could otherwise leave neither the old content nor the new. A new
        // file risks nothing, and skipping the sync is what keeps a run over
        // thousands of small files fast.
        if (bOk && m_target.bExists && ::fsync(m_file.Get()) != 0) {
            m_nErrno = errno;
            bOk = false;
        }
        if (bOk && m_bCheckUnchanged && !IsUnchanged(m_target, m_unchangedSince)) {
            m_strError = kChangedSinceRead;
            bOk = false;
        }
        if (!bOk)
            return false; // the destructor takes the temporary away

        const CSignalsHeld held;
        if (m_bUnnamed) {
            // A new file takes its name at once; a replacement gets a name of
            // its own first, as only rename replaces atomically.
            int nError = m_target.bExists ? EEXIST : LinkUnnamed(m_file.Get(), nDir, m_target.strName);
            if (nError == EEXIST) {
                // Recorded before it exists: another thread may take the
                // signal while this one holds it back.
                for (int nTry = 0; nTry < 100 && nError == EEXIST; ++nTry) {
                    m_strTemp = TempName(m_target.strName);
                    m_pending.Set(nDir, m_strTemp);
                    nError = LinkUnnamed(m_file.Get(), nDir, m_strTemp);
                }
            }
            if (nError != 0) {
                m_nErrno = nError;
                m_strTemp.clear();
                return false;
            }
            m_bUnnamed = false; // named now: taken away on failure below
        }
        if (::close(m_file.Release()) != 0) {
            m_nErrno = errno;
            bOk = false;
        }
        const char* pszCreated = m_strTemp.empty() ? pszName : m_strTemp.c_str();
        if (bOk && !m_strTemp.empty() && ::renameat(nDir, m_strTemp.c_str(), nDir, pszName) != 0) {
            m_nErrno = errno;
            bOk = false;
        }
        if (!bOk)
            ::unlinkat(nDir, pszCreated, 0);
        m_pending.Clear();
        return bOk;
    }

    std::string Error() const override { return m_strError.empty() ? ErrorText(m_nErrno) : m_strError; }

private:
    CTarget m_target;
    CFileDescriptor m_file;
    CPendingTemp m_pending;
    std::string m_strTemp;
    bool m_bUnnamed = false;
    bool m_bCheckUnchanged = false;
    IFileSystem::FileStamp m_unchangedSince;
    int m_nErrno = 0;
    std::string m_strError;
};

class CRealFileSystem : public IFileSystem {
public:
    CRealFileSystem() : m_bUnnamedFiles(::access("/proc/self/fd", X_OK) == 0) { InstallInterruptCleanup(); }

    bool GetFileStamp(const std::string& strPath, FileStamp* pStamp) override
    {
        struct stat st;
        if (::stat(strPath.c_str(), &st) != 0)
            return false;
        *pStamp = StampOf(st);
        return true;
    }

    std::string FileKey(const std::string& strPath) override { return KeyOf(strPath, 0); }

    std::unique_ptr<IInputFile> OpenInput(const std::string& strPath, FileStamp* pStamp = nullptr) override
    {
        FileStamp stamp;
        CFileDescriptor file(OpenRegularForReading(strPath, &stamp));
        if (pStamp != nullptr)
            *pStamp = stamp;
        return std::make_unique<CRealInputFile>(file.Release(), true, strPath, &stamp);
    }

    std::unique_ptr<IInputFile> OpenStandardInput() override
    {
        return std::make_unique<CRealInputFile>(STDIN_FILENO, false, "-", nullptr);
    }

    std::unique_ptr<IOutputFile> CreateOutput(const std::string& strPath, const FileStamp* pUnchangedSince,
                                              std::string* pstrError) override
    {
        auto output = std::make_unique<CRealOutputFile>();
        if (!output->Begin(m_bUnnamedFiles, strPath, pUnchangedSince)) {
            if (pstrError != nullptr)
                *pstrError = output->Error();
            return nullptr;
        }
        return output;
    }

    std::unique_ptr<IOutputFile> CreateStandardOutput(std::string*) override
    {
        return std::make_unique<CStandardOutputFile>();
    }

private:
    // The device and inode of what exists, then the rest of the name; hops
    // counts the dangling links followed.
    static std::string KeyOf(const std::string& strPath, int nHops)
    {
        struct stat st;
        if (::stat(strPath.c_str(), &st) == 0)
            return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
        std::string strResolved;
        int nErrno = 0;
        if (nHops < 40 && ResolveLinks(strPath, &strResolved, &nErrno) && strResolved != strPath)
            return KeyOf(strResolved, nHops + 1);
        std::string strName = strPath;
        while (strName.size() > 1 && strName.back() == '/')
            strName.pop_back();
        const std::size_t nSlash = strName.rfind('/');
        const std::string strDir = nSlash == std::string::npos ? "." : nSlash == 0 ? "/" : strName.substr(0, nSlash);
        if (strDir == strName)
            return "?" + strName; // "." or "/" out of reach: the text is all there is
        return KeyOf(strDir, nHops) + "/" + strName.substr(nSlash == std::string::npos ? 0 : nSlash + 1);
    }

    const bool m_bUnnamedFiles;
};

} // namespace

IFileSystem& RealFileSystem()
{
    static CRealFileSystem fileSystem;
    return fileSystem;
}

std::unique_ptr<IFileSystem::IInputFile> IFileSystem::OpenStandardInput()
{
    throw CFileException("-", "no standard input here");
}

std::unique_ptr<IFileSystem::IOutputFile> IFileSystem::CreateStandardOutput(std::string* pstrError)
{
    if (pstrError != nullptr)
        *pstrError = "no standard output here";
    return nullptr;
}

bool IFileSystem::TryReadText(const std::string& strPath, std::string* pContents)
{
    try {
        std::unique_ptr<IInputFile> input = OpenInput(strPath);
        pContents->clear();
        char block[65536];
        while (const std::int64_t n = input->Read(reinterpret_cast<std::uint8_t*>(block), sizeof block))
            pContents->append(block, static_cast<std::size_t>(n));
        return true;
    } catch (const CFileException&) {
        return false;
    }
}
