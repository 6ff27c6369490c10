// The column store's memory per access unit: walks a file through the stream model into
// the store and prints the units, the store's bytes and the bytes per unit.
//   varnodel-columns FILE

#include "model/ColumnStore.h"
#include "model/Pipeline.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    model::CColumnStore store;
    model::CPipeline pipeline;
    pipeline.Add(store);
    if (!pipeline.Run(argv[1]))
        return 1;
    const size_t units = store.Units();
    std::printf("units %zu\nbytes %zu\nbytes per unit %.2f\n", units, store.MemoryBytes(),
                units ? static_cast<double>(store.MemoryBytes()) / static_cast<double>(units) : 0.0);
    return 0;
}
