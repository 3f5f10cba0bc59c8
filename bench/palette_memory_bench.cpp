// Peak resident memory of palette-balance on palette files that are large
// for what they hold: GIMP and JASC palettes padded with blank lines, and the
// largest file the tool accepts. Each run is a child process whose peak
// resident set the system reports when it ends (wait4's ru_maxrss); a small
// palette gives the tool's own floor. Native build only.
//   palette_memory_bench [TOOL]   (default: the palette-balance built beside it)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr rlim_t kChildAddressSpace = rlim_t(2) << 30;

struct Case {
    const char* name;
    std::string head;  // the palette before the padding
    size_t blankLines;
    std::string tail;  // after it
    const char* output;
};

bool writeCase(const std::string& path, const Case& sample, size_t& size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    std::fputs(sample.head.c_str(), file);
    const std::string block(1 << 16, '\n');
    for (size_t left = sample.blankLines; left > 0;) {
        const size_t part = left < block.size() ? left : block.size();
        std::fwrite(block.data(), 1, part, file);
        left -= part;
    }
    std::fputs(sample.tail.c_str(), file);
    size = size_t(std::ftell(file));
    return std::fclose(file) == 0;
}

// Runs the tool on `input` and gives its exit code and peak resident set.
bool runTool(const std::string& tool, const std::string& input, const std::string& output,
             int& exitCode, long& peakKiB) {
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        // A tool whose memory grows with the file fails here instead of
        // taking the machine's memory.
        const struct rlimit addressSpace = {kChildAddressSpace, kChildAddressSpace};
        setrlimit(RLIMIT_AS, &addressSpace);
        std::freopen("/dev/null", "w", stderr);
        execl(tool.c_str(), tool.c_str(), "--mediums=1,0,0", input.c_str(), output.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage usage = {};
    if (wait4(child, &status, 0, &usage) != child) return false;
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    peakKiB = usage.ru_maxrss;  // KiB on Linux
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string tool = argc > 1 ? argv[1] : PALETTE_TOOL_PATH;
    char folderTemplate[] = "/tmp/palette-memory-XXXXXX";
    if (!mkdtemp(folderTemplate)) return 1;
    const std::string folder = folderTemplate;
    const std::string gimp = "GIMP Palette\nName: padded\n";
    const size_t largest = (size_t(64) << 20) - 64;  // just under the tool's limit
    const Case cases[] = {
        {"small palette (floor)", gimp + "0 0 0\n128 128 128 grey\n", 0, "", "out.gpl"},
        {"GIMP, 1M blank lines", gimp, 1000000, "128 128 128 grey\n", "out.gpl"},
        {"GIMP, 10M blank lines", gimp, 10000000, "128 128 128 grey\n", "out.gpl"},
        {"JASC, 10M blank lines", "JASC-PAL\n0100\n1\n128 128 128\n", 10000000, "", "out.pal"},
        {"GIMP, largest accepted", gimp, largest - gimp.size() - 17, "128 128 128 grey\n",
         "out.gpl"},
    };
    std::printf("Peak resident memory of %s\n", tool.c_str());
    std::printf("%-24s %12s %10s %8s %11s %10s %4s\n", "case", "file bytes", "peak KiB", "x file",
                "above floor", "above/file", "rc");
    long floorKiB = 0;
    for (const Case& sample : cases) {
        const std::string input = folder + "/in", output = folder + "/" + sample.output;
        size_t size = 0;
        int exitCode = -1;
        long peakKiB = 0;
        if (!writeCase(input, sample, size) || !runTool(tool, input, output, exitCode, peakKiB)) {
            std::printf("%-24s could not be run\n", sample.name);
            continue;
        }
        if (floorKiB == 0) {
            floorKiB = peakKiB;
            std::printf("%-24s %12zu %10ld %8s %11s %10s %4d\n", sample.name, size, peakKiB, "-",
                        "-", "-", exitCode);
        } else {
            const double fileKiB = double(size) / 1024.0;
            std::printf("%-24s %12zu %10ld %8.2f %11ld %10.2f %4d\n", sample.name, size, peakKiB,
                        double(peakKiB) / fileKiB, peakKiB - floorKiB,
                        double(peakKiB - floorKiB) / fileKiB, exitCode);
        }
        std::remove(input.c_str());
        std::remove(output.c_str());
    }
    rmdir(folder.c_str());
    return 0;
}
