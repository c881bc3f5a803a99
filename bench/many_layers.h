// The drawings of many layers or many classes (as scripts/many_layers.py
// writes them) as document text, and a run of the built tool on one of them
// with its CPU time and peak resident size.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace pelmora::bench {

// N layers each holding one triangle of its own class ("layers"), or one layer
// of N triangles each of its own class ("classes"); a light every 100th object.
// The first four classes are named after the example templates.
inline std::string manyLayersDocument(bool oneLayerEach, int n) {
    static const char* const kTemplateClasses[] = {"Brick", "Glass", "Wood", "Floor"};
    auto className = [](int i) { return i < 4 ? std::string(kTemplateClasses[i]) : "C" + std::to_string(i); };
    auto objectsOf = [&](int i) {
        char text[512];
        const double x = (i % 1000) * 1000.0, y = (i / 1000) * 1000.0;
        std::snprintf(text, sizeof text,
                      R"({"type":"polygon","class":"%s","points":[[%.1f,%.1f,0.0],[%.1f,%.1f,0.0],[%.1f,%.1f,300.0]]})",
                      className(i).c_str(), x, y, x + 800.0, y, x, y + 800.0);
        std::string objects = text;
        if (i % 100 == 0) {
            std::snprintf(text, sizeof text,
                          R"(,{"type":"light","class":"%s","name":"Light %d","properties":)"
                          R"({"51":1.0,"54":[%.1f,0.0,3000.0],"55":1}})",
                          className(i).c_str(), i, i * 10.0);
            objects += text;
        }
        return objects;
    };
    std::string doc = R"({"pelmoraDrawing":1,"classes":[)";
    for (int i = 0; i < n; ++i) doc += (i ? ",\"" : "\"") + className(i) + "\"";
    doc += R"(],"layers":[)";
    if (oneLayerEach) {
        for (int i = 0; i < n; ++i)
            doc += (i ? "," : "") + std::string(R"({"name":"L)") + std::to_string(i) + R"(","elevation":)" +
                   std::to_string(i % 7) + R"(.0,"objects":[)" + objectsOf(i) + "]}";
    } else {
        doc += R"({"name":"L0","objects":[)";
        for (int i = 0; i < n; ++i) doc += (i ? "," : "") + objectsOf(i);
        doc += "]}";
    }
    return doc + "]}\n";
}

struct ToolRun {
    int status = -1;
    double cpu = 0;    // user and system seconds of the process and those it waited for
    long peakKiB = 0;  // the largest peak resident size among them
};

// Runs `argv` with its output thrown away and waits for it.
inline ToolRun runTool(const std::vector<std::string>& argv) {
    ToolRun run;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int quiet = open("/dev/null", O_RDWR);
        for (int fd : {0, 1, 2}) dup2(quiet, fd);
        execv(args[0], args.data());
        _exit(127);
    }
    if (pid < 0) return run;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    run.peakKiB = usage.ru_maxrss;
    return run;
}

}  // namespace pelmora::bench
