#pragma once

#include <new>
#include <set>
#include <string>

#include "framework/file_system.h"

// The real disk, except that reading a path named in m_tooLarge runs out of
// memory, as a file larger than the memory would.
class CFaultFileSystem : public IFileSystem {
public:
    CByteBuffer ReadWholeFile(const std::string& strPath, FileStamp* pStamp = nullptr) override
    {
        if (m_tooLarge.count(strPath) != 0)
            throw std::bad_alloc();
        return RealFileSystem().ReadWholeFile(strPath, pStamp);
    }

    bool TryReadWholeFile(const std::string& strPath, CByteBuffer* pContents) override
    {
        if (m_tooLarge.count(strPath) != 0)
            throw std::bad_alloc();
        return RealFileSystem().TryReadWholeFile(strPath, pContents);
    }

    bool GetFileStamp(const std::string& strPath, FileStamp* pStamp) override
    {
        return RealFileSystem().GetFileStamp(strPath, pStamp);
    }

    bool WriteWholeFile(const std::string& strPath, const std::vector<Part>& parts, std::string* pstrError,
                        const FileStamp* pUnchangedSince = nullptr) override
    {
        ++m_nWrites;
        return RealFileSystem().WriteWholeFile(strPath, parts, pstrError, pUnchangedSince);
    }

    std::set<std::string> m_tooLarge;
    int m_nWrites = 0;
};
