// The file access the model library's writers get: plain files, as the
// library's own, except that a write, flush or close that fails (a full disk,
// a file size limit) is remembered. The writers do not check their writes,
// and would report a cut-off file as written.
#pragma once

#include <string>

#include <assimp/IOSystem.hpp>

namespace pelmora::tool {

class CheckedModelFiles : public Assimp::IOSystem {
public:
    bool Exists(const char* path) const override;
    char getOsSeparator() const override { return '/'; }
    Assimp::IOStream* Open(const char* path, const char* mode) override;
    void Close(Assimp::IOStream* stream) override;

    // The first failure to write, with the file's name; empty when none.
    const std::string& failure() const { return failure_; }
    void noteFailure(const std::string& path, int error);

private:
    std::string failure_;
};

}  // namespace pelmora::tool
