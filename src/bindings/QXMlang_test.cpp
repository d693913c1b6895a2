#include "bindings/QXMlang.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "bindings/testing/qxmlang/ChildProcess.h"
#include "config/ModulePath.h"
#include "config/TestScratch.h"

using qxmlang_testing::ChildOutcome;
using qxmlang_testing::ChildTestPassed;
using qxmlang_testing::RunChildTest;
using config_testing::ScratchFolder;
using qxmlang_testing::TestProgramDirectory;

// ---- Cases run inside a copy of this program (see ChildProcess.h); disabled in a normal run. ----
namespace {
const wchar_t kLibrary[] = L"QXMlangW.dll";

struct ModuleReleaser {
    void operator()(HMODULE hModule) const { FreeLibrary(hModule); }
};
using ModuleReference = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleReleaser>;

// Holds the loaded library past the binding's lifetime, so its call log stays readable.
ModuleReference PinLibrary() {
    HMODULE hModule = nullptr;
    return ModuleReference(GetModuleHandleExW(0, kLibrary, &hModule) ? hModule : nullptr);
}

std::wstring FakeLog(const ModuleReference& library) {
    typedef const wchar_t* (*ReadLog)(void);
    const auto read = reinterpret_cast<ReadLog>(GetProcAddress(library.get(), "FakeCallLog"));
    return read ? std::wstring(read()) : std::wstring(L"<no log>");
}
}  // namespace

TEST(DISABLED_QXMlangChild, Ready) {
    const std::wstring directory = ModuleDirectory(nullptr);
    const std::wstring context = std::to_wstring(0x5EED);
    const std::wstring fetch = L"GetLanguageStringW " + context + L" ";
    ModuleReference library;
    {
        CQXMlang lang;
        library = PinLibrary();
        ASSERT_TRUE(library);
        EXPECT_EQ(FakeLog(library), L"Initialize\n"
                                    L"SetIniFile " + context + L" " + directory + L"\\QXMLANG.INI\n"
                                    L"SetActiveLanguage " + context + L" " + std::to_wstring(GetSystemDefaultLangID()) + L"\n"
                                    L"SetMLGFile " + context + L" " + directory + L"\\FENNICKMSG.MLG\n");

        EXPECT_EQ(lang.GetString(1), L"Fake caption");
        // Only backslash-n pairs, found left to right, become CR LF; other backslashes stay.
        EXPECT_EQ(lang.GetString(2), L"a\r\nb\\\r\nc\\td\r\n\r\n\\");
        EXPECT_EQ(lang.GetString(3), L"") << "result 0 with a filled buffer";
        EXPECT_EQ(lang.GetString(4), L"") << "result 2 with a filled buffer";
        EXPECT_EQ(lang.GetString(5), L"") << "result 1 without a terminator";
        EXPECT_EQ(lang.GetString(6), std::wstring(1023, L'y'));
        EXPECT_EQ(lang.GetString(1), L"Fake caption");
    }
    EXPECT_EQ(FakeLog(library).substr(FakeLog(library).find(fetch)),
              fetch + L"1 1024\n" + fetch + L"2 1024\n" + fetch + L"3 1024\n" + fetch + L"4 1024\n" + fetch +
                  L"5 1024\n" + fetch + L"6 1024\n" + fetch + L"1 1024\n" + L"UnInitialize " + context + L"\n");
    library.reset();
    EXPECT_EQ(GetModuleHandleW(kLibrary), nullptr) << "the binding released the library";
}

TEST(DISABLED_QXMlangChild, Incomplete) {
    ModuleReference library;
    {
        CQXMlang lang;  // the parent answers the message box
        library = PinLibrary();
        ASSERT_TRUE(library) << "the library stays loaded in the incomplete state";
        for (int number = 1; number <= 4; ++number) EXPECT_EQ(lang.GetString(number), L"");
    }
    EXPECT_EQ(FakeLog(library), L"") << "no context was ever obtained, so nothing is called";
    library.reset();
    EXPECT_EQ(GetModuleHandleW(kLibrary), nullptr);
}

TEST(DISABLED_QXMlangChild, Absent) {
    CQXMlang lang;
    EXPECT_EQ(GetModuleHandleW(kLibrary), nullptr);
    for (int number = 1; number <= 4; ++number) EXPECT_EQ(lang.GetString(number), L"");
}

