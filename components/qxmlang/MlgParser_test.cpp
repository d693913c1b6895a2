#include "MlgParser.h"

#include <gtest/gtest.h>

#include "LanguageId.h"
#include "SettingsParser.h"
#include "TextFile.h"

namespace {
std::wstring Text(const MessageTable& table, std::vector<unsigned short> languages, int number) {
    const std::wstring* text = table.Find(languages, number);
    return text ? *text : L"<none>";
}
}  // namespace

// Each malformed line is listed with its reason and skipped; the rest of the file stays usable.
TEST(MlgParser, SkipsAndListsMalformedLinesAndKeepsTheRest) {
    const std::wstring longest(MAX_MESSAGE_LENGTH, L'x');
    const struct {
        std::wstring line;
        int problem;  // a LineProblem, or -1 for a line that is taken
    } lines[] = {
        {L"1=before any section", int(LineProblem::OutsideSection)}, {L"[0x0409]", -1},
        {L"just words", int(LineProblem::NotATextLine)}, {L"x=not a number", int(LineProblem::BadNumber)},
        {L"-1=negative", int(LineProblem::BadNumber)}, {L"2147483648=too big", int(LineProblem::BadNumber)},
        {L"2147483647=largest", -1}, {L"1=first", -1}, {L"1=second", int(LineProblem::DuplicateNumber)},
        {L"2=" + longest, -1}, {L"3=" + longest + L"x", int(LineProblem::TextTooLong)},
        {std::wstring(L"4=a\0b", 5), int(LineProblem::ContainsNul)},
        {L"[0x0411", int(LineProblem::BadSectionHeader)}, {L"5=after a broken header", int(LineProblem::OutsideSection)},
        {L"[0x0407,]", int(LineProblem::BadSectionHeader)}, {L"[0x0407]", -1}, {L"4=ok", -1},  // ids: ParseLanguageId below
    };
    std::wstring text;
    std::vector<std::pair<int, int>> expected, problems;
    for (size_t i = 0; i < sizeof lines / sizeof lines[0]; ++i) {
        text += lines[i].line + L"\n";
        if (lines[i].problem >= 0) expected.emplace_back(static_cast<int>(i) + 1, lines[i].problem);
    }
    const ParsedMessages parsed = ParseMessages(text);
    for (const RejectedLine& rejected : parsed.rejected) problems.emplace_back(rejected.line, int(rejected.problem));
    EXPECT_EQ(problems, expected);
    EXPECT_EQ(Text(parsed.table, {0x0409}, 1), L"first");
    EXPECT_EQ(Text(parsed.table, {0x0409}, 2), longest);
    EXPECT_EQ(Text(parsed.table, {0x0409}, 2147483647), L"largest");
    for (int number : {3, 4, 5}) EXPECT_EQ(Text(parsed.table, {0x0409}, number), L"<none>") << number;
    EXPECT_EQ(Text(parsed.table, {0x0407}, 4), L"ok");
}

TEST(MlgParser, KeepsTextsAsTheyStandAndEachFallsBackAlongTheChainOfLanguages) {
    const ParsedMessages parsed = ParseMessages(
        L"; comment\r\n# another\r\n\r\n[0x0409]\r\n1=en 1\r\n2=en 2\r\n3=en 3\r\n  4 =  en = 4 \\n \r\n"
        L"[0x0411]\n1=ja 1\n2=ja 2\n3=\n"
        L"[ 0x0407 , 4103 ]\n1=de 1\n2=de 2\n"  // one section for several languages
        L"[0x0807]\n1=de-CH 1\n");
    EXPECT_TRUE(parsed.rejected.empty());
    // Swiss German: its own text 1, German's 2, the settings language's 3 (empty is a text), English's 4.
    const std::vector<unsigned short> chain = LanguageCandidates(0x0807, 0x0411);
    EXPECT_EQ(Text(parsed.table, chain, 1), L"de-CH 1");
    EXPECT_EQ(Text(parsed.table, chain, 2), L"de 2");
    EXPECT_EQ(Text(parsed.table, chain, 3), L"");
    EXPECT_EQ(Text(parsed.table, chain, 4), L"  en = 4 \\n ");
    EXPECT_EQ(Text(parsed.table, chain, 5), L"<none>");
    EXPECT_EQ(Text(parsed.table, {0x1007}, 1), L"de 1");
    // A language missing entirely goes to the settings language.
    EXPECT_EQ(Text(parsed.table, LanguageCandidates(0x0419, 0x0411), 1), L"ja 1");
    // Ids are hex or decimal and name a language, also in the settings.
    unsigned short id = 7;
    for (const wchar_t* bad : {L"0x", L"0x0400", L"0", L"65536", L"0x04 04", L"en-US", L"-1033"})
        EXPECT_FALSE(ParseLanguageId(bad, id)) << bad;
    EXPECT_EQ(id, 7);
    const std::pair<const wchar_t*, unsigned short> settings[] = {
        {L"; c\n[ language ]\n  fallback = 1041 \n", 0x0411},  // names without case, blanks around
        {L"[Other]\nFallback=0x0404\n[Language]\nSomething=1\n", 0},
        {L"[Language]\nFallback=0x0404\nFallback=junk\n", 0},  // the last value counts
    };
    for (const auto& [text, fallback] : settings) EXPECT_EQ(ParseLanguageSettings(text).fallbackLanguage, fallback) << text;
}

TEST(TextFile, DecodesUtf8AndUtf16ByTheirMarksAndRefusesDamage) {
    const std::pair<std::string, bool> cases[] = {
        {"a=\xE5\xAE\x89\xE8\xA3\x9D", 1}, {"\xEF\xBB\xBF" "a=\xE5\xAE\x89\xE8\xA3\x9D", 1},
        {std::string("\xFF\xFE" "a\0=\0\x89\x5B\xDD\x88", 10), 1}, {std::string("\xFE\xFF\0a\0=\x5B\x89\x88\xDD", 10), 1},
        // cut UTF-8 (the system decoder refuses any bad UTF-8); odd UTF-16 byte count; unpaired surrogate
        {"1=\xE5\xAE", 0}, {std::string("\xFF\xFE" "a\0b", 5), 0}, {std::string("\xFF\xFE\x00\xD8" "a\0", 6), 0},
    };
    for (const auto& [bytes, decoded] : cases) {
        std::wstring out = L"unchanged";
        EXPECT_EQ(DecodeText(bytes, out), decoded) << bytes;
        EXPECT_EQ(out, decoded ? L"a=\u5B89\u88DD" : L"unchanged") << bytes;
    }
}
