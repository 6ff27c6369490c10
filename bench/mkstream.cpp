// Writes a DVD-style program stream of about the given size for the benchmarks:
//   varnodel-mkstream OUTPUT SIZE_IN_MB [SEED]
// 2048-byte packs, a system header, MPEG-2 video with sequence, extension, GOP,
// picture and slice start codes at DVD rates, MP2 audio straddling packets, padding.

#include "support/StreamWriter.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        std::fprintf(stderr, "usage: varnodel-mkstream OUTPUT SIZE_IN_MB [SEED]\n");
        return 2;
    }
    const unsigned long long mb = std::strtoull(argv[2], nullptr, 10);
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out || mb == 0)
    {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    // Written in pieces of 64 MB so that memory stays small for any size; each piece is
    // a stream of its own (system header in its first pack), as when VOBs are joined.
    const unsigned long long piece = 64;
    uint32_t seed = argc > 3 ? static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)) : 1;
    for (unsigned long long done = 0; done < mb; done += piece)
    {
        DvdStreamOptions o;
        o.targetBytes = (mb - done < piece ? mb - done : piece) * 1024 * 1024;
        o.seed = seed++;
        const Bytes b = MakeDvdStream(o);
        // Drop the program end code between pieces.
        const size_t n = done + piece < mb ? b.size() - 4 : b.size();
        if (std::fwrite(b.data(), 1, n, out) != n)
        {
            std::fprintf(stderr, "write error\n");
            return 1;
        }
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
