#include "DatabaseProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

DatabaseProxy::DatabaseProxy(std::string unixSocket) : unixSocket_(std::move(unixSocket)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 16);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    threads_.emplace_back([this] { Accept(); });
}

DatabaseProxy::~DatabaseProxy() {
    ending_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    threads_.front().join();  // the accepting thread: no connection is added after it
    CutConnections();
    for (std::size_t i = 1; i < threads_.size(); ++i) threads_[i].join();
    ::close(listener_);
}

void DatabaseProxy::CutConnections() {
    std::lock_guard lock(mutex_);
    for (const int socket : open_) ::shutdown(socket, SHUT_RDWR);
}

void DatabaseProxy::Accept() {
    for (;;) {
        const int client = ::accept(listener_, nullptr, nullptr);
        if (client < 0 || ending_) {
            if (client >= 0) ::close(client);
            return;
        }
        std::lock_guard lock(mutex_);
        open_.push_back(client);
        threads_.emplace_back([this, client] { Pass(client); });
    }
}

// Passes bytes both ways while not frozen; ends when either side closes.
void DatabaseProxy::Pass(int client) {
    int server = -1;
    if (!unixSocket_.empty()) {
        server = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, unixSocket_.c_str(), sizeof address.sun_path - 1);
        if (::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            std::lock_guard lock(mutex_);
            open_.push_back(server);
        } else {
            ::close(server);
            server = -1;
        }
    }
    char buffer[8192];
    while (!ending_) {
        pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        if (::poll(ends, server < 0 ? 1 : 2, 50) <= 0) continue;
        if (server < 0 || frozen_) {
            // Nothing passes; a client that leaves is still noticed.
            if ((ends[0].revents & (POLLHUP | POLLERR)) != 0) break;
            if (server < 0 && (ends[0].revents & POLLIN) != 0 &&
                ::read(client, buffer, sizeof buffer) <= 0)
                break;
            if (frozen_) std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        bool closed = false;
        for (int side = 0; side < 2 && !closed; ++side) {
            if ((ends[side].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
            const ssize_t got = ::read(ends[side].fd, buffer, sizeof buffer);
            // A side that left (a client that gave up on a frozen server) ends the connection;
            // it must not end the test with SIGPIPE.
            closed = got <= 0 || ::send(ends[1 - side].fd, buffer, static_cast<std::size_t>(got),
                                        MSG_NOSIGNAL) != got;
        }
        if (closed) break;
    }
    std::lock_guard lock(mutex_);
    for (const int socket : {client, server}) {
        if (socket < 0) continue;
        std::erase(open_, socket);
        ::close(socket);
    }
}
