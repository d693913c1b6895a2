#include <gtest/gtest.h>

#include <set>

#include "MlgParser.h"
#include "TextFile.h"
#include "checks/CheckerTexts.h"

// Every text the checker shows has a number of its own, in every shipped language, and the
// built-in English is the English section word for word.
TEST(CheckerTexts, ShippedMessageFileHoldsEveryTextInEveryLanguage) {
    std::set<int> numbers = {TEXT_CAPTION,           TEXT_HEADLINE_RUNNING,  TEXT_HEADLINE_PROBLEM,
                             TEXT_HEADLINE_NO_PROBLEM, TEXT_BUTTON_RETRY,    TEXT_BUTTON_CLOSE,
                             TEXT_WAITING_FOR_SETUP, TEXT_SETUP_STILL_RUNNING, TEXT_SETUP_NOT_STARTED};
    for (int s = 0; s <= static_cast<int>(CheckStatus::Skipped); ++s) numbers.insert(StatusTextNumber(CheckStatus(s)));
    for (int c = 0; c < CHECK_COUNT; ++c) numbers.insert(CheckTitleTextNumber(CheckId(c)));
    for (int p = 1; p <= static_cast<int>(CheckProblem::FtpFolderUnreachable); ++p)
        if (CheckProblem(p) != CheckProblem::EarlierCheckFailed) numbers.insert(ProblemTextNumber(CheckProblem(p)));
    EXPECT_EQ(numbers.size(), 9u + 5u + 6u + static_cast<size_t>(CheckProblem::FtpFolderUnreachable) - 1u);
    EXPECT_EQ(ProblemTextNumber(CheckProblem::ProxyUnreachable), 161);

    std::wstring path = L"Z:", text;
    for (const wchar_t* c = QXCHKERR_MLG_PATH; *c != 0; ++c) path += *c == L'/' ? L'\\' : *c;
    ASSERT_EQ(ReadTextFile(path, text), TextFileStatus::Read) << "FENNICKMSG.MLG";
    const ParsedMessages parsed = ParseMessages(text);
    EXPECT_TRUE(parsed.rejected.empty());
    for (unsigned short language : {0x0404, 0x0804, 0x0409, 0x0411, 0x0412, 0x0407, 0x040C})
        for (int number : numbers) {
            const std::wstring* found = parsed.table.Find({language}, number);
            ASSERT_TRUE(found && !found->empty()) << std::hex << language << std::dec << " text " << number;
            if (language == 0x0409) { EXPECT_EQ(*found, BuiltInEnglishText(number)) << number; }
        }
    EXPECT_EQ(CCheckerTexts([](int) { return std::wstring(); }).Get(TEXT_BUTTON_CLOSE), L"&Close");
}
