#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// Raised when an input file cannot be opened or read.
class CFileException : public std::runtime_error {
public:
    CFileException(std::string strPath, std::string strReason)
        : std::runtime_error(strPath + ": " + strReason), m_strFileName(std::move(strPath)),
          m_strReason(std::move(strReason))
    {
    }
    std::string m_strFileName;
    std::string m_strReason;
};

// The program reaches the disk only through this interface, so the batch run
// and the dialog can be tested against failures a real disk rarely shows.
class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // Which file a name reached (device and inode) and whether it has changed
    // since (size, modification time to the nanosecond).
    struct FileStamp {
        std::uint64_t nDevice = 0;
        std::uint64_t nInode = 0;
        std::int64_t nSize = 0;
        std::int64_t nModifiedSeconds = 0;
        std::int64_t nModifiedNanoseconds = 0;
        bool IsSameFile(const FileStamp& other) const { return nDevice == other.nDevice && nInode == other.nInode; }
        bool operator==(const FileStamp&) const = default;
    };

    // The file the name reaches now (symbolic links followed); false if none.
    virtual bool GetFileStamp(const std::string& strPath, FileStamp* pStamp) = 0;

    // Two names with equal keys reach, or would create, the same file: the
    // part of the path that exists is taken by device and inode (folder
    // links, "..", bind mounts resolved), the rest by its text, and a
    // dangling link counts as the file it would create.
    virtual std::string FileKey(const std::string& strPath) = 0;

    // A file read a block at a time.
    class IInputFile {
    public:
        virtual ~IInputFile() = default;
        // Up to nLength bytes; 0 at the end. Throws CFileException.
        virtual std::int64_t Read(std::uint8_t* pData, std::int64_t nLength) = 0;
        // Back to where reading began, where the file allows it.
        virtual bool Rewind() = 0;
        // The file's stamp differs from the one taken at open (a stream has
        // none): what was read may be torn.
        virtual bool ChangedSinceOpen() const = 0;
    };
    // A regular file (no pipe, device or folder); *pStamp (if given) is the
    // file as it was at open. Throws CFileException.
    virtual std::unique_ptr<IInputFile> OpenInput(const std::string& strPath, FileStamp* pStamp = nullptr) = 0;
    // Standard input; throws CFileException where there is none.
    virtual std::unique_ptr<IInputFile> OpenStandardInput();

    // A file written a block at a time as the whole new content of a path.
    // Nothing takes the target's place before Commit succeeds (every byte
    // written and, for a replacement, on disk), and an output destroyed
    // before that leaves no trace. Keeps an existing file's owner, group,
    // mode, user attributes and ACL as far as the process may set them.
    // Writes through a symbolic link to its target where the kernel lets this
    // process follow the link. After a failed Write, Commit fails too.
    // Error() says why.
    class IOutputFile {
    public:
        virtual ~IOutputFile() = default;
        virtual bool Write(const std::uint8_t* pData, std::int64_t nLength) = 0;
        virtual bool Commit() = 0;
        virtual std::string Error() const = 0;
    };
    // Null (and *pstrError set) when the output cannot be begun. With
    // pUnchangedSince, replaces only that very file, and only if it has not
    // changed since the stamp was taken.
    virtual std::unique_ptr<IOutputFile> CreateOutput(const std::string& strPath, const FileStamp* pUnchangedSince,
                                                      std::string* pstrError) = 0;
    // Standard output: bytes go out as they come, Commit only reports errors.
    virtual std::unique_ptr<IOutputFile> CreateStandardOutput(std::string* pstrError);

    // A small file read whole through OpenInput; false if it cannot be read.
    // Throws std::bad_alloc when it does not fit in memory.
    bool TryReadText(const std::string& strPath, std::string* pContents);
};

// The real disk (POSIX).
IFileSystem& RealFileSystem();
