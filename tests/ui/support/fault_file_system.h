#pragma once

#include <new>
#include <set>
#include <string>

#include "tests/support/real_disk.h"

// The real disk, except that reading a path named in m_tooLarge runs out of
// memory, as a file larger than the memory would.
class CFaultFileSystem : public CRealDisk {
public:
    std::unique_ptr<IInputFile> OpenInput(const std::string& strPath, FileStamp* pStamp = nullptr) override
    {
        if (m_tooLarge.count(strPath) != 0)
            throw std::bad_alloc();
        return CRealDisk::OpenInput(strPath, pStamp);
    }

    std::unique_ptr<IOutputFile> CreateOutput(const std::string& strPath, const FileStamp* pUnchangedSince,
                                              std::string* pstrError) override
    {
        ++m_nWrites;
        return CRealDisk::CreateOutput(strPath, pUnchangedSince, pstrError);
    }

    std::set<std::string> m_tooLarge;
    int m_nWrites = 0;
};
