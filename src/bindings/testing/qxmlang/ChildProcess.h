#pragma once
#include <windows.h>

#include <string>
#include <vector>

// QXMlangW.dll is only ever loaded from the executable's own directory, so the binding's tests
// run a copy of this test program from a scratch folder laid out for each case.
namespace qxmlang_testing {

// A message box that the child showed, as found on screen before it was answered with OK.
struct ShownBox {
    std::wstring caption;
    std::wstring text;
    std::vector<int> buttons;  // control ids of the visible buttons
    bool icon = false;         // a visible, non-empty icon control holding an icon
};

struct ChildOutcome {
    bool finished = false;     // ended before the deadline (otherwise it was terminated)
    DWORD exitCode = 1;
    std::string output;        // what the child's test run printed
    std::vector<ShownBox> boxes;
};

// Directory of this test program (where the stand-in libraries are built).
std::wstring TestProgramDirectory();

// Copies this test program into `folder` and runs that copy with only `testName` (a disabled
// test) and the working directory `workingDirectory`, answering each message box with OK.
ChildOutcome RunChildTest(const std::wstring& folder, const std::string& testName,
                          const std::wstring& workingDirectory);

// True when the child ran exactly one test and it passed.
bool ChildTestPassed(const ChildOutcome& outcome);

}  // namespace qxmlang_testing
