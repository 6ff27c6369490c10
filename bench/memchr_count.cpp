// The floor for a start-code scan: reads a file in 1 MB blocks and counts 00 00 01 with
// memchr, carrying the last two bytes across blocks.
//   varnodel-memchr FILE

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    int fd = open(argv[1], O_RDONLY);
    if (fd < 0)
        return 1;
    std::vector<unsigned char> buf(2 + (1 << 20));
    size_t keep = 0;
    unsigned long long codes = 0, bytes = 0;
    for (;;)
    {
        ssize_t n = read(fd, buf.data() + keep, buf.size() - keep);
        if (n <= 0)
            break;
        bytes += static_cast<unsigned long long>(n);
        const size_t len = keep + static_cast<size_t>(n);
        const unsigned char* p = buf.data();
        size_t i = 2;
        while (i < len)
        {
            const void* hit = std::memchr(p + i, 1, len - i);
            if (!hit)
                break;
            const size_t j = static_cast<size_t>(static_cast<const unsigned char*>(hit) - p);
            if (p[j - 1] == 0 && p[j - 2] == 0)
                ++codes;
            i = j + 1;
        }
        keep = len >= 2 ? 2 : len;
        std::memmove(buf.data(), buf.data() + len - keep, keep);
    }
    close(fd);
    std::printf("start codes %llu\nbytes %llu\n", codes, bytes);
    return 0;
}
