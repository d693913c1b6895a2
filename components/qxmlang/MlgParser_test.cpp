#include "MlgParser.h"

#include <gtest/gtest.h>

#include "LanguageId.h"

namespace {
std::wstring Text(const MessageTable& table, std::vector<unsigned short> languages, int number) {
    const std::wstring* text = table.Find(languages, number);
    return text ? *text : L"<none>";
}

std::vector<std::pair<int, LineProblem>> Problems(const ParsedMessages& parsed) {
    std::vector<std::pair<int, LineProblem>> problems;
    for (const RejectedLine& rejected : parsed.rejected) problems.emplace_back(rejected.line, rejected.problem);
    return problems;
}
}  // namespace

TEST(MlgParser, ReadsSectionsAndKeepsTextsAsTheyStand) {
    const ParsedMessages parsed = ParseMessages(
        L"; comment\r\n"
        L"# another comment\r\n"
        L"\r\n"
        L"[0x0404]\r\n"
        L"1=Fennick\r\n"
        L"  2 =  with blanks = and \\n kept \r\n"
        L"3=\r\n"
        L"[ 0x0804 , 4100 ]\n"
        L"1=\u5B89\u88C5\n");
    EXPECT_TRUE(parsed.rejected.empty());
    EXPECT_EQ(Text(parsed.table, {0x0404}, 1), L"Fennick");
    EXPECT_EQ(Text(parsed.table, {0x0404}, 2), L"  with blanks = and \\n kept ");
    EXPECT_EQ(Text(parsed.table, {0x0404}, 3), L"") << "an empty text is a text";
    EXPECT_EQ(Text(parsed.table, {0x0804}, 1), L"\u5B89\u88C5");
    EXPECT_EQ(Text(parsed.table, {0x1004}, 1), L"\u5B89\u88C5") << "one section for several languages";
    EXPECT_FALSE(parsed.table.HasLanguage(0x0409));
}

TEST(MlgParser, SkipsAndListsMalformedLinesAndKeepsTheRest) {
    const ParsedMessages parsed = ParseMessages(
        L"1=before any section\n"    // 1
        L"[0x0409]\n"                // 2
        L"just words\n"              // 3
        L"x=not a number\n"          // 4
        L"-1=negative\n"             // 5
        L"2147483648=too big\n"      // 6
        L"2147483647=largest\n"      // 7
        L"1=first\n"                 // 8
        L"1=second\n"                // 9
        L"[0x0411\n"                 // 10
        L"2=after a broken header\n" // 11
        L"[0x0000]\n"                // 12
        L"[0x10000]\n"               // 13
        L"[0x0407,]\n"               // 14
        L"3=still no section\n"      // 15
        L"[0x0407]\n"                // 16
        L"4=ok\n");                  // 17
    EXPECT_EQ(Problems(parsed), (std::vector<std::pair<int, LineProblem>>{
                                    {1, LineProblem::OutsideSection},
                                    {3, LineProblem::NotATextLine},
                                    {4, LineProblem::BadNumber},
                                    {5, LineProblem::BadNumber},
                                    {6, LineProblem::BadNumber},
                                    {9, LineProblem::DuplicateNumber},
                                    {10, LineProblem::BadSectionHeader},
                                    {11, LineProblem::OutsideSection},
                                    {12, LineProblem::BadSectionHeader},
                                    {13, LineProblem::BadSectionHeader},
                                    {14, LineProblem::BadSectionHeader},
                                    {15, LineProblem::OutsideSection},
                                }));
    EXPECT_EQ(Text(parsed.table, {0x0409}, 1), L"first");
    EXPECT_EQ(Text(parsed.table, {0x0409}, 2147483647), L"largest");
    EXPECT_EQ(Text(parsed.table, {0x0409}, 2), L"<none>") << "a text after a broken header joins no language";
    EXPECT_EQ(Text(parsed.table, {0x0407}, 4), L"ok");
}

TEST(MlgParser, RefusesOverLongTextsAndEmbeddedZerosWhole) {
    const std::wstring longest(kMaxMessageLength, L'x');
    std::wstring text = L"[0x0409]\n1=" + longest + L"\n2=" + longest + L"x\n3=a";
    text += L'\0';
    text += L"b\n";
    const ParsedMessages parsed = ParseMessages(text);
    EXPECT_EQ(Problems(parsed), (std::vector<std::pair<int, LineProblem>>{{3, LineProblem::TextTooLong},
                                                                          {4, LineProblem::ContainsNul}}));
    EXPECT_EQ(Text(parsed.table, {0x0409}, 1), longest);
    EXPECT_EQ(Text(parsed.table, {0x0409}, 2), L"<none>");
    EXPECT_EQ(Text(parsed.table, {0x0409}, 3), L"<none>");
}

TEST(LanguageId, AcceptsHexOrDecimalIdsThatNameALanguage) {
    unsigned short id = 0;
    EXPECT_EQ(ParseLanguageId(L" 0x0C04 ", id), 1);
    EXPECT_EQ(id, 0x0C04);
    EXPECT_EQ(ParseLanguageId(L"1033", id), 1);
    EXPECT_EQ(id, 0x0409);
    for (const wchar_t* bad : {L"", L"0x", L"0x0400", L"0", L"0x10000", L"65536", L"0x04 04", L"en-US", L"-1033"}) {
        id = 7;
        EXPECT_EQ(ParseLanguageId(bad, id), 0) << bad;
        EXPECT_EQ(id, 7);
    }
}

TEST(LanguageId, FallbackChainGoesExactPrimarySettingsEnglish) {
    EXPECT_EQ(LanguageCandidates(0x0C04, 0x0411),
              (std::vector<unsigned short>{0x0C04, 0x0004, 0x0404, 0x0411, 0x0409}));
    EXPECT_EQ(LanguageCandidates(0x0409, 0x0409), (std::vector<unsigned short>{0x0409, 0x0009}))
        << "repeats are dropped";
    EXPECT_EQ(LanguageCandidates(0, 0), (std::vector<unsigned short>{0x0409})) << "no language set at all";
}

TEST(MlgParser, EachTextFallsBackAlongTheChainOnItsOwn) {
    const ParsedMessages parsed = ParseMessages(
        L"[0x0409]\n1=en 1\n2=en 2\n3=en 3\n4=en 4\n"
        L"[0x0411]\n1=ja 1\n2=ja 2\n3=ja 3\n"
        L"[0x0407]\n1=de 1\n2=de 2\n"
        L"[0x0807]\n1=de-CH 1\n");
    // Swiss German: its own text 1, German's 2, the settings language's 3, English's 4.
    const std::vector<unsigned short> chain = LanguageCandidates(0x0807, 0x0411);
    EXPECT_EQ(Text(parsed.table, chain, 1), L"de-CH 1");
    EXPECT_EQ(Text(parsed.table, chain, 2), L"de 2");
    EXPECT_EQ(Text(parsed.table, chain, 3), L"ja 3");
    EXPECT_EQ(Text(parsed.table, chain, 4), L"en 4");
    EXPECT_EQ(Text(parsed.table, chain, 5), L"<none>");
    // A language missing entirely goes to the settings language.
    EXPECT_EQ(Text(parsed.table, LanguageCandidates(0x0419, 0x0411), 1), L"ja 1");
}
