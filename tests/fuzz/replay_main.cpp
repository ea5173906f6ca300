// Runs a fuzz target once over each file of the folders (or files) given, so
// that the seed corpora and the saved findings replay in the ordinary build.
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

int RunFile(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    std::vector<uint8_t> data;
    uint8_t chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        data.insert(data.end(), chunk, chunk + n);
    std::fclose(file);
    // A block of exactly the input's size, as libFuzzer gives it.
    std::vector<uint8_t> exact(data);
    exact.shrink_to_fit();
    // libFuzzer never passes a null pointer, not even for an empty input.
    static const uint8_t none = 0;
    LLVMFuzzerTestOneInput(exact.empty() ? &none : exact.data(), exact.size());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    int failures = 0;
    size_t inputs = 0;
    for (int i = 1; i < argc; ++i) {
        struct stat info;
        if (stat(argv[i], &info) != 0) {
            std::fprintf(stderr, "missing %s\n", argv[i]);
            return 1;
        }
        if (!S_ISDIR(info.st_mode)) {
            failures += RunFile(argv[i]);
            ++inputs;
            continue;
        }
        DIR* dir = opendir(argv[i]);
        while (struct dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            failures += RunFile(std::string(argv[i]) + "/" + entry->d_name);
            ++inputs;
        }
        closedir(dir);
    }
    std::printf("%zu inputs replayed\n", inputs);
    // An empty corpus means the seeds were not made: that must not pass.
    return failures != 0 || inputs == 0;
}
