// The host's 8-bit code pages, in which names reach the plug-in, and the
// conversion between them and UTF-8 (the drawing document's text), refusing
// what a code page cannot hold instead of guessing.
#pragma once

#include <optional>
#include <string>

namespace pelmora::base {

inline constexpr int kCodePageWestern = 1252;
inline constexpr int kCodePageJapanese = 932;
inline constexpr int kCodePageUtf8 = 65001;

// True for the code pages the host can take: 1252, 932 and 65001.
bool knownCodePage(int codePage);

// The UTF-8 text in the code page; none when the text is not valid UTF-8,
// the code page is not known, or the text holds a character the code page
// has no byte sequence for.
std::optional<std::string> fromUtf8(const std::string& utf8, int codePage);

// The code-page bytes as UTF-8; none when they are not a valid sequence of
// that code page or the code page is not known.
std::optional<std::string> toUtf8(const std::string& bytes, int codePage);

// As toUtf8, but every byte that is not part of a valid sequence becomes
// U+FFFD: the result is always valid UTF-8.
std::string toUtf8Replacing(const std::string& bytes, int codePage);

}  // namespace pelmora::base
