// The loop shared by both section readers: one key per line, looked up
// without regard to letter case in a table of handlers; a key missing from the
// table is passed over with its line.
#pragma once

#include <cstddef>

#include "plugin/templates/tokenizer.h"

namespace pelmora {

// Reads the key's values from the tokenizer into the target; false closes the section.
template <class Target>
using KeyHandler = bool (*)(Tokenizer&, Target&);

template <class Target>
struct KeyEntry {
    const char* key;  // lower case
    KeyHandler<Target> handler;
};

// True when `text` equals the lower-case `key` once its letters A to Z are lowered.
inline bool keyMatches(const char* text, const char* key) {
    for (;; ++text, ++key) {
        char c = *text;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != *key) return false;
        if (c == '\0') return true;
    }
}

template <class Target, std::size_t N>
void readKeyLines(Tokenizer& tokenizer, Target& target, const KeyEntry<Target> (&table)[N]) {
    for (;;) {
        const char* key = tokenizer.lineToken();
        if (key == nullptr) return;  // the end of the text closes the section
        KeyHandler<Target> handler = nullptr;
        for (const auto& entry : table) {
            if (keyMatches(key, entry.key)) {
                handler = entry.handler;
                break;
            }
        }
        if (handler != nullptr && !handler(tokenizer, target)) return;
    }
}

}  // namespace pelmora
