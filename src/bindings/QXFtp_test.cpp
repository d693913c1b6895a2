#include "bindings/QXFtp.h"

#include <gtest/gtest.h>

#include <vector>

#include "bindings/testing/StubLibraryLog.h"

using stub_testing::Notices;
using stub_testing::RecordNotice;

namespace {
const wchar_t kComplete[] = L"qxftp_stub_complete.dll";

struct CallbackRecord {
    std::vector<int> perMille;
    int stopAt = -1;
};

int CALLBACK RecordProgress(int nPerMille, void* pContext) {
    auto* record = static_cast<CallbackRecord*>(pContext);
    record->perMille.push_back(nPerMille);
    return nPerMille == record->stopAt ? 0 : 1;
}

std::string TakeLog(const wchar_t* moduleName) { return stub_testing::TakeLog<char>(moduleName); }

class QXFtpBinding : public ::testing::Test {
protected:
    void SetUp() override { Notices().clear(); }
};
}  // namespace

TEST_F(QXFtpBinding, MissingLibraryIsReportedOnceAndEveryCallFailsWithoutCallingAnything) {
    CQXFtp ftp(L"qxftp_absent.dll", RecordNotice);
    ASSERT_EQ(Notices().size(), 1u);
    EXPECT_EQ(Notices()[0].first, L"Load QXFtp.dll fail!");
    EXPECT_EQ(Notices()[0].second, L"Error");

    long long size = 42;
    CallbackRecord record;
    EXPECT_EQ(ftp.Open(), 0);
    EXPECT_EQ(ftp.LogOn(1, "h", 21, "u", "p", "", "", "", "", 21, 0), 0);
    EXPECT_EQ(ftp.GetRemoteFileSize(1, "/f", &size), 0);
    EXPECT_EQ(ftp.DownloadFile(1, "/f", "C:\\f", 1, RecordProgress, &record), 0);
    EXPECT_EQ(ftp.LogOff(1), 0);
    EXPECT_EQ(ftp.Close(1), 0);
    EXPECT_EQ(size, 42);
    EXPECT_TRUE(record.perMille.empty());
}

TEST_F(QXFtpBinding, CompleteLibraryGetsEveryArgumentInOrderAndItsResultsComeBackUnchanged) {
    {
        CQXFtp ftp(kComplete, RecordNotice);
        EXPECT_TRUE(Notices().empty());
        const char empty[1] = "";
        const int handle = ftp.Open();
        EXPECT_EQ(handle, 7);
        EXPECT_EQ(ftp.LogOn(handle, "host", 2121, "anonymous", "right", empty, empty, empty, empty, 2121, 0), 1);
        // Any result other than 1 is handed on as it is; the worker decides what it means.
        EXPECT_EQ(ftp.LogOn(handle, "host", 2121, "anonymous", "wrong", empty, empty, empty, empty, 2121, 0), 2);

        long long size = 0;
        EXPECT_EQ(ftp.GetRemoteFileSize(handle, "/pub/setup.exe", &size), 1);
        EXPECT_EQ(size, 0x140000003LL) << "all 64 bits of the size reach the caller";

        CallbackRecord record;
        EXPECT_EQ(ftp.DownloadFile(handle, "/pub/setup.exe", "C:\\d\\setup.exe_tmp", 1, RecordProgress, &record), 1);
        EXPECT_EQ(record.perMille, (std::vector<int>{0, 500, 1000})) << "the context reaches the callback untouched";

        EXPECT_EQ(ftp.LogOff(handle), 1);
        EXPECT_EQ(ftp.Close(handle), 1);
        EXPECT_EQ(TakeLog(kComplete),
                  "IFO\n"
                  "FLON 7 host 2121 anonymous right [|||] 2121 0\n"
                  "FLON 7 host 2121 anonymous wrong [|||] 2121 0\n"
                  "GFS 7 /pub/setup.exe\n"
                  "FGFWCB 7 /pub/setup.exe C:\\d\\setup.exe_tmp 1\n"
                  "FLOFF 7\n"
                  "UFO 7\n");
    }
    EXPECT_EQ(GetModuleHandleW(kComplete), nullptr) << "the binding frees its library";
}

TEST_F(QXFtpBinding, IncompleteLibraryIsReportedAndOnlyTheMissingEntryFails) {
    {
        CQXFtp ftp(L"qxftp_stub_no_rf.dll", RecordNotice);
        ASSERT_EQ(Notices().size(), 1u) << "an entry that is never called still makes the library incomplete";
        EXPECT_EQ(Notices()[0].first, L"Load QXFtp.dll fail!");
        EXPECT_EQ(ftp.Open(), 7) << "the download goes on with the entries that are there";
    }
    Notices().clear();
    CQXFtp ftp(L"qxftp_stub_no_logon.dll", RecordNotice);
    EXPECT_EQ(Notices().size(), 1u);
    EXPECT_EQ(ftp.Open(), 7);
    EXPECT_EQ(ftp.LogOn(7, "host", 21, "u", "right", "", "", "", "", 21, 0), 0);
    EXPECT_EQ(ftp.Close(7), 1);
    EXPECT_EQ(TakeLog(L"qxftp_stub_no_logon.dll"), "IFO\nUFO 7\n");
}
