#pragma once
// A one-shot loopback listener that keeps the exact bytes of the request head it receives and
// answers "204 No Content", for checking what goes on the wire header by header.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

namespace net_test {

class RawCapture {
  public:
    RawCapture() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        ::listen(fd_, 1);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serveOne(); });
    }
    ~RawCapture() {
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        thread_.join();
    }
    RawCapture(const RawCapture&) = delete;
    RawCapture& operator=(const RawCapture&) = delete;

    std::string url(const std::string& path = "/") const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    // The request head, once received ("" before).
    std::string head() const { return done_ ? head_ : std::string(); }
    bool received() const { return done_; }

  private:
    void serveOne() {
        const int client = ::accept(fd_, nullptr, nullptr);
        if (client < 0)
            return;
        std::string data;
        char buffer[4096];
        while (data.find("\r\n\r\n") == std::string::npos) {
            const ssize_t n = ::recv(client, buffer, sizeof(buffer), 0);
            if (n <= 0)
                break;
            data.append(buffer, static_cast<size_t>(n));
        }
        head_ = data.substr(0, data.find("\r\n\r\n") + 2);
        done_ = true;  // before the reply: the client may look as soon as it has the answer
        const std::string reply = "HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n";
        ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
        ::close(client);
    }

    int fd_ = -1;
    int port_ = 0;
    std::string head_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

}  // namespace net_test
