// Test driver for QXFtp.dll: loads the library from the path given, looks its entries up by
// their plain names, runs the operations named on the command line on one session and writes
// one JSON line per operation into the report file.
//   qxftp_probe.exe <report> <QXFtp.dll> "op|arg|arg..." ...
// Operations: exports, logon|host|port|user|password[|proxyHost|proxyUser|proxyPassword|account|proxyPort|flags],
//   size|remote, get|remote|local|mode[|stopAtPerMille[|reenter]], put|local|remote|mode[|stopAtPerMille],
//   exists|remote, info|remote[|capacity], cwd|folder, rename|from|to, delete|remote,
//   find|remote[|capacity], logoff, lasterror[|capacity], clearerror, free, reopen.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "QXFtp.h"

namespace {

struct Entries {
    decltype(&QFTPIFO) ifo = nullptr;
    decltype(&QFTPUFO) ufo = nullptr;
    decltype(&QFTPFLON) flon = nullptr;
    decltype(&QFTPFLOFF) floff = nullptr;
    decltype(&QFTPGFS) gfs = nullptr;
    decltype(&QFTPFGFWCB) fgfwcb = nullptr;
    decltype(&QFTPFPFWCB) fpfwcb = nullptr;
    decltype(&QFTPFGLE) fgle = nullptr;
    decltype(&QFTPFCLE) fcle = nullptr;
    decltype(&QFTPRF) rf = nullptr;
    decltype(&QFTPDF) df = nullptr;
    decltype(&QFTPGFI) gfi = nullptr;
    decltype(&QFTPCF) cf = nullptr;
    decltype(&QFTPFE) fe = nullptr;
    decltype(&QFTPFFF) fff = nullptr;
};

const char* const kEntryNames[] = {"QFTPIFO", "QFTPUFO", "QFTPFLON", "QFTPFLOFF", "QFTPFGFWCB",
                                   "QFTPFPFWCB", "QFTPFGLE", "QFTPFCLE", "QFTPRF", "QFTPDF",
                                   "QFTPGFI", "QFTPCF", "QFTPFE", "QFTPFFF", "QFTPGFS"};

template <typename T>
void Look(HMODULE library, const char* name, T& entry) {
    entry = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t bar = text.find('|', start);
        parts.push_back(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) return parts;
        start = bar + 1;
    }
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 32) {
            char escape[8];
            std::snprintf(escape, sizeof(escape), "\\u%04x", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// What the progress callback saw.
struct ProgressLog {
    const Entries* entries = nullptr;
    int session = 0;
    bool reenter = false;  // call back into the library from the callback, once
    int reenterResult = -99;
    int reenterError = -1;
    int stopAt = -1;  // answer 0 once this per-mille value is reached
    int calls = 0;
    int last = -1;
    bool backwards = false;
    bool outOfRange = false;
    DWORD threadId = 0;
    bool otherThread = false;
    std::vector<int> values;  // the first ones only
};

int CALLBACK RecordProgress(int perMille, void* context) {
    ProgressLog& log = *static_cast<ProgressLog*>(context);
    ++log.calls;
    if (perMille < log.last) log.backwards = true;
    if (perMille < 0 || perMille > 1000) log.outOfRange = true;
    if (GetCurrentThreadId() != log.threadId) log.otherThread = true;
    log.last = perMille;
    if (log.values.size() < 2000) log.values.push_back(perMille);
    if (log.reenter && log.reenterResult == -99) {
        long long size = 0;
        log.reenterResult = log.entries->gfs(log.session, "/x", &size);
        log.reenterError = log.entries->fgle(log.session, nullptr, 0);
    }
    return log.stopAt >= 0 && perMille >= log.stopAt ? 0 : 1;
}

std::string ProgressFields(const ProgressLog& log) {
    std::string out = ",\"calls\":" + std::to_string(log.calls) + ",\"lastPerMille\":" + std::to_string(log.last) +
                      ",\"backwards\":" + (log.backwards ? "true" : "false") +
                      ",\"outOfRange\":" + (log.outOfRange ? "true" : "false") +
                      ",\"otherThread\":" + (log.otherThread ? "true" : "false") +
                      ",\"reenterResult\":" + std::to_string(log.reenterResult) +
                      ",\"reenterError\":" + std::to_string(log.reenterError) + ",\"values\":[";
    for (size_t i = 0; i < log.values.size(); ++i) out += (i ? "," : "") + std::to_string(log.values[i]);
    return out + "]";
}

int Number(const std::vector<std::string>& args, size_t index, int fallback) {
    return index < args.size() && !args[index].empty() ? std::atoi(args[index].c_str()) : fallback;
}

const char* Arg(const std::vector<std::string>& args, size_t index) {
    return index < args.size() ? args[index].c_str() : "";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: qxftp_probe report QXFtp.dll op...\n");
        return 2;
    }
    FILE* report = std::fopen(argv[1], "wb");
    if (report == nullptr) return 3;
    HMODULE library = LoadLibraryA(argv[2]);
    if (library == nullptr) {
        std::fprintf(report, "{\"op\":\"load\",\"result\":0}\n");
        std::fclose(report);
        return 4;
    }
    Entries e;
    Look(library, "QFTPIFO", e.ifo);
    Look(library, "QFTPUFO", e.ufo);
    Look(library, "QFTPFLON", e.flon);
    Look(library, "QFTPFLOFF", e.floff);
    Look(library, "QFTPGFS", e.gfs);
    Look(library, "QFTPFGFWCB", e.fgfwcb);
    Look(library, "QFTPFPFWCB", e.fpfwcb);
    Look(library, "QFTPFGLE", e.fgle);
    Look(library, "QFTPFCLE", e.fcle);
    Look(library, "QFTPRF", e.rf);
    Look(library, "QFTPDF", e.df);
    Look(library, "QFTPGFI", e.gfi);
    Look(library, "QFTPCF", e.cf);
    Look(library, "QFTPFE", e.fe);
    Look(library, "QFTPFFF", e.fff);
    std::string missing;
    for (const char* name : kEntryNames) {
        if (GetProcAddress(library, name) == nullptr) missing += std::string(missing.empty() ? "" : " ") + name;
    }
    if (!missing.empty()) {
        std::fprintf(report, "{\"op\":\"load\",\"result\":0,\"missing\":%s}\n", Quoted(missing).c_str());
        std::fclose(report);
        return 5;
    }

    int session = e.ifo();
    int freedSession = 0;
    for (int i = 3; i < argc; ++i) {
        const std::vector<std::string> a = Split(argv[i]);
        const std::string& op = a[0];
        int result = 0;
        bool failed = false;
        std::string extra;
        ProgressLog progress;
        progress.threadId = GetCurrentThreadId();
        if (op == "exports") {
            result = 1;
        } else if (op == "logon") {
            result = e.flon(session, Arg(a, 1), Number(a, 2, 21), Arg(a, 3), Arg(a, 4), Arg(a, 5), Arg(a, 6), Arg(a, 7),
                            Arg(a, 8), Number(a, 9, Number(a, 2, 21)), Number(a, 10, 0));
            failed = result != 1;
        } else if (op == "size") {
            long long size = -1;
            result = e.gfs(session, Arg(a, 1), &size);
            failed = result != 1;
            extra = ",\"size\":" + std::to_string(size);
        } else if (op == "get" || op == "put") {
            progress.stopAt = Number(a, 4, -1);
            progress.reenter = Number(a, 5, 0) != 0;
            progress.entries = &e;
            progress.session = session;
            result = op == "get" ? e.fgfwcb(session, Arg(a, 1), Arg(a, 2), Number(a, 3, 1), RecordProgress, &progress)
                                 : e.fpfwcb(session, Arg(a, 1), Arg(a, 2), Number(a, 3, 1), RecordProgress, &progress);
            failed = result != 1;
            extra = ProgressFields(progress);
        } else if (op == "exists") {
            result = e.fe(session, Arg(a, 1));
            failed = result == -1;
        } else if (op == "info") {
            long long size = -1;
            char stamp[64] = "unchanged";
            result = e.gfi(session, Arg(a, 1), &size, stamp, Number(a, 2, static_cast<int>(sizeof(stamp))));
            failed = result != 1;
            extra = ",\"size\":" + std::to_string(size) + ",\"modified\":" + Quoted(stamp);
        } else if (op == "cwd") {
            result = e.cf(session, Arg(a, 1));
            failed = result != 1;
        } else if (op == "rename") {
            result = e.rf(session, Arg(a, 1), Arg(a, 2));
            failed = result != 1;
        } else if (op == "delete") {
            result = e.df(session, Arg(a, 1));
            failed = result != 1;
        } else if (op == "find") {
            char name[8192] = "unchanged";
            result = e.fff(session, Arg(a, 1), name, Number(a, 2, static_cast<int>(sizeof(name))));
            failed = result != 1;
            extra = ",\"name\":" + Quoted(name);
        } else if (op == "logoff") {
            result = e.floff(session);
        } else if (op == "lasterror") {
            char text[QXFTP_ERROR_TEXT_CAPACITY] = "unchanged";
            result = e.fgle(session, text, Number(a, 1, static_cast<int>(sizeof(text))));
            extra = ",\"text\":" + Quoted(text);
        } else if (op == "clearerror") {
            result = e.fcle(session);
        } else if (op == "free") {
            result = e.ufo(session);
            freedSession = session;
        } else if (op == "reopen") {
            session = e.ifo();
            result = session != 0 && session != freedSession ? 1 : 0;
        } else if (op == "stale") {
            // Every entry refuses a freed handle.
            long long size = 0;
            result = e.gfs(freedSession, "/x", &size) == 0 && e.fe(freedSession, "/x") == -1 &&
                     e.fgle(freedSession, nullptr, 0) == QXFTP_E_INVALID_HANDLE && e.ufo(freedSession) == 0 &&
                     e.fcle(freedSession) == 0;
        } else {
            std::fprintf(report, "{\"op\":%s,\"result\":\"unknown operation\"}\n", Quoted(op).c_str());
            continue;
        }
        std::string errorFields;
        if (failed) {
            char text[QXFTP_ERROR_TEXT_CAPACITY] = "";
            const int code = e.fgle(session, text, sizeof(text));
            errorFields = ",\"error\":" + std::to_string(code) + ",\"errorText\":" + Quoted(text);
        }
        std::fprintf(report, "{\"op\":%s,\"result\":%d%s%s}\n", Quoted(op).c_str(), result, extra.c_str(),
                     errorFields.c_str());
        std::fflush(report);
    }
    if (session != 0 && session != freedSession) e.ufo(session);
    FreeLibrary(library);
    std::fclose(report);
    return 0;
}
