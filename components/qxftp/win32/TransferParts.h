#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include <windows.h>

#include "QXFtp.h"
#include "ProgressPacing.h"
#include "win32/Failure.h"
#include "win32/LocalFile.h"

namespace qxftp {

// Where received data goes.
class DataSink {
public:
    virtual ~DataSink() = default;
    virtual bool Accept(const char* data, size_t size, Failure& failure) = 0;
};

class FileSink : public DataSink {
public:
    explicit FileSink(LocalFile& file) : m_file(file) {}
    bool Accept(const char* data, size_t size, Failure& failure) override {
        return m_file.WriteAll(data, size, failure);
    }

private:
    LocalFile& m_file;
};

// Keeps the first line of a name list (without its CR LF), at most `maxLength` characters;
// everything after it is read and dropped, so memory stays bounded whatever the list's length.
class FirstLineSink : public DataSink {
public:
    explicit FirstLineSink(size_t maxLength) : m_maxLength(maxLength) {}
    bool Accept(const char* data, size_t size, Failure& failure) override;
    // The list ended: a last line without LF ends here.
    void EndLine();
    const std::string& Line() const { return m_line; }
    bool TooLong() const { return m_tooLong; }

private:
    size_t m_maxLength;
    std::string m_line;
    bool m_done = false;
    bool m_tooLong = false;
};

// Calls the caller's progress callback as bytes arrive (see ProgressPacer for when). A transfer
// that gives a spacing must wait for bytes no longer than MsUntilHeldReport and then call
// ReportHeld.
class TransferProgress {
public:
    TransferProgress(QXPROGRESSCALLBACK callback, void* context, std::uint64_t total, std::uint64_t spacingMs = 0)
        : m_callback(callback), m_context(context), m_total(total), m_pacer(1000, spacingMs) {}

    // False when the callback asked to stop.
    bool OnBytes(std::uint64_t done);
    // Milliseconds until a change the pacing held back is due; INFINITE when none is held.
    DWORD MsUntilHeldReport() const;
    // Reports the held change; false when the callback asked to stop.
    bool ReportHeld();

private:
    QXPROGRESSCALLBACK m_callback;
    void* m_context;
    std::uint64_t m_total;
    ProgressPacer m_pacer;
};

}  // namespace qxftp
