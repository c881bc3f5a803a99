// Names in a QMX file are 8-bit texts with no code page of their own: the
// host's names are in the host's code page, the plug-in's fixed camera and
// light node names in code page 932 whatever the host's is. Shown to people
// or written into other formats, they become UTF-8.
#pragma once

#include <string>

#include "qmxread/qmx_json.h"

namespace pelmora::tool {

// The host's code page unless told otherwise: the emulated host's default.
inline constexpr int kDefaultNameCodePage = 1252;

class NameDecoder {
public:
    explicit NameDecoder(int hostCodePage = kDefaultNameCodePage) : codePage_(hostCodePage) {}

    // The bytes as UTF-8: the plug-in's fixed names (the camera, its target,
    // unnamed lights and their targets, and the prefix of a named light's
    // target) from code page 932, everything else from the host's code page.
    // Bytes that code page does not decode become U+FFFD: the result is
    // always valid UTF-8.
    std::string operator()(const std::string& bytes) const;

    int codePage() const { return codePage_; }

    // For the QMX reader's JSON and text output.
    qmxread::TextDecoder textDecoder() const {
        return [decoder = *this](const std::string& bytes) { return decoder(bytes); };
    }

private:
    int codePage_;
};

}  // namespace pelmora::tool
