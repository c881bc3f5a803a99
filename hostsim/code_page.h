// The host's 8-bit code page: names reach the plug-in in it. Conversion
// between UTF-8 (the drawing document's text) and a code page, refusing what
// the code page cannot hold instead of guessing.
#pragma once

#include <optional>
#include <string>

namespace pelmora::hostsim {

inline constexpr int kCodePageWestern = 1252;
inline constexpr int kCodePageJapanese = 932;
inline constexpr int kCodePageUtf8 = 65001;

// ASCII reads the same in every code page the host takes: such a text needs no conversion.
inline bool isAscii(const std::string& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// True for the code pages the emulated host can take: 1252, 932 and 65001.
bool knownCodePage(int codePage);

// The UTF-8 text in the code page; none when the text is not valid UTF-8 or
// holds a character the code page has no byte sequence for.
std::optional<std::string> fromUtf8(const std::string& utf8, int codePage);

// The code-page bytes as UTF-8; none when they are not a valid sequence of
// that code page.
std::optional<std::string> toUtf8(const std::string& bytes, int codePage);

// As toUtf8, but every byte that is not part of a valid sequence becomes
// U+FFFD: the result is always valid UTF-8.
std::string toUtf8Replacing(const std::string& bytes, int codePage);

}  // namespace pelmora::hostsim
