// The built QXMlangW.dll (from the kit, through its exported names) and the shipped files.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "ContextTable.h"
#include "config/TestScratch.h"

namespace {
// The full path of a new file in the folder holding these bytes; empty when it could not be written.
std::wstring Written(const config_testing::ScratchFolder& folder, const std::wstring& name, const std::string& bytes) {
    const std::wstring path = folder / name;
    return config_testing::WriteBytes(path, bytes) ? path : std::wstring();
}
struct LibraryDeleter {
    void operator()(HMODULE hModule) const { FreeLibrary(hModule); }
};

std::wstring KitDirectory() {
    wchar_t self[MAX_PATH * 4] = {};
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    std::wstring path(self, length);
    return path.substr(0, path.find_last_of(L'\\')) + L"\\..\\kit\\";
}

// The seven entries of the library under test.
class QXMlangW : public ::testing::Test {
protected:
    void SetUp() override {
        m_library.reset(LoadLibraryW((KitDirectory() + L"QXMlangW.dll").c_str()));
        ASSERT_TRUE(m_library) << "QXMlangW.dll is built into the kit";
        Bind(Initialize, "InitializeQXMlagTls");
        Bind(UnInitialize, "UnInitializeQXMlagTls");
        Bind(SetIniFile, "SetInitQXMlagIniFileW");
        Bind(SetLanguage, "SetActiveLanguage");
        Bind(SetMlgFile, "SetMLGFile");
        Bind(GetW, "GetLanguageStringW");
        Bind(GetA, "GetLanguageStringA");
    }

    template <typename Entry>
    void Bind(Entry& entry, const char* name) {
        entry = reinterpret_cast<Entry>(GetProcAddress(m_library.get(), name));
        ASSERT_NE(entry, nullptr) << name;
    }

    // A context set up in the order the installer uses.
    int Open(const std::wstring& ini, int language, const std::wstring& mlg) {
        const int context = Initialize();
        SetIniFile(context, ini.c_str());
        SetLanguage(context, language);
        SetMlgFile(context, mlg.c_str());
        return context;
    }

    std::wstring Fetch(int context, int number, int* result = nullptr) {
        wchar_t buffer[1024];
        wmemset(buffer, L'#', 1024);
        const int got = GetW(context, number, buffer, 1024);
        if (result) *result = got;
        return got == 1 ? std::wstring(buffer) : L"<" + std::to_wstring(got) + L">";
    }

    std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryDeleter> m_library;
    int(WINAPI* Initialize)(void) = nullptr;
    int(WINAPI* UnInitialize)(int) = nullptr;
    int(WINAPI* SetIniFile)(int, const wchar_t*) = nullptr;
    int(WINAPI* SetLanguage)(int, int) = nullptr;
    int(WINAPI* SetMlgFile)(int, const wchar_t*) = nullptr;
    int(WINAPI* GetW)(int, int, wchar_t*, int) = nullptr;
    int(WINAPI* GetA)(int, int, char*, int) = nullptr;
};

const char kTestMessages[] =
    "\xEF\xBB\xBF[0x0409]\n1=english one\n2=english two\n3=english three\n"
    "[0x0411]\n1=japanese one\n2=japanese two\n";
}  // namespace

TEST_F(QXMlangW, ShipsTextsOneToFourInEachOfItsSevenLanguages) {
    const std::wstring kit = KitDirectory();
    const int context = Initialize();
    ASSERT_EQ(SetIniFile(context, (kit + L"QXMLANG.INI").c_str()), 1);
    ASSERT_EQ(SetMlgFile(context, (kit + L"FENNICKMSG.MLG").c_str()), 1);
    std::vector<std::wstring> questions;
    for (int language : {0x0404, 0x0804, 0x0409, 0x0411, 0x0412, 0x0407, 0x040C}) {
        SetLanguage(context, language);
        for (int number = 1; number <= 4; ++number) {
            int result = 0;
            const std::wstring text = Fetch(context, number, &result);
            EXPECT_EQ(result, 1) << std::hex << language << " " << number;
            EXPECT_FALSE(text.empty());
        }
        questions.push_back(Fetch(context, 3));
    }
    // Seven different questions: no language silently fell back to another.
    for (size_t i = 0; i < questions.size(); ++i)
        for (size_t j = i + 1; j < questions.size(); ++j) EXPECT_NE(questions[i], questions[j]);

    SetLanguage(context, 0x0404);
    EXPECT_EQ(Fetch(context, 2), L"\u5B89\u88DD\u7A0B\u5F0F\u6A94\u6848\u4E0B\u8F09\u4E2D:");
    EXPECT_NE(Fetch(context, 4).find(L"\\n"), std::wstring::npos) << "line breaks are left to the caller";
    SetLanguage(context, 0x1004);
    EXPECT_EQ(Fetch(context, 1), L"Fennick \u5B89\u88C5\u7A0B\u5E8F") << "Singapore reads Simplified Chinese";
    SetLanguage(context, 0x0C04);
    EXPECT_EQ(Fetch(context, 1), L"Fennick \u5B89\u88DD\u7A0B\u5F0F") << "Hong Kong reads Traditional Chinese";
    SetLanguage(context, 0x0419);
    EXPECT_EQ(Fetch(context, 1), L"Fennick Setup") << "a language without texts reads the settings' language";
    EXPECT_EQ(UnInitialize(context), 1);
}

