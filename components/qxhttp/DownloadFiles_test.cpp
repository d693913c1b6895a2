// The state file and the partial file against the real Win32 file and INI functions.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "DownloadStateFile.h"
#include "PartialFile.h"

namespace {
class TempFolder {
public:
    TempFolder() {
        wchar_t base[MAX_PATH + 1];
        const DWORD length = GetTempPathW(MAX_PATH + 1, base);
        m_path = std::wstring(base, length) + L"qxhttp_test_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                 std::to_wstring(GetTickCount64());
        CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~TempFolder() {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((m_path + L"\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileW((m_path + L"\\" + data.cFileName).c_str());
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
        RemoveDirectoryW(m_path.c_str());
    }
    std::wstring File(const wchar_t* name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

std::wstring ReadValue(const std::wstring& file, const wchar_t* key) {
    wchar_t buffer[4096];
    const DWORD length = GetPrivateProfileStringW(L"Main", key, L"ERR", buffer, 4096, file.c_str());
    return std::wstring(buffer, length);
}

std::string ReadAll(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string content;
    char chunk[65536];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read > 0) content.append(chunk, read);
    CloseHandle(file);
    return content;
}

void Append(CPartialFile& file, const std::string& bytes) {
    size_t offset = 0;
    while (offset < bytes.size()) {
        size_t capacity = 0;
        char* space = file.FreeSpace(capacity);
        ASSERT_NE(space, nullptr);
        const size_t count = std::min(capacity, bytes.size() - offset);
        memcpy(space, bytes.data() + offset, count);
        ASSERT_TRUE(file.Commit(count));
        offset += count;
    }
}
}  // namespace

TEST(DownloadStateFile, KeepsQuotedTagsLargeSizesAndForeignKeys) {
    TempFolder folder;
    const std::wstring path = folder.File(L"pkg.exe_tmp_sz");
    ASSERT_TRUE(WritePrivateProfileStringW(L"Main", L"RetryCount", L"3", path.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(L"Other", L"keep", L"yes", path.c_str()));
    CDownloadStateFile state(path);

    Validator tag;
    tag.kind = Validator::EntityTag;
    tag.value = L"\"64c8-5f1e\"";
    ASSERT_TRUE(state.WriteValidator(tag));
    ASSERT_TRUE(state.WriteTotal(6000000000ull));
    EXPECT_EQ(ReadValue(path, L"size"), L"6000000000") << "the installer reads this key as it stands";

    const Validator back = state.ReadValidator();
    EXPECT_EQ(back.kind, Validator::EntityTag);
    EXPECT_EQ(back.value, L"\"64c8-5f1e\"") << "quotes must survive the INI round trip";
    uint64_t total = 0;
    ASSERT_TRUE(state.ReadTotal(total));
    EXPECT_EQ(total, 6000000000ull);

    Validator date;
    date.kind = Validator::LastModified;
    date.value = L"Tue, 01 Aug 2023 10:00:00 GMT";
    ASSERT_TRUE(state.WriteValidator(date));
    EXPECT_EQ(state.ReadValidator().kind, Validator::LastModified) << "the old tag is gone";
    EXPECT_EQ(state.ReadValidator().value, date.value);

    ASSERT_TRUE(state.WriteValidator(Validator()));
    EXPECT_EQ(state.ReadValidator().kind, Validator::None);

    EXPECT_EQ(ReadValue(path, L"RetryCount"), L"3");
    wchar_t other[16];
    GetPrivateProfileStringW(L"Other", L"keep", L"ERR", other, 16, path.c_str());
    EXPECT_STREQ(other, L"yes");
}

TEST(DownloadStateFile, DamagedOrMissingValuesMeanNoRecord) {
    TempFolder folder;
    const std::wstring path = folder.File(L"damaged_tmp_sz");
    CDownloadStateFile state(path);
    uint64_t total = 0;
    EXPECT_FALSE(state.ReadTotal(total)) << "no file";
    EXPECT_EQ(state.ReadValidator().kind, Validator::None);

    ASSERT_TRUE(WritePrivateProfileStringW(L"Main", L"size", L"12abc", path.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(L"Main", L"HttpETagHex", L"00zz", path.c_str()));
    EXPECT_FALSE(state.ReadTotal(total));
    EXPECT_EQ(state.ReadValidator().kind, Validator::None);
}

TEST(PartialFile, BufferedWritesLandWholeAndInOrder) {
    TempFolder folder;
    const std::wstring path = folder.File(L"pkg.exe_tmp");
    std::string expected;
    {
        CPartialFile file;
        ASSERT_TRUE(file.Open(path));
        EXPECT_EQ(file.Size(), 0u);
        // More than two buffers' worth, in odd pieces.
        for (int i = 0; i < 700; ++i) {
            std::string piece(3001 + i, static_cast<char>('a' + i % 26));
            Append(file, piece);
            expected += piece;
        }
        EXPECT_EQ(file.Size(), expected.size());
        ASSERT_TRUE(file.FlushToDisk());
    }
    EXPECT_EQ(ReadAll(path), expected);

    {
        CPartialFile file;
        ASSERT_TRUE(file.Open(path));
        EXPECT_EQ(file.Size(), expected.size()) << "an existing partial file is continued at its end";
        Append(file, "tail");
        ASSERT_TRUE(file.Flush());
    }
    EXPECT_EQ(ReadAll(path), expected + "tail");

    {
        CPartialFile file;
        ASSERT_TRUE(file.Open(path));
        Append(file, "discarded");
        ASSERT_TRUE(file.Truncate());
        EXPECT_EQ(file.Size(), 0u);
        Append(file, "fresh");
        ASSERT_TRUE(file.Flush());
    }
    EXPECT_EQ(ReadAll(path), "fresh") << "truncation drops buffered bytes too";

    CPartialFile file;
    ASSERT_TRUE(file.Open(path));
    size_t capacity = 0;
    ASSERT_NE(file.FreeSpace(capacity), nullptr);
    EXPECT_FALSE(file.Commit(capacity + 1)) << "more than the buffer holds is refused";
    EXPECT_EQ(file.Size(), 5u);
}
