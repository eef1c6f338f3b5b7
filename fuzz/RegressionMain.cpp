// Runs every file of the given folders once through a fuzz target, without a fuzzing
// engine: the seed corpora and every reproducer ever found stay fixed as plain tests.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize);

int main(int argc, char* argv[])
{
    int nFiles = 0;
    for (int i = 1; i < argc; ++i) {
        if (!std::filesystem::is_directory(argv[i])) {
            std::fprintf(stderr, "no folder %s\n", argv[i]);
            return 1;
        }
        for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
            if (!entry.is_regular_file())
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<std::uint8_t> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            LLVMFuzzerTestOneInput(data.data(), data.size());
            ++nFiles;
        }
    }
    std::printf("%d inputs run\n", nFiles);
    return nFiles > 0 ? 0 : 1;
}