TEST_F(QXMlangW, SettingsNameTheFallbackAndMissingFilesGiveNoText) {
    config_testing::ScratchFolder folder;
    const std::wstring mlg = Written(folder, L"T.MLG", kTestMessages);
    const std::wstring ini = Written(folder, L"T.INI", "[Language]\r\nFallback=0x0411\r\n");
    ASSERT_FALSE(mlg.empty());
    ASSERT_FALSE(ini.empty());

    const int russian = Open(ini, 0x0419, mlg);
    EXPECT_EQ(Fetch(russian, 2), L"japanese two");
    EXPECT_EQ(Fetch(russian, 3), L"english three");
    EXPECT_EQ(Fetch(russian, 4), L"<0>");
    const int noSettings = Open(folder / L"MISSING.INI", 0x0419, mlg);
    EXPECT_EQ(Fetch(noSettings, 1), L"english one");
    const int noMessages = Open(ini, 0x0409, folder / L"MISSING.MLG");
    EXPECT_EQ(Fetch(noMessages, 1), L"<0>");
    for (int context : {russian, noSettings, noMessages}) EXPECT_EQ(UnInitialize(context), 1);
}

TEST_F(QXMlangW, DeliversAWholeTextOrNothing) {
    config_testing::ScratchFolder folder;
    const int context = Open(L"", 0x0409, Written(folder, L"T.MLG", kTestMessages));
    const std::wstring text = L"english one";
    const int exact = static_cast<int>(text.size()) + 1;

    std::vector<wchar_t> wide(exact + 1, L'#');
    EXPECT_EQ(GetW(context, 1, wide.data(), exact - 1), kTooLong);
    EXPECT_EQ(wide[0], L'\0') << "an undelivered text leaves an empty buffer, never a cut one";
    EXPECT_EQ(wide[1], L'#');
    EXPECT_EQ(GetW(context, 1, wide.data(), exact), 1);
    EXPECT_EQ(std::wstring(wide.data()), text);
    EXPECT_EQ(wide[exact], L'#') << "nothing written past the capacity";

    std::vector<char> narrow(exact + 1, '#');
    EXPECT_EQ(GetA(context, 1, narrow.data(), exact - 1), kTooLong);
    EXPECT_EQ(narrow[0], '\0');
    EXPECT_EQ(GetA(context, 1, narrow.data(), exact), 1);
    EXPECT_EQ(std::string(narrow.data()), "english one");
    EXPECT_EQ(narrow[exact], '#');

    EXPECT_EQ(GetW(context, 1, nullptr, 100), kBadArguments);
    EXPECT_EQ(GetW(context, 1, wide.data(), 0), kBadArguments);
    EXPECT_EQ(GetA(context, 1, narrow.data(), -5), kBadArguments);
    EXPECT_EQ(UnInitialize(context), 1);
}

TEST_F(QXMlangW, AnsiTextIsExactOrNotDelivered) {
    const std::wstring kit = KitDirectory();
    const int context = Open(kit + L"QXMLANG.INI", 0x0404, kit + L"FENNICKMSG.MLG");
    char buffer[1024] = {};
    const int result = GetA(context, 2, buffer, sizeof buffer);
    if (result == 1) {
        // Only a code page that holds these characters may deliver them, and then exactly.
        wchar_t back[1024] = {};
        ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, buffer, -1, back, 1024), 0);
        EXPECT_EQ(std::wstring(back), Fetch(context, 2));
    } else {
        EXPECT_EQ(result, kNotRepresentable);
        EXPECT_EQ(buffer[0], '\0');
    }
    EXPECT_EQ(UnInitialize(context), 1);
}

TEST_F(QXMlangW, ContextsAreIndependentAndKeepTheirOwnCopiesOfPaths) {
    config_testing::ScratchFolder folder;
    std::wstring path = Written(folder, L"T.MLG", kTestMessages);
    const int english = Initialize();
    const int japanese = Initialize();
    ASSERT_NE(english, 0);
    ASSERT_NE(japanese, english);
    SetLanguage(english, 0x0409);
    SetLanguage(japanese, 0x0411);
    EXPECT_EQ(SetMlgFile(english, path.c_str()), 1);
    EXPECT_EQ(SetMlgFile(japanese, path.c_str()), 1);
    path.assign(path.size(), L'?');  // the caller's buffer is gone; the contexts must not care

    EXPECT_EQ(Fetch(english, 2), L"english two");
    EXPECT_EQ(Fetch(japanese, 2), L"japanese two");
    EXPECT_EQ(UnInitialize(english), 1);
    EXPECT_EQ(Fetch(english, 2), L"<-1>") << "a closed context delivers nothing";
    EXPECT_EQ(UnInitialize(english), 0);
    EXPECT_EQ(Fetch(japanese, 2), L"japanese two");
    const int next = Initialize();
    EXPECT_NE(next, english) << "context values are not reused";
    EXPECT_EQ(SetLanguage(japanese, 0x10000), 0);
    EXPECT_EQ(SetLanguage(japanese, -1), 0);
    EXPECT_EQ(Fetch(japanese, 2), L"japanese two") << "a refused language leaves the old one";
    EXPECT_EQ(SetMlgFile(next, nullptr), 0);
    EXPECT_EQ(SetIniFile(next, nullptr), 0);
    EXPECT_EQ(UnInitialize(japanese), 1);
    EXPECT_EQ(UnInitialize(next), 1);
}
