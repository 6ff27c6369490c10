#pragma once
// Shared bits of the analysis file tests: a scratch folder per test, and pack lists put
// together by hand the way an analysis run fills them.

#include "analysis/CPackList.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <sys/stat.h>

class ScratchDir
{
public:
    ScratchDir()
    {
        char pattern[] = "/tmp/varnodel-aaf-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        m_path = made ? made : "";
    }
    ~ScratchDir()
    {
        if (m_path.empty())
            return;
        std::error_code ec;
        // Tests make folders read-only; give the permissions back so that removal works.
        for (auto& entry : std::filesystem::recursive_directory_iterator(m_path, ec))
        {
            if (entry.is_directory(ec))
                ::chmod(entry.path().c_str(), 0755);
        }
        ::chmod(m_path.c_str(), 0755);
        std::filesystem::remove_all(m_path, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// A pack header as the decoder leaves it for the bytes 44 00 04 00 04 01 01 89 C3 F8:
// an MPEG-2 pack, SCR base 0, program mux rate 25200, no stuffing.
inline void FillPlainPack(CPackHeader& ph)
{
    ph.m_nMarker01 = 1;
    ph.m_nMarker1 = ph.m_nMarker2 = ph.m_nMarker3 = ph.m_nMarker4 = 1;
    ph.m_nProgramMuxRate = 25200;
    ph.m_nMarker5 = ph.m_nMarker6 = 1;
    ph.m_nReserved = 0x1F;
    ph.m_nMuxRateBps = 25200 * 400;
}

// Appends a node the way the run does at a pack start code.
inline CPackNode* AppendPack(CPackList& list, uint32_t packNumber, uint64_t position)
{
    CPackNode* node = &list.Append();
    node->m_nPackNumber = packNumber;
    node->m_nPosition = position;
    node->Set(CPackNode::PackHeader);
    FillPlainPack(node->m_packHeader);
    node->Set(CPackNode::PackLine);
    node->Set(CPackNode::HeaderLine);
    return node;
}

inline std::string TodayLocal()
{
    std::time_t now = std::time(nullptr);
    struct tm local;
    ::localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof(text), "%Y%m%d", &local);
    return text;
}
