// Splits template and id table text into tokens in place: each returned token
// is terminated by a 0 written over the character after it, which the next
// read puts back, so a token is a string only until the next read. Failures
// are the three reader errors of templates/reader_errors.h.
#pragma once

#include <cstdint>
#include <string>

#include "plugin/templates/params.h"
#include "plugin/templates/reader_errors.h"
#include "plugin/templates/text_buffer.h"

namespace pelmora {

enum TokenKind : int { kTokenNumber = 0, kTokenWord = 1, kTokenOther = 2 };

class Tokenizer {
public:
    // Works on the buffer's text, which must outlive the tokenizer.
    explicit Tokenizer(TextBuffer& buffer);

    // The next token; `skipped`, when given, receives the number of white-space
    // characters passed before it. The last token of a text that ends without
    // a line break is returned normally and sets atEnd.
    const char* nextToken(int* skipped = nullptr);
    // Moves to the first character after the end of the current line; a run of
    // line breaks is passed as a whole.
    void skipLine();
    // The first token of the next line that is not a comment (first token #),
    // without surrounding double quotes; null at the end of the text.
    const char* lineToken();
    // Reads tokens that must spell `text` exactly, written without white space
    // between them (white space may precede the first).
    void expect(const char* text);

    void readInt(std::int32_t& out);
    void readDouble(double& out);
    void readFloat(float& out);
    void readFloat2(float (&out)[2]);
    void readFloat3(float (&out)[3]);
    // Three numbers into red, green and blue (alpha untouched); whole numbers
    // all in [1, 256) are taken as 0..255 and scaled by 1/255.
    void readColor(ColorValue& out);
    // A double-quoted string (doubled quotes stay in it), or else one token.
    void readString(std::string& out);
    // One id table line: name up to a tab, then an integer on the same line.
    // `name` is null when the line gives no entry; otherwise it stays valid for
    // the life of the buffer.
    void readTabLine(const char*& name, std::int32_t& value);

    bool lastIs(const char* text) const;
    bool nextIs(const char* text);
    bool lineStartsWith(const char* text);

    bool atEnd() const { return atEnd_; }
    bool lastHadPoint() const { return lastHadPoint_; }
    int tokenKind() const { return tokenKind_; }
    // The token most recently returned by nextToken or lineToken (null before any).
    const char* lastToken() const { return lastToken_; }

private:
    void advance();
    void skipWhite();
    char* scanToken(int* skipped);
    char* numberToken();

    char* start_;
    std::int32_t length_;
    char* position_;
    char savedChar_;
    char* lastToken_ = nullptr;
    bool atEnd_;
    bool lastHadPoint_ = false;
    int tokenKind_ = kTokenOther;
};

}  // namespace pelmora
