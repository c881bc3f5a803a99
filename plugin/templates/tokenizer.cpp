#include "plugin/templates/tokenizer.h"

#include <cstring>

#include "plugin/templates/number_text.h"

namespace pelmora {
namespace {

// The character classes of the C locale, on the byte value; bytes of 0x80 and
// above belong to none.
bool isWhite(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isLineBreak(char c) { return c == '\n' || c == '\r'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }
bool isExponentLetter(char c) { return c == 'd' || c == 'D' || c == 'e' || c == 'E'; }
bool isQuote(const char* token) { return token[0] == '"' && token[1] == '\0'; }

constexpr double kByteScale = 0.00392156862745098;  // 1/255

}  // namespace

Tokenizer::Tokenizer(TextBuffer& buffer)
    : start_(buffer.text()), length_(buffer.length()), position_(start_), savedChar_(*start_), atEnd_(length_ == 0) {}

// Every read moves through here, so the terminating 0 never becomes the
// current character without atEnd being set.
void Tokenizer::advance() {
    ++position_;
    if (position_ >= start_ + length_) {
        atEnd_ = true;
        throw unexpected_eof_error{};
    }
}

void Tokenizer::skipWhite() {
    while (isWhite(*position_)) advance();
}

char* Tokenizer::scanToken(int* skipped) {
    lastHadPoint_ = false;
    if (atEnd_) throw unexpected_eof_error{};
    *position_ = savedChar_;
    int count = 0;
    while (isWhite(*position_)) {
        advance();
        ++count;
    }
    if (skipped) *skipped = count;
    char* token = position_;
    try {
        const char first = *position_;
        if (isDigit(first) || first == '+' || first == '-' || first == '.') {
            lastHadPoint_ = first == '.';
            tokenKind_ = isDigit(first) ? kTokenNumber : kTokenOther;
            advance();
            while (isDigit(*position_) || *position_ == '.') {
                if (*position_ == '.') {
                    if (lastHadPoint_) break;
                    lastHadPoint_ = true;
                } else {
                    tokenKind_ = kTokenNumber;
                }
                advance();
            }
            if (tokenKind_ == kTokenNumber && isExponentLetter(*position_)) {
                advance();
                bool signPending = false;
                if (*position_ == '-' || *position_ == '+') {
                    signPending = true;
                    advance();
                }
                while (isDigit(*position_)) {
                    advance();
                    signPending = false;
                }
                // A sign without exponent digits: the number ends before the letter.
                if (signPending) position_ -= 2;
            }
        } else {
            tokenKind_ = kTokenOther;
            while (isLetter(*position_) || isDigit(*position_) || *position_ == '_') {
                tokenKind_ = kTokenWord;  // before advancing: a word may end the text
                advance();
            }
            if (tokenKind_ == kTokenOther) advance();
        }
    } catch (const unexpected_eof_error&) {
        // The text ends inside the token: it is complete, and atEnd is set.
    }
    savedChar_ = *position_;
    *position_ = '\0';
    lastToken_ = token;
    return token;
}

const char* Tokenizer::nextToken(int* skipped) { return scanToken(skipped); }

void Tokenizer::skipLine() {
    if (atEnd_) return;
    *position_ = savedChar_;
    bool passedBreak = false;
    for (;;) {
        if (isLineBreak(*position_)) passedBreak = true;
        else if (passedBreak) break;
        advance();
    }
    savedChar_ = *position_;
}

const char* Tokenizer::lineToken() {
    for (;;) {
        if (atEnd_) return nullptr;
        skipLine();
        char* token = scanToken(nullptr);
        if (token[0] == '#') continue;
        if (isQuote(token)) {
            token = scanToken(nullptr);
            char* terminator = position_;
            expect("\"");
            // Reading the closing quote put back the character after the key;
            // terminate the key again for good. That character (the closing
            // quote or a blank before it) lies behind the position and is never
            // read again.
            *terminator = '\0';
        }
        lastToken_ = token;
        return token;
    }
}

void Tokenizer::expect(const char* text) {
    const std::size_t length = std::strlen(text);
    std::size_t matched = 0;
    while (matched < length) {
        int skipped = 0;
        const char* token = scanToken(&skipped);
        if (matched > 0 && skipped > 0) throw unexpected_token_error{};
        const std::size_t tokenLength = std::strlen(token);
        // A 0 byte in the text reads as an empty token; it spells nothing.
        if (tokenLength == 0) throw unexpected_token_error{};
        if (tokenLength < length - matched) {
            if (std::memcmp(token, text + matched, tokenLength) != 0) throw unexpected_token_error{};
            matched += tokenLength;
        } else {
            if (std::strcmp(token, text + matched) != 0) throw unexpected_token_error{};
            matched = length;
        }
    }
}

char* Tokenizer::numberToken() {
    char* token = scanToken(nullptr);
    if (isQuote(token)) token = scanToken(nullptr);
    if (tokenKind_ != kTokenNumber) throw unexpected_token_error{};
    return token;
}

void Tokenizer::readInt(std::int32_t& out) { out = decimalToInt32(numberToken()); }

void Tokenizer::readDouble(double& out) { out = decimalToDouble(numberToken()); }

void Tokenizer::readFloat(float& out) { out = toFloat32(decimalToDouble(numberToken())); }

void Tokenizer::readFloat2(float (&out)[2]) {
    readFloat(out[0]);
    readFloat(out[1]);
}

void Tokenizer::readFloat3(float (&out)[3]) {
    readFloat(out[0]);
    readFloat(out[1]);
    readFloat(out[2]);
}

void Tokenizer::readColor(ColorValue& out) {
    float* const components[3] = {&out.red, &out.green, &out.blue};
    double values[3] = {0.0, 0.0, 0.0};
    bool anyPoint = false;
    bool allInByteRange = true;
    for (int i = 0; i < 3; ++i) {
        readDouble(values[i]);
        anyPoint = anyPoint || lastHadPoint_;
        allInByteRange = allInByteRange && values[i] >= 1.0 && values[i] < 256.0;
        // Stored as read, so a colour cut short by the end of the text keeps
        // the components it had.
        *components[i] = toFloat32(values[i]);
    }
    if (!anyPoint && allInByteRange) {
        for (int i = 0; i < 3; ++i) *components[i] = toFloat32(values[i] * kByteScale);
    }
}

void Tokenizer::readString(std::string& out) {
    if (atEnd_) throw unexpected_eof_error{};
    *position_ = savedChar_;
    skipWhite();
    if (*position_ != '"') {
        savedChar_ = *position_;
        out = scanToken(nullptr);
        return;
    }
    advance();
    if (*position_ == '"') {
        advance();
        savedChar_ = *position_;
        out.clear();
        return;
    }
    const char* value = position_;
    for (;;) {
        const bool wasQuote = *position_ == '"';
        advance();
        if (!wasQuote) continue;
        if (*position_ == '"') {
            advance();  // a doubled quote stays in the value
            continue;
        }
        position_[-1] = '\0';  // the closing quote ends the value and is not put back
        break;
    }
    savedChar_ = *position_;
    out = value;
}

void Tokenizer::readTabLine(const char*& name, std::int32_t& value) {
    if (atEnd_) throw unexpected_eof_error{};
    name = nullptr;
    value = 0;
    *position_ = savedChar_;
    skipWhite();
    char* const start = position_;
    while (*position_ != '\t' && !isLineBreak(*position_)) advance();
    if (isLineBreak(*position_)) {
        savedChar_ = *position_;
        return;
    }
    advance();
    position_[-1] = '\0';  // the tab ends the name and is not put back
    // The value must be on the name's line: a line with only blanks after its
    // tab gives no entry rather than taking a number from the next line.
    const char* look = position_;
    while (isBlank(*look) && look < start_ + length_) ++look;
    if (isLineBreak(*position_) || *position_ == '\t' || isLineBreak(*look)) {
        savedChar_ = *position_;
        return;
    }
    savedChar_ = *position_;
    try {
        readInt(value);
        name = start;
    } catch (...) {
        name = nullptr;
        value = 0;
    }
}

bool Tokenizer::lastIs(const char* text) const {
    return lastToken_ != nullptr && std::strncmp(lastToken_, text, 1000) == 0;
}

bool Tokenizer::nextIs(const char* text) { return std::strcmp(scanToken(nullptr), text) == 0; }

bool Tokenizer::lineStartsWith(const char* text) {
    const char* token = lineToken();
    return token != nullptr && std::strcmp(token, text) == 0;
}

}  // namespace pelmora
