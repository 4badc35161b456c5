// A stand-in for the native-messaging host with Thunderbird behind it: it
// connects to quorvantel's socket like the host and answers each request
// with a function of it, on a thread of its own. One kind of request can be
// held back until the test lets it go.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class TStandInHost {
  public:
    using Json = nlohmann::json;
    using TAnswer = std::function<std::optional<Json>(const Json&)>;

    TStandInHost(const std::string& path, TAnswer answer);
    ~TStandInHost();

    void Close();
    bool Connected() const { return connected_; }
    // Requests with this "op" wait for Release (at most 30 s) before their answer.
    void Hold(const std::string& op);
    void Release();
    // Before answering a held request, says that Thunderbird is making this
    // many pills, as the extension does.
    void Announce(size_t pills) { announce_ = pills; }
    // Whether a held request is waiting now.
    bool Holding() const;

    std::vector<Json> Received;  // read after Close
    size_t LargestFrame = 0;

  private:
    void Serve();

    TAnswer answer_;
    int fd_ = -1;
    bool connected_ = false;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    std::string held_;
    bool holding_ = false;
    bool release_ = false;
    size_t announce_ = 0;
    std::thread thread_;
};
