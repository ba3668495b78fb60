// SPDX-License-Identifier: Apache-2.0
// A stand-in server manager for the client's tests: a thread that serves the
// pipe RDCSMP of the current pipe folder on plain Unix sockets (not through
// the platform's pipe server, so that a fault shared by both sides of the
// platform's pipes cannot hide), records every request byte for byte and
// answers each from a script.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace rdtest {

// Little-endian words and messages as bytes.
std::string Word(uint32_t value);
uint32_t WordAt(const std::string &bytes, std::size_t at);

// One scripted answer.
struct Reply {
    // The bytes sent; none closes the connection without answering.
    std::optional<std::string> bytes;
    // Keeps the connection open without answering until the client leaves.
    bool silent = false;

    // An answer of total bytes: header (code 0, length total, option 0,
    // status), then body from byte 16, zero-padded to total.
    static Reply Answer(uint32_t status, const std::string &body = "", std::size_t total = 16);
    // The same with a length field that says length instead of the truth.
    static Reply Lying(uint32_t status, std::size_t total, uint32_t length);
    // Exactly these bytes.
    static Reply Raw(const std::string &bytes) { return Reply{bytes}; }
    static Reply Close() { return Reply{}; }
    static Reply Silent() { return Reply{std::nullopt, true}; }
};

class CSMgrPeer {
  public:
    // Listens at once unless listen is false (see Listen).
    explicit CSMgrPeer(bool listen = true);
    ~CSMgrPeer();
    CSMgrPeer(const CSMgrPeer &) = delete;
    CSMgrPeer &operator=(const CSMgrPeer &) = delete;

    // Binds the pipe and starts serving; true when it listens.
    bool Listen();
    // Queues answers, used in order. Without a queued answer the peer echoes
    // the request with status 0 (a plain success of the request's size).
    void Script(const Reply &reply);
    // Answers every request of code with reply when no queued answer waits,
    // until replaced (a reply without bytes is a standing close).
    void Standing(uint32_t code, const Reply &reply);
    // Drops the queued answers that were not used.
    void ClearScript();
    // The requests received so far.
    std::vector<std::string> Requests();
    std::string LastRequest();
    std::size_t Count();

  private:
    void Serve();
    void Answer(int connection);

    int listener_ = -1;
    std::string path_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::deque<Reply> script_;
    std::map<uint32_t, Reply> standing_;
    std::vector<std::string> requests_;
};

} // namespace rdtest
