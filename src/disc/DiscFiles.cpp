#include "disc/DiscFiles.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <dirent.h>
#include <sys/stat.h>

namespace disc
{

namespace
{

std::string Upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

bool IsDirectory(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DirName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Join(const std::string& folder, const std::string& name)
{
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

// What a name of the disc folder is. kind: 'M' the manager's, 'T' a title set's, with the
// title set and VOB numbers; extension "IFO", "BUP" or "VOB".
struct NameInfo
{
    char kind = 0;
    uint32_t vts = 0, vob = 0;
    std::string extension;
};

bool ParseName(const std::string& name, NameInfo& info)
{
    const std::string n = Upper(name);
    if (n.size() != 12 || n[8] != '.')
        return false;
    info.extension = n.substr(9);
    if (info.extension != "IFO" && info.extension != "BUP" && info.extension != "VOB")
        return false;
    if (n.compare(0, 8, "VIDEO_TS") == 0)
    {
        info.kind = 'M';
        return true;
    }
    const auto digit = [&](size_t i) { return n[i] >= '0' && n[i] <= '9'; };
    if (n.compare(0, 4, "VTS_") != 0 || !digit(4) || !digit(5) || n[6] != '_' || !digit(7))
        return false;
    info.kind = 'T';
    info.vts = static_cast<uint32_t>((n[4] - '0') * 10 + (n[5] - '0'));
    info.vob = static_cast<uint32_t>(n[7] - '0');
    // Title sets count from 1; IFO and BUP files belong to VOB number 0 only.
    return info.vts >= 1 && (info.extension == "VOB" || info.vob == 0);
}

// The folder's entries that are the disc's, by upper-case name. A name found in both cases
// keeps the upper-case one, as a disc has it.
bool ListFolder(const std::string& folder, std::map<std::string, DiscFile>& files, int* error)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
    {
        if (error)
            *error = errno;
        return false;
    }
    while (const dirent* entry = ::readdir(dir))
    {
        const std::string name = entry->d_name;
        NameInfo info;
        if (!ParseName(name, info))
            continue;
        const std::string key = Upper(name);
        const auto it = files.find(key);
        if (it != files.end() && BaseName(it->second.path) == key)
            continue;
        DiscFile f;
        f.path = Join(folder, name);
        f.name = key;
        struct stat st;
        if (::stat(f.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        f.size = static_cast<uint64_t>(st.st_size);
        files[key] = f;
    }
    ::closedir(dir);
    return true;
}

// The VIDEO_TS folder itself, or one inside path (any case).
std::string VideoTsFolder(const std::string& path)
{
    std::map<std::string, DiscFile> files;
    if (ListFolder(path, files, nullptr) && (files.count("VIDEO_TS.IFO") || files.count("VIDEO_TS.BUP")))
        return path;
    for (const auto& [name, f] : files)
        if (name.size() == 12 && name.compare(0, 4, "VTS_") == 0 && name.compare(6, 6, "_0.IFO") == 0)
            return path;
    DIR* dir = ::opendir(path.c_str());
    if (!dir)
        return std::string();
    std::string found;
    while (const dirent* entry = ::readdir(dir))
    {
        const std::string name = entry->d_name;
        if (Upper(name) == "VIDEO_TS" && IsDirectory(Join(path, name)) && (found.empty() || name == "VIDEO_TS"))
            found = Join(path, name);
    }
    ::closedir(dir);
    return found;
}

}  // namespace

std::string VmgName(const char* extension) { return std::string("VIDEO_TS.") + extension; }

std::string VtsName(uint32_t vts, uint32_t vob, const char* extension)
{
    char name[16];
    std::snprintf(name, sizeof name, "VTS_%02u_%u.%s", vts % 100, vob % 10, extension);
    return name;
}

uint32_t DiscFileOrder(const std::string& name)
{
    NameInfo info;
    if (!ParseName(name, info))
        return UINT32_MAX;
    const uint32_t kind = info.extension == "IFO" ? 0 : info.extension == "BUP" ? 1 : 2 + info.vob;
    return info.vts * 16 + kind;
}

bool LooksLikeDisc(const std::string& path)
{
    if (IsDirectory(path))
        return true;
    NameInfo info;
    return ParseName(BaseName(path), info) && info.extension != "VOB";
}

bool FindDisc(const std::string& path, DiscFiles& out, int* error)
{
    out = DiscFiles();
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
    {
        if (error)
            *error = errno;
        return false;
    }
    std::string folder;
    if (S_ISDIR(st.st_mode))
        folder = VideoTsFolder(path);
    else
    {
        NameInfo info;
        if (ParseName(BaseName(path), info) && info.extension != "VOB")
            folder = DirName(path);
    }
    std::map<std::string, DiscFile> files;
    if (folder.empty() || !ListFolder(folder, files, error))
    {
        if (error && folder.empty())
            *error = ENOENT;
        return false;
    }
    out.folder = folder;
    for (const auto& [name, f] : files)
    {
        NameInfo info;
        ParseName(name, info);
        if (info.kind == 'M')
        {
            DiscFile& slot = info.extension == "IFO" ? out.vmgIfo : info.extension == "BUP" ? out.vmgBup : out.vmgVob;
            slot = f;
            continue;
        }
        TitleSetFiles& ts = out.titleSets[info.vts];
        ts.number = info.vts;
        if (info.extension == "IFO")
            ts.ifo = f;
        else if (info.extension == "BUP")
            ts.bup = f;
        else if (info.vob == 0)
            ts.menuVob = f;
        else
            ts.titleVobs[info.vob] = f;
    }
    return true;
}

}  // namespace disc
