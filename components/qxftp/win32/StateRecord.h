#pragma once
#include <string>

#include "win32/Failure.h"

namespace qxftp {

// The remote modification time (MDTM) recorded for a download in its state file: the local
// path followed by "_sz", section "Main", key "RemoteModified". Other keys of the file belong to
// the caller and are never touched.
class StateRecord {
public:
    explicit StateRecord(const std::wstring& localPath) : m_path(localPath + L"_sz") {}

    // The recorded stamp; empty when none is recorded. A value too long to be a stamp comes back
    // as "?", which equals no stamp a server sends.
    std::string Read() const;

    // Records `stamp`; an empty stamp removes the key (the server has no MDTM now).
    bool Write(const std::string& stamp, Failure& failure) const;

private:
    std::wstring m_path;
};

}  // namespace qxftp
