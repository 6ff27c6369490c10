// Writes a file of a Video CD image as a computer shows it when it reads the disc: a RIFF
// "CDXA" header and the file's raw 2352-byte sectors.
//   varnodel-mkdat IMAGE.bin PATH OUTPUT      (PATH as on the disc: MPEGAV/AVSEQ01.DAT)
// The image is vcdimager's raw mode 2 image; the file is found through the disc's
// ISO 9660 directories.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{

constexpr size_t kSector = 2352;
constexpr size_t kUserData = 24;  // of a mode 2 form 1 sector: sync, header, subheader

uint32_t Le32(const uint8_t* b)
{
    return uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
}

void PutLe32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

struct Entry
{
    uint32_t extent = 0, size = 0;
    std::vector<uint8_t> systemUse;
};

// The directory's entry named name (without the ";1" version), or false.
bool Find(const std::vector<uint8_t>& image, uint32_t dirExtent, uint32_t dirSize, const std::string& name,
          Entry& found)
{
    for (uint32_t s = 0; s * 2048 < dirSize; ++s)
    {
        const size_t base = (size_t{dirExtent} + s) * kSector + kUserData;
        if (base + 2048 > image.size())
            return false;
        const uint8_t* d = image.data() + base;
        for (size_t i = 0; i < 2048 && d[i] != 0;)
        {
            const uint8_t* r = d + i;
            const size_t length = r[0];
            if (length < 34 || i + length > 2048)
                break;
            const size_t nameLength = r[32];
            std::string entry(reinterpret_cast<const char*>(r + 33), nameLength);
            if (const size_t semi = entry.find(';'); semi != std::string::npos)
                entry.resize(semi);
            if (entry == name)
            {
                found.extent = Le32(r + 2);
                found.size = Le32(r + 10);
                // The system use area after the padded name holds the CD-XA attributes.
                const size_t use = 33 + nameLength + ((nameLength & 1) ? 0 : 1);
                found.systemUse.assign(r + std::min(use, length), r + length);
                return true;
            }
            i += length;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
    {
        std::fprintf(stderr, "usage: varnodel-mkdat IMAGE.bin PATH OUTPUT\n");
        return 2;
    }
    std::FILE* in = std::fopen(argv[1], "rb");
    if (!in)
    {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<uint8_t> image;
    uint8_t chunk[1 << 16];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;)
        image.insert(image.end(), chunk, chunk + n);
    std::fclose(in);

    // The primary volume descriptor in sector 16 holds the root directory's record.
    const size_t pvd = 16 * kSector + kUserData;
    if (image.size() < pvd + 2048 || std::memcmp(image.data() + pvd + 1, "CD001", 5) != 0)
    {
        std::fprintf(stderr, "%s: no ISO 9660 volume\n", argv[1]);
        return 1;
    }
    Entry dir;
    dir.extent = Le32(image.data() + pvd + 156 + 2);
    dir.size = Le32(image.data() + pvd + 156 + 10);
    std::string path = argv[2];
    for (size_t from = 0;;)
    {
        const size_t slash = path.find('/', from);
        const std::string name = path.substr(from, slash == std::string::npos ? std::string::npos : slash - from);
        Entry next;
        if (!Find(image, dir.extent, dir.size, name, next))
        {
            std::fprintf(stderr, "%s: no %s\n", argv[1], path.c_str());
            return 1;
        }
        dir = next;
        if (slash == std::string::npos)
            break;
        from = slash + 1;
    }

    // A form 2 file's size counts 2048 bytes a sector, as if its sectors were form 1.
    const size_t sectors = (dir.size + 2047) / 2048;
    const size_t first = size_t{dir.extent} * kSector;
    if (first + sectors * kSector > image.size())
    {
        std::fprintf(stderr, "%s: %s runs past the image\n", argv[1], path.c_str());
        return 1;
    }
    const uint32_t data = static_cast<uint32_t>(sectors * kSector);
    std::vector<uint8_t> out;
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    PutLe32(out, 4 + 8 + 16 + 8 + data);
    out.insert(out.end(), {'C', 'D', 'X', 'A', 'f', 'm', 't', ' '});
    PutLe32(out, 16);
    std::vector<uint8_t> fmt = dir.systemUse;
    fmt.resize(16, 0);
    out.insert(out.end(), fmt.begin(), fmt.end());
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    PutLe32(out, data);
    out.insert(out.end(), image.begin() + static_cast<long>(first), image.begin() + static_cast<long>(first + data));

    std::FILE* o = std::fopen(argv[3], "wb");
    if (!o || std::fwrite(out.data(), 1, out.size(), o) != out.size() || std::fclose(o) != 0)
    {
        std::fprintf(stderr, "cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
