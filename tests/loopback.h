// Socket chores shared by the tests' scripted servers on the loopback address.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <string>

// Listens on a free loopback port; the socket, or -1. *port gets the port.
inline int loopback_listen(int backlog, int* port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(addr);
    if (fd < 0 || bind(fd, (sockaddr*)&addr, sizeof(addr)) != 0 || listen(fd, backlog) != 0 ||
        getsockname(fd, (sockaddr*)&addr, &size) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    *port = ntohs(addr.sin_port);
    return fd;
}

// Waits for `events` on fd in slices of slice_ms, until they come, poll fails
// or stop is set.
inline bool loopback_wait(int fd, short events, const std::atomic<bool>& stop, int slice_ms) {
    while (!stop) {
        pollfd p = {fd, events, 0};
        int n = ::poll(&p, 1, slice_ms);
        if (n > 0) return true;
        if (n < 0) return false;
    }
    return false;
}

// Sends all of bytes, or fails when the peer goes away or stop is set.
inline bool loopback_send_all(int fd, const char* bytes, size_t len, const std::atomic<bool>& stop, int slice_ms) {
    for (size_t done = 0; done < len;) {
        if (!loopback_wait(fd, POLLOUT, stop, slice_ms)) return false;
        ssize_t n = send(fd, bytes + done, len - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += (size_t)n;
    }
    return true;
}

// Reads a request's head and as much body as its Content-Length announces
// (the game ends its header lines with a bare newline).
inline std::string loopback_read_request(int fd, const std::atomic<bool>& stop, int slice_ms) {
    std::string got;
    char buf[4096];
    for (;;) {
        size_t end = got.find("\n\n");
        if (end != std::string::npos) {
            size_t at = got.find("Content-Length: ");
            size_t body = at == std::string::npos || at > end ? 0 : (size_t)atoi(got.c_str() + at + 16);
            if (got.size() >= end + 2 + body) break;
        }
        if (!loopback_wait(fd, POLLIN, stop, slice_ms)) break;
        ssize_t n = recv(fd, buf, sizeof(buf), 0);
        if (n <= 0) break;
        got.append(buf, (size_t)n);
    }
    return got;
}
