#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A database server as a test breaks it: a TCP port on 127.0.0.1 that passes every connection
// on to the real server's Unix socket, until told to freeze (nothing passes either way: a server
// that stopped answering) or to cut every connection (a server restart). With no socket to pass
// on to it accepts and never answers.
class DatabaseProxy {
public:
    explicit DatabaseProxy(std::string unixSocket);
    ~DatabaseProxy();
    DatabaseProxy(const DatabaseProxy&) = delete;
    DatabaseProxy& operator=(const DatabaseProxy&) = delete;

    std::uint16_t Port() const { return port_; }
    void Freeze(bool frozen) { frozen_ = frozen; }
    void CutConnections();

private:
    void Accept();
    void Pass(int client);

    std::string unixSocket_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> frozen_{false};
    std::atomic<bool> ending_{false};
    std::mutex mutex_;
    std::vector<int> open_;  // both ends of every connection
    std::vector<std::thread> threads_;
};
