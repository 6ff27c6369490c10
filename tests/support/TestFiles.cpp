#include "support/TestFiles.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

TempDir::TempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/varnodel-test-XXXXXX";
    if (char* p = mkdtemp(pattern.data()))
        m_path = p;
}

TempDir::~TempDir()
{
    std::error_code ec;
    if (!m_path.empty())
    {
        // Tests may leave read-only folders behind; make them writable to remove them.
        for (auto& e : std::filesystem::recursive_directory_iterator(m_path, ec))
            std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_path, ec);
    }
}

std::string TempDir::Write(const std::string& name, const Bytes& bytes) const
{
    const std::string path = File(name);
    WriteFile(path, bytes);
    return path;
}

Bytes ReadWholeFile(const std::string& path)
{
    Bytes b;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return b;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        b.insert(b.end(), buf, buf + n);
    std::fclose(f);
    return b;
}
