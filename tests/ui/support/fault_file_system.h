#pragma once

#include <new>
#include <set>
#include <string>

#include "framework/file_system.h"

// The real disk, except that reading a path named in m_tooLarge runs out of
// memory, as a file larger than the memory would.
class CFaultFileSystem : public IFileSystem {
public:
    CByteBuffer ReadWholeFile(const std::string& strPath) override
    {
        if (m_tooLarge.count(strPath) != 0)
            throw std::bad_alloc();
        return RealFileSystem().ReadWholeFile(strPath);
    }

    bool TryReadWholeFile(const std::string& strPath, CByteBuffer* pContents) override
    {
        if (m_tooLarge.count(strPath) != 0)
            throw std::bad_alloc();
        return RealFileSystem().TryReadWholeFile(strPath, pContents);
    }

    bool WriteWholeFile(const std::string& strPath, const std::vector<Part>& parts, std::string* pstrError) override
    {
        ++m_nWrites;
        return RealFileSystem().WriteWholeFile(strPath, parts, pstrError);
    }

    std::set<std::string> m_tooLarge;
    int m_nWrites = 0;
};
