#pragma once

#include <cstdint>
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

    // The whole file in a buffer of exactly its length. Throws CFileException
    // (cannot open or read) or std::bad_alloc (too large for memory).
    virtual CByteBuffer ReadWholeFile(const std::string& strPath) = 0;

    // Reads the whole file, or returns false if it cannot be opened or read.
    virtual bool TryReadWholeFile(const std::string& strPath, CByteBuffer* pContents) = 0;

    // Writes the parts, in order, as the whole new content of strPath. The old
    // file (if any) is replaced only once every byte is written and flushed;
    // on any failure it is left as it was and no temporary file remains.
    // Keeps an existing file's permission bits; writes through a symbolic link
    // to its target. Returns false (and sets *pstrError) on failure.
    struct Part {
        const std::uint8_t* pData;
        std::int64_t nLength;
    };
    virtual bool WriteWholeFile(const std::string& strPath, const std::vector<Part>& parts,
                                std::string* pstrError) = 0;
};

// The real disk (POSIX).
IFileSystem& RealFileSystem();
