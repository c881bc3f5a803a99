// The token rules at their edges, the readers and their errors.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "plugin/templates/tokenizer.h"
#include "tests/support/template_test_support.h"

namespace pelmora {
namespace {

using test::textOf;

// Every token of a text with its kind, up to the end.
std::vector<std::pair<std::string, int>> tokensOf(const std::string& text) {
    TextBuffer buffer = textOf(text);
    Tokenizer tokenizer(buffer);
    std::vector<std::pair<std::string, int>> tokens;
    try {
        for (;;) {
            const char* token = tokenizer.nextToken();
            tokens.emplace_back(token, tokenizer.tokenKind());
        }
    } catch (const unexpected_eof_error&) {}
    EXPECT_TRUE(tokenizer.atEnd());
    return tokens;
}

using Tokens = std::vector<std::pair<std::string, int>>;

TEST(TokenRules, NumbersSplitAtSecondPointAndBeforeDanglingExponentSign) {
    EXPECT_EQ(tokensOf("12.5.3"), (Tokens{{"12.5", kTokenNumber}, {".3", kTokenNumber}}));
    EXPECT_EQ(tokensOf("1e+x"),
              (Tokens{{"1", kTokenNumber}, {"e", kTokenWord}, {"+", kTokenOther}, {"x", kTokenWord}}));
    EXPECT_EQ(tokensOf("1e-5 2D3 1e"), (Tokens{{"1e-5", kTokenNumber}, {"2D3", kTokenNumber}, {"1e", kTokenNumber}}));
    EXPECT_EQ(tokensOf("-x"), (Tokens{{"-", kTokenOther}, {"x", kTokenWord}}));
    EXPECT_EQ(tokensOf("4cShader"), (Tokens{{"4", kTokenNumber}, {"cShader", kTokenWord}}));
    EXPECT_EQ(tokensOf("a_b2"), (Tokens{{"a_b2", kTokenWord}}));
    EXPECT_EQ(tokensOf("1E+"), (Tokens{{"1E+", kTokenNumber}}));  // the text ends inside the exponent
}

TEST(TokenRules, SignAndPointForms) {
    EXPECT_EQ(tokensOf(".5 -.5 +7 5."),
              (Tokens{{".5", kTokenNumber}, {"-.5", kTokenNumber}, {"+7", kTokenNumber}, {"5.", kTokenNumber}}));
    EXPECT_EQ(tokensOf(". - -."), (Tokens{{".", kTokenOther}, {"-", kTokenOther}, {"-.", kTokenOther}}));
    EXPECT_EQ(
        tokensOf("{=;\"#"),
        (Tokens{{"{", kTokenOther}, {"=", kTokenOther}, {";", kTokenOther}, {"\"", kTokenOther}, {"#", kTokenOther}}));
    EXPECT_EQ(tokensOf("\xC3\xA9t\xC3\xA9"), (Tokens{{"\xC3", kTokenOther},
                                                     {"\xA9", kTokenOther},
                                                     {"t", kTokenWord},
                                                     {"\xC3", kTokenOther},
                                                     {"\xA9", kTokenOther}}));
}

TEST(TokenRules, PointFlagFollowsTheLastNumber) {
    TextBuffer buffer = textOf("5. 5 x");
    Tokenizer tokenizer(buffer);
    tokenizer.nextToken();
    EXPECT_TRUE(tokenizer.lastHadPoint());
    tokenizer.nextToken();
    EXPECT_FALSE(tokenizer.lastHadPoint());
}

TEST(TokenRules, WhiteSpaceCountAndBlankLines) {
    TextBuffer buffer = textOf("\r\n\n   \t VELTRAMOX");
    Tokenizer tokenizer(buffer);
    int skipped = -1;
    EXPECT_STREQ(tokenizer.nextToken(&skipped), "VELTRAMOX");
    EXPECT_EQ(skipped, 8);
    EXPECT_EQ(tokenizer.tokenKind(), kTokenWord);
    EXPECT_TRUE(tokenizer.atEnd());  // no final line break: the last token still comes back
    EXPECT_THROW(tokenizer.nextToken(), unexpected_eof_error);
}

TEST(TokenRules, TokenIsTerminatedInPlaceUntilTheNextRead) {
    TextBuffer buffer = textOf("ab cd");
    Tokenizer tokenizer(buffer);
    const char* first = tokenizer.nextToken();
    EXPECT_EQ(first, buffer.text());  // no copy: a pointer into the text
    EXPECT_STREQ(first, "ab");
    tokenizer.nextToken();
    EXPECT_EQ(std::string(buffer.text(), 3), "ab ");  // the blank was put back
}

TEST(TokenRules, EmptyTextStartsAtEnd) {
    TextBuffer buffer = textOf("");
    Tokenizer tokenizer(buffer);
    EXPECT_TRUE(tokenizer.atEnd());
    EXPECT_THROW(tokenizer.nextToken(), unexpected_eof_error);
    EXPECT_THROW(tokenizer.expect("VELTRAMOX"), unexpected_eof_error);
    EXPECT_EQ(tokenizer.lineToken(), nullptr);
    EXPECT_NO_THROW(tokenizer.skipLine());
    std::string s;
    EXPECT_THROW(tokenizer.readString(s), unexpected_eof_error);
    const char* name = nullptr;
    std::int32_t value = 0;
    EXPECT_THROW(tokenizer.readTabLine(name, value), unexpected_eof_error);
}

TEST(TokenRules, WhiteSpaceOnlyTextEndsInTheSkip) {
    TextBuffer buffer = textOf(" \n ");
    Tokenizer tokenizer(buffer);
    EXPECT_FALSE(tokenizer.atEnd());
    EXPECT_THROW(tokenizer.nextToken(), unexpected_eof_error);
    EXPECT_TRUE(tokenizer.atEnd());
}

TEST(Expect, AdjacentTokensSpellTheText) {
    TextBuffer buffer = textOf("  \"x 4cShader 4 cShader");
    Tokenizer tokenizer(buffer);
    EXPECT_NO_THROW(tokenizer.expect("\""));
    EXPECT_STREQ(tokenizer.nextToken(), "x");
    EXPECT_NO_THROW(tokenizer.expect("4cShader"));
    EXPECT_THROW(tokenizer.expect("4cShader"), unexpected_token_error);
}

TEST(Expect, MismatchAndCase) {
    TextBuffer buffer = textOf("Veltramox");
    Tokenizer tokenizer(buffer);
    EXPECT_THROW(tokenizer.expect("VELTRAMOX"), unexpected_token_error);
    TextBuffer longer = textOf("VELTRAMOXX");
    Tokenizer second(longer);
    EXPECT_THROW(second.expect("VELTRAMOX"), unexpected_token_error);
    TextBuffer nul = textOf(std::string("VELT\0RAMOX", 10));
    Tokenizer third(nul);
    EXPECT_THROW(third.expect("VELTRAMOX"), unexpected_token_error);
}

TEST(LineToken, CommentsQuotesAndLineEnds) {
    for (const char* eol : {"\n", "\r\n"}) {
        const std::string e = eol;
        TextBuffer buffer = textOf("header rest" + e + "# comment line" + e + e + "  \"diffuse\" 1 2 3" + e +
                                   "key # not a comment" + e + "end");
        Tokenizer tokenizer(buffer);
        tokenizer.nextToken();
        EXPECT_STREQ(tokenizer.lineToken(), "diffuse");
        EXPECT_TRUE(tokenizer.lastIs("diffuse"));
        std::int32_t value = 0;
        tokenizer.readInt(value);
        EXPECT_EQ(value, 1);
        EXPECT_STREQ(tokenizer.lineToken(), "key");
        EXPECT_STREQ(tokenizer.nextToken(), "#");
        EXPECT_STREQ(tokenizer.lineToken(), "end");
        EXPECT_TRUE(tokenizer.atEnd());
        EXPECT_EQ(tokenizer.lineToken(), nullptr);
    }
}

TEST(LineToken, QuotedKeyWithBlankBeforeClosingQuote) {
    TextBuffer buffer = textOf("x\n\"diffuse \" 7\n");
    Tokenizer tokenizer(buffer);
    tokenizer.nextToken();
    EXPECT_STREQ(tokenizer.lineToken(), "diffuse");
    std::int32_t value = 0;
    tokenizer.readInt(value);
    EXPECT_EQ(value, 7);
}

TEST(LineToken, UnclosedQuotedKeyThrows) {
    TextBuffer buffer = textOf("x\n\"diffuse 1 1 1\n");
    Tokenizer tokenizer(buffer);
    tokenizer.nextToken();
    EXPECT_THROW(tokenizer.lineToken(), unexpected_token_error);
}

TEST(LineToken, LastLineAtEndOfTextThrowsFromSkip) {
    TextBuffer buffer = textOf("a 1\n");
    Tokenizer tokenizer(buffer);
    tokenizer.nextToken();
    tokenizer.nextToken();
    EXPECT_THROW(tokenizer.lineToken(), unexpected_eof_error);
    EXPECT_TRUE(tokenizer.atEnd());
    EXPECT_EQ(tokenizer.lineToken(), nullptr);
}

TEST(NumberReaders, IntegersAsTheCLibraryReadsThem) {
    TextBuffer buffer = textOf("\"12\" 3.9 1e3 +7 -.5 2147483648 -2147483649 99999999999999999999 abc");
    Tokenizer tokenizer(buffer);
    std::int32_t v = 0;
    tokenizer.readInt(v);
    EXPECT_EQ(v, 12);
    tokenizer.nextToken();  // the closing quote is left in the text
    tokenizer.readInt(v);
    EXPECT_EQ(v, 3);
    tokenizer.readInt(v);
    EXPECT_EQ(v, 1);
    tokenizer.readInt(v);
    EXPECT_EQ(v, 7);
    tokenizer.readInt(v);
    EXPECT_EQ(v, 0);
    tokenizer.readInt(v);
    EXPECT_EQ(v, 2147483647);  // saturated
    tokenizer.readInt(v);
    EXPECT_EQ(v, -2147483647 - 1);
    tokenizer.readInt(v);
    EXPECT_EQ(v, 2147483647);
    EXPECT_THROW(tokenizer.readInt(v), unexpected_token_error);
}

TEST(NumberReaders, DoublesWithDExponents) {
    TextBuffer buffer = textOf("1d2 2D2 1e-5 .25 -3. 1e400 -1e400 1e-400 12e");
    Tokenizer tokenizer(buffer);
    double d = 0;
    tokenizer.readDouble(d);
    EXPECT_EQ(d, 100.0);
    tokenizer.readDouble(d);
    EXPECT_EQ(d, 200.0);
    EXPECT_EQ(std::string(buffer.text(), 7), std::string("1d2 2D2", 7));  // the letters are put back
    tokenizer.readDouble(d);
    EXPECT_DOUBLE_EQ(d, 1e-5);
    tokenizer.readDouble(d);
    EXPECT_EQ(d, 0.25);
    tokenizer.readDouble(d);
    EXPECT_EQ(d, -3.0);
    tokenizer.readDouble(d);
    EXPECT_TRUE(std::isinf(d) && d > 0);
    tokenizer.readDouble(d);
    EXPECT_TRUE(std::isinf(d) && d < 0);
    tokenizer.readDouble(d);
    EXPECT_EQ(d, 0.0);
    tokenizer.readDouble(d);
    EXPECT_EQ(d, 12.0);
}

TEST(NumberReaders, FloatsAndVectors) {
    TextBuffer buffer = textOf("0.1 1 2 3 4 5 1e300");
    Tokenizer tokenizer(buffer);
    float f = 0;
    tokenizer.readFloat(f);
    EXPECT_EQ(f, 0.1f);
    float two[2] = {};
    tokenizer.readFloat2(two);
    EXPECT_EQ(two[0], 1.0f);
    EXPECT_EQ(two[1], 2.0f);
    float three[3] = {};
    tokenizer.readFloat3(three);
    EXPECT_EQ(three[2], 5.0f);
    tokenizer.readFloat(f);
    EXPECT_TRUE(std::isinf(f));
}

TEST(NumberReaders, WordOrEndIsAnError) {
    TextBuffer buffer = textOf("x");
    Tokenizer tokenizer(buffer);
    double d = 0;
    EXPECT_THROW(tokenizer.readDouble(d), unexpected_token_error);
    EXPECT_THROW(tokenizer.readDouble(d), unexpected_eof_error);
}

ColorValue colourOf(const std::string& text) {
    TextBuffer buffer = textOf(text);
    Tokenizer tokenizer(buffer);
    ColorValue colour;
    colour.alpha = 0.75f;
    tokenizer.readColor(colour);
    return colour;
}

TEST(ReadColor, WholeNumbersFromOneTo255AreScaled) {
    ColorValue c = colourOf("255 128 1\n");
    EXPECT_FLOAT_EQ(c.red, 1.0f);
    EXPECT_FLOAT_EQ(c.green, 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(c.blue, 1.0f / 255.0f);
    EXPECT_EQ(c.alpha, 0.75f);  // never touched
    c = colourOf("128 128 128");
    EXPECT_FLOAT_EQ(c.red, 0.50196081f);
    c = colourOf("1 1 1");
    EXPECT_FLOAT_EQ(c.blue, 0.0039215689f);
    c = colourOf("255.999 255 255");  // a point anywhere: as written
    EXPECT_FLOAT_EQ(c.red, 255.999f);
}

TEST(ReadColor, OutsideTheRangeOrWithAPointStaysAsWritten) {
    ColorValue c = colourOf("0.5 0.5 0.5");
    EXPECT_EQ(c.red, 0.5f);
    c = colourOf("0 128 255");
    EXPECT_EQ(c.red, 0.0f);
    EXPECT_EQ(c.green, 128.0f);
    EXPECT_EQ(c.blue, 255.0f);
    c = colourOf("1.0 1.0 1.0");
    EXPECT_EQ(c.green, 1.0f);
    c = colourOf("255 0 0");
    EXPECT_EQ(c.red, 255.0f);
    c = colourOf("256 10 10");
    EXPECT_EQ(c.red, 256.0f);
    EXPECT_EQ(c.green, 10.0f);
}

TEST(ReadColor, CutShortKeepsWhatWasRead) {
    TextBuffer buffer = textOf("0.5 0.25");
    Tokenizer tokenizer(buffer);
    ColorValue colour;
    EXPECT_THROW(tokenizer.readColor(colour), unexpected_eof_error);
    EXPECT_EQ(colour.red, 0.5f);
    EXPECT_EQ(colour.green, 0.25f);
    EXPECT_EQ(colour.blue, 0.0f);
}

TEST(ReadString, QuotedPlainAndEmpty) {
    TextBuffer buffer = textOf("\"\" x \"a\"\"b\" wood.jpg \"my wood.jpg\" \"a\nb # c\" z");
    Tokenizer tokenizer(buffer);
    std::string s = "old";
    tokenizer.readString(s);
    EXPECT_EQ(s, "");
    EXPECT_STREQ(tokenizer.nextToken(), "x");
    tokenizer.readString(s);
    EXPECT_EQ(s, "a\"\"b");
    tokenizer.readString(s);
    EXPECT_EQ(s, "wood");
    EXPECT_STREQ(tokenizer.nextToken(), ".");
    EXPECT_STREQ(tokenizer.nextToken(), "jpg");
    tokenizer.readString(s);
    EXPECT_EQ(s, "my wood.jpg");
    tokenizer.readString(s);
    EXPECT_EQ(s, "a\nb # c");
    EXPECT_STREQ(tokenizer.nextToken(), "z");
}

TEST(ReadString, UnclosedQuoteThrows) {
    TextBuffer buffer = textOf("\"never closed\n");
    Tokenizer tokenizer(buffer);
    std::string s;
    EXPECT_THROW(tokenizer.readString(s), unexpected_eof_error);
}

struct TabLine {
    bool entry;
    std::string name;
    std::int32_t value;
};

std::vector<TabLine> tabLinesOf(const std::string& text) {
    TextBuffer buffer = textOf(text);
    Tokenizer tokenizer(buffer);
    std::vector<TabLine> lines;
    try {
        for (int i = 0;; ++i) {
            if (i > 0) tokenizer.skipLine();
            const char* name = nullptr;
            std::int32_t value = -99;
            tokenizer.readTabLine(name, value);
            lines.push_back({name != nullptr, name ? name : "", value});
        }
    } catch (const unexpected_eof_error&) {}
    return lines;
}

TEST(ReadTabLine, NameTabInteger) {
    for (const char* eol : {"\n", "\r\n"}) {
        const std::string e = eol;
        auto lines = tabLinesOf("Walls\t12" + e + "Walls 2\t-3" + e + "Walls\tx" + e + "no tab here" + e +
                                "Roof\t\"7\"" + e + e + "  Floor\t5");
        ASSERT_EQ(lines.size(), 6u) << "line ends " << (e.size() == 1 ? "LF" : "CR LF");
        EXPECT_TRUE(lines[0].entry);
        EXPECT_EQ(lines[0].name, "Walls");
        EXPECT_EQ(lines[0].value, 12);
        EXPECT_EQ(lines[1].name, "Walls 2");
        EXPECT_EQ(lines[1].value, -3);
        EXPECT_FALSE(lines[2].entry);
        EXPECT_FALSE(lines[3].entry);
        EXPECT_TRUE(lines[4].entry);
        EXPECT_EQ(lines[4].name, "Roof");
        EXPECT_EQ(lines[4].value, 7);
        EXPECT_TRUE(lines[5].entry);
        EXPECT_EQ(lines[5].name, "Floor");
        EXPECT_EQ(lines[5].value, 5);
    }
}

TEST(ReadTabLine, NothingAfterTheTab) {
    auto lines = tabLinesOf("A\t\nB\t\t3\nC\t4\n");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_FALSE(lines[0].entry);
    EXPECT_FALSE(lines[1].entry);
    EXPECT_TRUE(lines[2].entry);
    EXPECT_EQ(lines[2].name, "C");
}

TEST(ReadTabLine, ValueNeverComesFromTheNextLine) {
    auto lines = tabLinesOf("Walls\t  \n12\tRoof\nGlass\t9\n");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_FALSE(lines[0].entry);
    EXPECT_FALSE(lines[1].entry);
    EXPECT_TRUE(lines[2].entry);
    EXPECT_EQ(lines[2].name, "Glass");
    EXPECT_EQ(lines[2].value, 9);
}

TEST(LastAndNext, Comparisons) {
    TextBuffer buffer = textOf("motion create \"motionMaterial\"");
    Tokenizer tokenizer(buffer);
    EXPECT_FALSE(tokenizer.lastIs("motion"));
    EXPECT_TRUE(tokenizer.nextIs("motion"));
    EXPECT_TRUE(tokenizer.lastIs("motion"));
    EXPECT_FALSE(tokenizer.lastIs("motio"));
    EXPECT_FALSE(tokenizer.nextIs("Create"));
    EXPECT_TRUE(tokenizer.nextIs("\""));
    EXPECT_TRUE(tokenizer.nextIs("motionMaterial"));
}

TEST(LastAndNext, LineStartsWithFalseAtEnd) {
    TextBuffer buffer = textOf("a\n");
    Tokenizer tokenizer(buffer);
    tokenizer.nextToken();
    EXPECT_THROW(tokenizer.lineStartsWith("motion"), unexpected_eof_error);
    EXPECT_FALSE(tokenizer.lineStartsWith("motion"));
}

}  // namespace
}  // namespace pelmora
