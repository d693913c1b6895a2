// The Win32 pieces that touch local files: the state record beside a download, the local file
// as a download uses it, and the sink that keeps the first name of a listing.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include <string>

#include "win32/LocalFile.h"
#include "win32/StateRecord.h"
#include "win32/TransferParts.h"

namespace qxftp {
namespace {

// A fresh folder under %TEMP%, removed with its files at the end.
class TempFolder {
public:
    TempFolder() {
        char base[MAX_PATH];
        const DWORD length = GetTempPathA(MAX_PATH, base);
        EXPECT_TRUE(length > 0 && length < MAX_PATH);
        m_path = std::string(base) + "qxftp-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(GetTickCount64());
        EXPECT_TRUE(CreateDirectoryA(m_path.c_str(), nullptr));
    }
    ~TempFolder() {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((m_path + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileA((m_path + "\\" + found.cFileName).c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(m_path.c_str());
    }
    std::string File(const char* name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

std::string ReadValue(const std::string& file, const char* key) {
    char value[256] = {};
    GetPrivateProfileStringA("Main", key, "ERR", value, sizeof(value), file.c_str());
    return value;
}

TEST(StateRecord, KeepsTheCallersKeysAndItsOwnApart) {
    TempFolder folder;
    const std::string partial = folder.File("setup.exe_tmp");
    const std::string state = partial + "_sz";
    ASSERT_TRUE(WritePrivateProfileStringA("Main", "size", "3000000", state.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("Main", "RetryCount", "2", state.c_str()));

    StateRecord record(partial);
    Failure failure;
    EXPECT_EQ(record.Read(), "");
    ASSERT_TRUE(record.Write("20240101120000", failure));
    EXPECT_EQ(record.Read(), "20240101120000");
    ASSERT_TRUE(record.Write("20240101120001.5", failure));
    EXPECT_EQ(record.Read(), "20240101120001.5");
    EXPECT_EQ(ReadValue(state, "size"), "3000000");
    EXPECT_EQ(ReadValue(state, "RetryCount"), "2");

    // A server without MDTM: the key goes, the others stay.
    ASSERT_TRUE(record.Write("", failure));
    EXPECT_EQ(record.Read(), "");
    EXPECT_EQ(ReadValue(state, "RemoteModified"), "ERR");
    EXPECT_EQ(ReadValue(state, "size"), "3000000");

    // Something too long to be a stamp never equals one.
    ASSERT_TRUE(WritePrivateProfileStringA("Main", "RemoteModified", std::string(200, '7').c_str(), state.c_str()));
    EXPECT_EQ(record.Read(), "?");
}

TEST(StateRecord, NoStateFileIsCreatedJustToRemoveAKey) {
    TempFolder folder;
    StateRecord record(folder.File("none_tmp"));
    Failure failure;
    EXPECT_TRUE(record.Write("", failure));
    EXPECT_EQ(GetFileAttributesA(folder.File("none_tmp_sz").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(LocalFile, CreatesContinuesAndEmpties) {
    TempFolder folder;
    const std::string path = folder.File("data.bin");
    Failure failure;
    std::uint64_t size = 99;
    {
        LocalFile file;
        bool existed = true;
        ASSERT_TRUE(file.OpenForWriting(path, existed, failure));
        EXPECT_FALSE(existed);
        ASSERT_TRUE(file.WriteAll("hello", 5, failure));
        ASSERT_TRUE(file.Size(size, failure));
        EXPECT_EQ(size, 5u);
        // Others may read meanwhile, but not write.
        HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(reader, INVALID_HANDLE_VALUE);
        if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
        HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
        if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    }
    {
        LocalFile file;
        bool existed = false;
        ASSERT_TRUE(file.OpenForWriting(path, existed, failure));
        EXPECT_TRUE(existed);
        ASSERT_TRUE(file.SeekTo(5, failure));
        ASSERT_TRUE(file.WriteAll(" world", 6, failure));
        ASSERT_TRUE(file.Size(size, failure));
        EXPECT_EQ(size, 11u);
        ASSERT_TRUE(file.TruncateToZero(failure));
        ASSERT_TRUE(file.Size(size, failure));
        EXPECT_EQ(size, 0u);
    }
    LocalFile missingFolder;
    bool existed = false;
    EXPECT_FALSE(missingFolder.OpenForWriting(folder.File("no\\such\\folder.bin"), existed, failure));
    EXPECT_EQ(failure.code, QXFTP_E_LOCAL_FILE);
}

TEST(FirstLineSink, KeepsOnlyTheFirstNameWhateverThePieces) {
    Failure failure;
    FirstLineSink split(16);
    split.Accept("setu", 4, failure);
    split.Accept("p.exe\r", 6, failure);
    split.Accept("\nother.bin\r\n", 12, failure);
    split.EndLine();
    EXPECT_EQ(split.Line(), "setup.exe");
    EXPECT_FALSE(split.TooLong());

    FirstLineSink noEnd(16);
    noEnd.Accept("only.bin", 8, failure);
    noEnd.EndLine();
    EXPECT_EQ(noEnd.Line(), "only.bin");

    FirstLineSink exact(8);
    exact.Accept("12345678\r\n", 10, failure);
    exact.EndLine();
    EXPECT_EQ(exact.Line(), "12345678");
    EXPECT_FALSE(exact.TooLong());

    for (const char* text : {"123456789\n", "123456789", "1234567890123456789012\n"}) {
        FirstLineSink tooLong(8);
        tooLong.Accept(text, strlen(text), failure);
        tooLong.EndLine();
        EXPECT_TRUE(tooLong.TooLong()) << text;
    }
}

}  // namespace
}  // namespace qxftp
