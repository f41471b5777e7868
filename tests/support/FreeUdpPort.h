#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A UDP port on the loopback nobody holds now, as the system picks one; 0 when none could be had.
// Another program may take it before the caller does, which a test then sees as a refusal.
inline int FreeUdpPort() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        return 0;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    const bool bBound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0;
    ::close(fd);
    return bBound ? ntohs(address.sin_port) : 0;
}
