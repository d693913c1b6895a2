#include "checks/CheckerTexts.h"

namespace {

struct NumberedText {
    int number;
    const wchar_t* text;
};

// Kept in step with the English section of components/qxmlang/FENNICKMSG.MLG (a unit test
// compares them).
const NumberedText ENGLISH[] = {
    {100, L"Fennick Setup - Connection Check"},
    {101, L"Checking why the download did not succeed..."},
    {102, L"The check found a problem, described below. Press Retry to try again."},
    {103, L"No problem was found; the failure may have been temporary. Press Retry to try again."},
    {104, L"&Retry"},
    {105, L"&Close"},
    {106, L"Waiting for the setup to close..."},
    {107, L"The setup is still running. Please close it, then press Retry again."},
    {108, L"Fennick.exe could not be started from this folder."},
    {110, L"Waiting"},
    {111, L"Checking..."},
    {112, L"Passed"},
    {113, L"Failed"},
    {114, L"Not checked"},
    {120, L"Download address"},
    {121, L"Server name"},
    {122, L"Connection to the server"},
    {123, L"Answer from the server"},
    {124, L"Download folder"},
    {125, L"Free disk space"},
    {130, L"The file Fennick.ini beside the setup is missing or holds no download address."},
    {131, L"The download address in Fennick.ini is not a valid address."},
    {132, L"The download address must begin with ftp://, http:// or https://."},
    {133, L"The download address does not end in the name of a file."},
    {134, L"The download address contains characters that cannot be sent to the server."},
    {135, L"The server's name could not be found. Please check your Internet connection."},
    {136, L"The server's name could not be looked up in time. Please check your Internet connection."},
    {137, L"The server refused the connection. It may be down for maintenance."},
    {138, L"The server did not answer. A firewall may be blocking the connection."},
    {139, L"The server cannot be reached from this computer."},
    {140, L"The server accepted the connection but did not answer."},
    {141, L"The server answered, but not as a download server should."},
    {142, L"The server is busy or unavailable at the moment. Please try again later."},
    {143, L"The server did not accept the user name or password."},
    {144, L"The setup file was not found on the server."},
    {145, L"The server did not tell the size of the setup file."},
    {146, L"The server refused access to the setup file."},
    {147, L"The server reported an internal error. Please try again later."},
    {148, L"The server gave an unexpected answer."},
    {149, L"The server's security certificate is not trusted by this computer."},
    {150, L"The server's security certificate was issued for a different name."},
    {151, L"The server's security certificate has expired or is not yet valid. Please check the computer's date and time."},
    {152, L"A secure connection to the server could not be set up."},
    {153, L"Your Documents folder could not be found."},
    {154, L"The download folder could not be created in your Documents folder."},
    {155, L"Files cannot be saved in the download folder."},
    {156, L"The downloaded file is in use by another program or is write-protected."},
    {157, L"There is not enough free disk space for the setup file."},
    {158, L"The size of the setup file is not known, so the free space was not compared."},
    {159, L"This check did not finish in time."},
    {160, L"The SHA-256 value of the setup file in Fennick.ini is malformed: it must be 64 hexadecimal digits."},
    {161, L"The proxy server %1 cannot be reached."},
    {162, L"The proxy server %1 refused the request."},
    {163, L"The proxy server %1 asks for a login that your Windows account cannot give."},
    {164, L"The download folder's path contains characters that the FTP download cannot handle on this computer. Please contact the software vendor."},
};

static_assert(TEXT_PROBLEM_FIRST + static_cast<int>(CheckProblem::PinMalformed) - 1 == TEXT_PROBLEM_LAST,
              "every problem but EarlierCheckFailed has its number in 130-160");
static_assert(TEXT_PROXY_PROBLEM_FIRST + static_cast<int>(CheckProblem::ProxyLoginRequired) -
                      static_cast<int>(CheckProblem::ProxyUnreachable) ==
                  TEXT_PROXY_PROBLEM_LAST,
              "the proxy problems have 161-163");
static_assert(TEXT_STATUS_WAITING + static_cast<int>(CheckStatus::Skipped) == TEXT_STATUS_LAST, "statuses 110-114");
static_assert(TEXT_CHECK_TITLE_FIRST + CHECK_COUNT - 1 == TEXT_CHECK_TITLE_LAST, "check titles 120-125");

}  // namespace

int StatusTextNumber(CheckStatus status) { return TEXT_STATUS_WAITING + static_cast<int>(status); }

int CheckTitleTextNumber(CheckId id) { return TEXT_CHECK_TITLE_FIRST + static_cast<int>(id); }

int ProblemTextNumber(CheckProblem problem) {
    if (problem == CheckProblem::None || problem == CheckProblem::EarlierCheckFailed) return 0;
    if (problem == CheckProblem::FtpFolderUnreachable) return TEXT_FTP_FOLDER_UNREACHABLE;
    if (problem >= CheckProblem::ProxyUnreachable)
        return TEXT_PROXY_PROBLEM_FIRST + static_cast<int>(problem) - static_cast<int>(CheckProblem::ProxyUnreachable);
    return TEXT_PROBLEM_FIRST + static_cast<int>(problem) - 1;
}

std::wstring WithProxyName(std::wstring text, const std::wstring& proxy) {
    const size_t mark = text.find(L"%1");
    if (mark != std::wstring::npos) text.replace(mark, 2, proxy);
    return text;
}

std::wstring BuiltInEnglishText(int number) {
    for (const NumberedText& entry : ENGLISH)
        if (entry.number == number) return entry.text;
    return std::wstring();
}

std::wstring CCheckerTexts::Get(int number) const {
    std::wstring text = m_source ? m_source(number) : std::wstring();
    return text.empty() ? BuiltInEnglishText(number) : text;
}
