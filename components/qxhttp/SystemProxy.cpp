#include "SystemProxy.h"

const ProxyEntries& LinkedProxyEntries() {
    static const ProxyEntries entries = {&::WinHttpGetIEProxyConfigForCurrentUser,
                                         &::WinHttpGetProxyForUrl,
                                         &::WinHttpOpen,
                                         &::WinHttpCloseHandle,
                                         &::WinHttpSetTimeouts,
                                         &::WinHttpSetOption,
                                         &::WinHttpQueryAuthSchemes,
                                         &::WinHttpSetCredentials};
    return entries;
}
