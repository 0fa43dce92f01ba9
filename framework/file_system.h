#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "../convert/byte_buffer.h"

// Raised when an input file cannot be opened or read whole.
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

    // The whole file, read to its end, in a buffer of exactly its length;
    // *pStamp (if given) is the file as it was before the read. Throws
    // CFileException (cannot open or read) or std::bad_alloc (too large for
    // memory).
    virtual CByteBuffer ReadWholeFile(const std::string& strPath, FileStamp* pStamp = nullptr) = 0;

    // Reads the whole file, or returns false if it cannot be opened or read.
    virtual bool TryReadWholeFile(const std::string& strPath, CByteBuffer* pContents) = 0;

    // The file the name reaches now (symbolic links followed); false if none.
    virtual bool GetFileStamp(const std::string& strPath, FileStamp* pStamp) = 0;

    // Writes the parts, in order, as the whole new content of strPath. The old
    // file (if any) is replaced only once every byte is written and flushed;
    // on any failure it is left as it was and no temporary file remains.
    // Keeps an existing file's owner, group, mode, user attributes and ACL as
    // far as the process may set them. Writes through a symbolic link to its
    // target where the kernel lets this process follow the link. With
    // pUnchangedSince, replaces only that very file, and only if it has not
    // changed since the stamp was taken. Returns false (and sets *pstrError)
    // on failure.
    struct Part {
        const std::uint8_t* pData;
        std::int64_t nLength;
    };
    virtual bool WriteWholeFile(const std::string& strPath, const std::vector<Part>& parts, std::string* pstrError,
                                const FileStamp* pUnchangedSince = nullptr) = 0;

    // A file read a block at a time.
    class IInputFile {
    public:
        virtual ~IInputFile() = default;
        // Up to nLength bytes; 0 at the end. Throws CFileException.
        virtual std::int64_t Read(std::uint8_t* pData, std::int64_t nLength) = 0;
        // Back to where reading began, where the file allows it.
        virtual bool Rewind() = 0;
    };
    // Opens what ReadWholeFile reads (same checks, same stamp). Throws
    // CFileException. By default, through ReadWholeFile.
    virtual std::unique_ptr<IInputFile> OpenInput(const std::string& strPath, FileStamp* pStamp = nullptr);
    // Standard input; throws CFileException where there is none.
    virtual std::unique_ptr<IInputFile> OpenStandardInput();

    // A file written a block at a time, with WriteWholeFile's guarantees:
    // nothing takes the target's place before Commit succeeds, and an output
    // destroyed before that leaves no trace. After a failed Write, Commit
    // fails too. Error() says why.
    class IOutputFile {
    public:
        virtual ~IOutputFile() = default;
        virtual bool Write(const std::uint8_t* pData, std::int64_t nLength) = 0;
        virtual bool Commit() = 0;
        virtual std::string Error() const = 0;
    };
    // Null (and *pstrError set) when the output cannot be begun. By default,
    // gathered in memory and handed to WriteWholeFile on Commit.
    virtual std::unique_ptr<IOutputFile> CreateOutput(const std::string& strPath, const FileStamp* pUnchangedSince,
                                                      std::string* pstrError);
    // Standard output: bytes go out as they come, Commit only reports errors.
    virtual std::unique_ptr<IOutputFile> CreateStandardOutput(std::string* pstrError);
};

// The real disk (POSIX).
IFileSystem& RealFileSystem();
