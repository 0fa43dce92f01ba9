#pragma once

#include <iconv.h>

#include <cstdint>
#include <string>

#include "byte_buffer.h"

// One iconv(3) descriptor, reused for whole-text conversions the way the
// engine converts: one worst-case work buffer, trimmed to what was written.
class CIconvConverter {
public:
    CIconvConverter(const char* pszFrom, const char* pszTo);
    ~CIconvConverter();

    CIconvConverter(const CIconvConverter&) = delete;
    CIconvConverter& operator=(const CIconvConverter&) = delete;

    bool IsOpen() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // False when iconv stops early (a character it cannot convert, or
    // malformed input); m_strError then says where and why.
    bool Convert(const std::uint8_t* pSource, std::int64_t nLength, CByteBuffer* pOutput);

    const std::string& Error() const { return m_strError; }

private:
    iconv_t m_cd;
    std::string m_strError;
};
