#pragma once
// The owner of a Winsock socket, in the set of Handles.h (apart because winsock2.h must come
// before windows.h).
#include <winsock2.h>

#include "Handles.h"

struct SocketTraits {
    using Type = SOCKET;
    static Type Invalid() { return INVALID_SOCKET; }
    static bool IsValid(Type value) { return value != INVALID_SOCKET; }
    static void Close(Type value) { closesocket(value); }
};
using UniqueSocket = UniqueResource<SocketTraits>;
