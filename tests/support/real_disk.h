#pragma once

#include <memory>
#include <string>

#include "framework/file_system.h"

// The real disk, for test doubles that change only some of its calls.
class CRealDisk : public IFileSystem {
public:
    bool GetFileStamp(const std::string& strPath, FileStamp* pStamp) override
    {
        return RealFileSystem().GetFileStamp(strPath, pStamp);
    }
    std::string FileKey(const std::string& strPath) override { return RealFileSystem().FileKey(strPath); }
    std::unique_ptr<IInputFile> OpenInput(const std::string& strPath, FileStamp* pStamp = nullptr) override
    {
        return RealFileSystem().OpenInput(strPath, pStamp);
    }
    std::unique_ptr<IInputFile> OpenStandardInput() override { return RealFileSystem().OpenStandardInput(); }
    std::unique_ptr<IOutputFile> CreateOutput(const std::string& strPath, const FileStamp* pUnchangedSince,
                                              std::string* pstrError) override
    {
        return RealFileSystem().CreateOutput(strPath, pUnchangedSince, pstrError);
    }
    std::unique_ptr<IOutputFile> CreateStandardOutput(std::string* pstrError) override
    {
        return RealFileSystem().CreateStandardOutput(pstrError);
    }
};