TEST(DISABLED_QXMlangChild, ShippedLibrary) {
    CQXMlang lang;
    for (int number = 1; number <= 4; ++number) EXPECT_NE(lang.GetString(number), L"") << number;
    const std::wstring error = lang.GetString(4);
    EXPECT_NE(error.find(L"\r\n"), std::wstring::npos) << "the stored \\n is a line break";
    EXPECT_EQ(error.find(L"\\n"), std::wstring::npos);
}

// ---- The cases as ctest runs them. ----
namespace {
std::wstring Fixture(const std::wstring& name) { return TestProgramDirectory() + L"\\" + name; }

bool Put(const ScratchFolder& folder, const std::wstring& from, const std::wstring& name) {
    return CopyFileW(from.c_str(), (folder / name).c_str(), FALSE) != FALSE;
}

std::string Describe(const ChildOutcome& outcome) {
    return "finished " + std::to_string(outcome.finished) + ", exit code " + std::to_string(outcome.exitCode) +
           ", output:\n" + outcome.output;
}
}  // namespace

TEST(QXMlangBinding, CompleteLibraryIsInitialisedInOrderAndItsTextsComeBackConverted) {
    ScratchFolder folder;
    ASSERT_TRUE(Put(folder, Fixture(L"qxmlang_fake_complete.dll"), kLibrary));
    const ChildOutcome outcome = RunChildTest(folder.Path(), "DISABLED_QXMlangChild.Ready", folder.Path());
    EXPECT_TRUE(ChildTestPassed(outcome)) << Describe(outcome);
    EXPECT_TRUE(outcome.boxes.empty());
}

TEST(QXMlangBinding, LibraryLackingAnEntryShowsTheLoadErrorOnceAndIsNeverCalled) {
    for (const wchar_t* variant : {L"qxmlang_fake_no_GetLanguageStringA.dll",
                                   L"qxmlang_fake_no_SetInitQXMlagIniFileW.dll",
                                   L"qxmlang_fake_no_GetLanguageStringW.dll"}) {
        SCOPED_TRACE(std::string(variant, variant + wcslen(variant)));
        ScratchFolder folder;
        ASSERT_TRUE(Put(folder, Fixture(variant), kLibrary));
        const ChildOutcome outcome = RunChildTest(folder.Path(), "DISABLED_QXMlangChild.Incomplete", folder.Path());
        EXPECT_TRUE(ChildTestPassed(outcome)) << Describe(outcome);
        ASSERT_EQ(outcome.boxes.size(), 1u);
        EXPECT_EQ(outcome.boxes[0].caption, L"error");
        EXPECT_EQ(outcome.boxes[0].text, L"UQXMlang:load qxmlangW.dll error!");
        EXPECT_EQ(outcome.boxes[0].buttons, std::vector<int>{IDOK});
        EXPECT_FALSE(outcome.boxes[0].icon);
    }
}

TEST(QXMlangBinding, MissingOrUnloadableLibraryIsSilentAndNotTakenFromTheWorkingDirectory) {
    // A complete library in the working directory must not stand in for the missing one.
    ScratchFolder decoy;
    ASSERT_TRUE(Put(decoy, Fixture(L"qxmlang_fake_complete.dll"), kLibrary));

    ScratchFolder missing;
    const ChildOutcome withoutLibrary = RunChildTest(missing.Path(), "DISABLED_QXMlangChild.Absent", decoy.Path());
    EXPECT_TRUE(ChildTestPassed(withoutLibrary)) << Describe(withoutLibrary);
    EXPECT_TRUE(withoutLibrary.boxes.empty());

    ScratchFolder broken;
    ASSERT_TRUE(config_testing::WriteBytes(broken / kLibrary, "this is not a library"));
    const ChildOutcome unloadable = RunChildTest(broken.Path(), "DISABLED_QXMlangChild.Absent", decoy.Path());
    EXPECT_TRUE(ChildTestPassed(unloadable)) << Describe(unloadable);
    EXPECT_TRUE(unloadable.boxes.empty());
}

TEST(QXMlangBinding, ShippedLibraryAndFilesGiveTextsWithLineBreaks) {
    const std::wstring kit = TestProgramDirectory() + L"\\..\\kit\\";
    ScratchFolder folder;
    for (const wchar_t* file : {L"QXMlangW.dll", L"QXMLANG.INI", L"FENNICKMSG.MLG"})
        ASSERT_TRUE(Put(folder, kit + file, file)) << "built into the kit";
    const ChildOutcome outcome = RunChildTest(folder.Path(), "DISABLED_QXMlangChild.ShippedLibrary", folder.Path());
    EXPECT_TRUE(ChildTestPassed(outcome)) << Describe(outcome);
    EXPECT_TRUE(outcome.boxes.empty());
}
