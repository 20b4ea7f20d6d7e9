// Runs a fuzz driver once over each input of the given files and folders, with
// no mutation: the smoke test that keeps the drivers building and the kept
// crashers passing. A folder that does not exist counts as empty; the first
// argument must hold at least one input.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

std::vector<std::filesystem::path> Inputs(const std::filesystem::path& at)
{
    std::vector<std::filesystem::path> out;
    std::error_code error;
    if (std::filesystem::is_directory(at, error)) {
        for (const auto& entry : std::filesystem::directory_iterator(at, error)) {
            if (entry.is_regular_file())
                out.push_back(entry.path());
        }
        std::sort(out.begin(), out.end());
    } else if (std::filesystem::is_regular_file(at, error)) {
        out.push_back(at);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s SEEDS [MORE_FILES_OR_FOLDERS...]\n", argv[0]);
        return 2;
    }
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    size_t total = 0;
    for (int i = 1; i < argc; ++i) {
        const std::vector<std::filesystem::path> inputs = Inputs(argv[i]);
        if (i == 1 && inputs.empty()) {
            fprintf(stderr, "no inputs in %s\n", argv[i]);
            return 1;
        }
        for (const auto& path : inputs) {
            std::ifstream file(path, std::ios::binary);
            const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            fprintf(stderr, "replaying %s (%zu bytes)\n", path.c_str(), bytes.size());
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            ++total;
        }
    }
    printf("%zu inputs replayed\n", total);
    return 0;
}
