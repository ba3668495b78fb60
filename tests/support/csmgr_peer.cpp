// SPDX-License-Identifier: Apache-2.0
#include "csmgr_peer.h"

#include "fail_new.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace rdtest {

std::string Word(uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>(value >> (8 * i));
    return bytes;
}

uint32_t WordAt(const std::string &bytes, std::size_t at) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < 4 && at + i < bytes.size(); ++i)
        value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
    return value;
}

Reply Reply::Answer(uint32_t status, const std::string &body, std::size_t total) {
    std::string bytes =
        Word(0) + Word(static_cast<uint32_t>(total)) + Word(0) + Word(status) + body;
    bytes.resize(total, '\0');
    return Reply{bytes};
}

Reply Reply::Lying(uint32_t status, std::size_t total, uint32_t length) {
    Reply reply = Answer(status, "", total);
    reply.bytes->replace(4, 4, Word(length));
    return reply;
}

CSMgrPeer::CSMgrPeer(bool listen) {
    const char *folder = std::getenv("RD_PIPE_DIR");
    path_ = std::string(folder != nullptr ? folder : "/tmp") + "/RDCSMP";
    if (listen) Listen();
}

CSMgrPeer::~CSMgrPeer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) {
        close(listener_);
        unlink(path_.c_str());
    }
}

bool CSMgrPeer::Listen() {
    listener_ = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
    unlink(path_.c_str());
    if (listener_ < 0 ||
        bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(listener_, 16) != 0)
        return false;
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void CSMgrPeer::Script(const Reply &reply) {
    const CppHeapUncounted uncounted; // the test's own bookkeeping
    std::lock_guard lock(mutex_);
    script_.push_back(reply);
}

void CSMgrPeer::Standing(uint32_t code, const Reply &reply) {
    const CppHeapUncounted uncounted;
    std::lock_guard lock(mutex_);
    standing_[code] = reply;
}

void CSMgrPeer::ClearScript() {
    std::lock_guard lock(mutex_);
    script_.clear();
}

std::vector<std::string> CSMgrPeer::Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::string CSMgrPeer::LastRequest() {
    std::lock_guard lock(mutex_);
    return requests_.empty() ? std::string() : requests_.back();
}

std::size_t CSMgrPeer::Count() {
    std::lock_guard lock(mutex_);
    return requests_.size();
}

void CSMgrPeer::Serve() {
    while (!stop_) {
        pollfd waiting{listener_, POLLIN, 0};
        if (poll(&waiting, 1, 20) != 1) continue;
        int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        Answer(connection);
        close(connection);
    }
}

void CSMgrPeer::Answer(int connection) {
    pollfd readable{connection, POLLIN, 0};
    if (poll(&readable, 1, 5000) != 1) return;
    // The whole request message, whatever its size.
    ssize_t size = recv(connection, nullptr, 0, MSG_PEEK | MSG_TRUNC);
    if (size <= 0) return;
    std::string request(static_cast<std::size_t>(size), '\0');
    if (recv(connection, request.data(), request.size(), 0) != size) return;
    Reply reply{request};
    if (request.size() >= 16) request.replace(12, 4, Word(0));
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(reply.bytes.value());
        const auto standing = standing_.find(WordAt(request, 0));
        if (!script_.empty()) {
            reply = script_.front();
            script_.pop_front();
        } else if (standing != standing_.end()) {
            reply = standing->second;
        } else {
            reply.bytes = request;
        }
    }
    if (reply.silent) {
        pollfd left{connection, POLLRDHUP, 0};
        poll(&left, 1, 10000);
        return;
    }
    if (!reply.bytes) return;
    send(connection, reply.bytes->data(), reply.bytes->size(), MSG_NOSIGNAL);
    // Keep the connection until the client has read the answer and closed.
    pollfd closed{connection, POLLRDHUP, 0};
    poll(&closed, 1, 5000);
}

} // namespace rdtest
