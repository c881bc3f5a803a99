// Bench (not a test): `pelmora inspect` of a large generated QMX file, as JSON
// and as the plain tree: the wall time and the peak resident size of the tool's
// process (from wait4), against the size of the file.
//
//   bench_inspect [--groups G] [--per-group K] [--dir DIR]
//
// The file holds a root, G group nodes and K leaf nodes in each group (the
// defaults: 1000 x 1000, a million nodes and about 116 MB), BINARY, current
// layout, with byte-sums; no payloads, so the cost is that of the nodes.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Settings {
    int groups = 1000;
    int perGroup = 1000;
    std::string dir;
};

void put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void putFloat(std::string& out, float f) {
    std::uint32_t v = 0;
    std::memcpy(&v, &f, 4);
    put32(out, v);
}

void putText(std::string& out, const std::string& text) {
    out += text;
    out += '\0';
}

// A node's opening and values, without payload; its "}" follows its children.
void openNode(std::string& out, std::uint32_t id, const std::string& name, float x) {
    putText(out, "{");
    for (std::uint32_t v : {0xFFF60948u, 5u, id, 0u, 0u}) put32(out, v);
    putText(out, name);
    putText(out, "");
    put32(out, 1);  // type
    for (float f : {x, 0.5f, -1.25f}) putFloat(out, f);
    for (std::int32_t v : {1, -1, -1, 0}) put32(out, static_cast<std::uint32_t>(v));
    for (float f : {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1e-7f * static_cast<float>(id)}) putFloat(out, f);
    for (std::int32_t v : {-1, 1, 0}) put32(out, static_cast<std::uint32_t>(v));  // intC, dataFormat, dataSize
}

std::string generate(const Settings& s) {
    std::string out;
    putText(out, "BINARY");
    putText(out, "version");
    putText(out, "2.02.2010");
    putText(out, "machine");
    putText(out, "WINDOWS");
    putText(out, "client");
    putText(out, "VectorWorks2008");
    for (auto [key, value] : {std::pair{"SubFormat", 1048}, {"ITFlags", 1}, {"FPS", 24}, {"maxTime", 8000}}) {
        putText(out, key);
        put32(out, static_cast<std::uint32_t>(value));
    }
    putText(out, "CheckSum");
    std::uint32_t id = 1000;
    openNode(out, id++, "Node", 0.0f);
    for (int g = 0; g < s.groups; ++g) {
        openNode(out, id++, "group" + std::to_string(g), 0.1f * static_cast<float>(g));
        for (int k = 0; k < s.perGroup; ++k) {
            openNode(out, id, "leaf" + std::to_string(id), 1.5f * static_cast<float>(k));
            ++id;
            putText(out, "}");
        }
        putText(out, "}");
    }
    putText(out, "}");
    return out;
}

struct Run {
    double seconds = 0.0;
    long peakKiB = 0;
    int status = -1;
};

// The tool with these arguments, its output thrown away.
Run runTool(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string tool = PELMORA_TOOL;
    argv.push_back(tool.data());
    std::vector<std::string> copies = args;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    Run run;
    int status = 0;
    rusage usage{};
    if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.peakKiB = usage.ru_maxrss;
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
}

bool parse(int argc, char** argv, Settings& s) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--groups") s.groups = std::atoi(argv[i + 1]);
        else if (flag == "--per-group") s.perGroup = std::atoi(argv[i + 1]);
        else if (flag == "--dir") s.dir = argv[i + 1];
        else return false;
    }
    return argc % 2 == 1 && s.groups > 0 && s.perGroup > 0;
}

}  // namespace

int main(int argc, char** argv) {
    Settings s;
    if (!parse(argc, argv, s)) {
        std::fprintf(stderr, "usage: bench_inspect [--groups G] [--per-group K] [--dir DIR]\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path dir = s.dir.empty() ? fs::temp_directory_path() : fs::path(s.dir);
    const fs::path file = dir / ("bench_inspect-" + std::to_string(getpid()) + ".qmx");
    std::error_code made;
    fs::create_directories(dir, made);
    {
        const std::string bytes = generate(s);
        std::ofstream out(file, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            std::fprintf(stderr, "bench_inspect: cannot write %s\n", file.c_str());
            return 1;
        }
    }
    const double megabytes = static_cast<double>(fs::file_size(file)) / 1e6;
    const long nodes = 1L + s.groups + static_cast<long>(s.groups) * s.perGroup;
    std::printf("file: %ld nodes, %.1f MB\n", nodes, megabytes);
    for (const char* mode : {"--json", ""}) {
        std::vector<std::string> args = {"inspect", file.string()};
        if (*mode) args.emplace_back(mode);
        const Run run = runTool(args);
        std::printf("inspect %-6s  %6.2f s  peak %7.1f MB (%.2f x the file)  status %d\n", *mode ? mode : "plain",
                    run.seconds, static_cast<double>(run.peakKiB) / 1024.0 * 1.048576,
                    static_cast<double>(run.peakKiB) * 1024.0 / 1e6 / megabytes, run.status);
    }
    fs::remove(file);
    return 0;
}
