#include "bindings/QXHttp.h"

#include <gtest/gtest.h>

#include "bindings/testing/StubLibraryLog.h"

using stub_testing::Notices;
using stub_testing::RecordNotice;

namespace {
int CALLBACK CountProgress(int, void* pContext) {
    ++*static_cast<int*>(pContext);
    return 1;
}

class QXHttpBinding : public ::testing::Test {
protected:
    void SetUp() override { Notices().clear(); }
};
}  // namespace

TEST_F(QXHttpBinding, MissingLibraryIsSilentAndTheDownloadFailsWithMinusOne) {
    CQXHttp http(L"qxhttp_absent.dll", RecordNotice);
    int calls = 0;
    EXPECT_TRUE(Notices().empty());
    EXPECT_EQ(http.DownloadFile(L"http://h/f", L"C:\\f", CountProgress, &calls, 10), -1);
    EXPECT_EQ(calls, 0);
}

TEST_F(QXHttpBinding, LibraryWithoutTheEntryIsReportedAndTheDownloadFailsWithMinusOne) {
    {
        CQXHttp http(L"qxhttp_stub_no_entry.dll", RecordNotice);
        ASSERT_EQ(Notices().size(), 1u);
        EXPECT_EQ(Notices()[0].first, L"UQXHttp:load QXHttp.dll error!");
        EXPECT_EQ(Notices()[0].second, L"error");
        int calls = 0;
        EXPECT_EQ(http.DownloadFile(L"http://h/f", L"C:\\f", CountProgress, &calls, 10), -1);
        EXPECT_NE(GetModuleHandleW(L"qxhttp_stub_no_entry.dll"), nullptr) << "kept loaded until destruction";
    }
    EXPECT_EQ(GetModuleHandleW(L"qxhttp_stub_no_entry.dll"), nullptr);
}

TEST_F(QXHttpBinding, EntryGetsTheArgumentsAsGivenAndItsResultComesBackUnchanged) {
    CQXHttp http(L"qxhttp_stub_complete.dll", RecordNotice);
    EXPECT_TRUE(Notices().empty());
    int calls = 0;
    EXPECT_EQ(http.DownloadFile(L"https://h/a%20b.exe?x=1&y=2", L"C:\\d\\a b.exe", CountProgress, &calls, 10), 2);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(stub_testing::TakeLog<wchar_t>(L"qxhttp_stub_complete.dll"),
              L"https://h/a%20b.exe?x=1&y=2 > C:\\d\\a b.exe redirects 10 callback 1");
}
