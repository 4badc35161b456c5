// What quorvantel, its native-messaging host and Thunderbird's extension say to
// each other. Every hop carries the same frames: a 4-byte length in the
// machine's byte order, then that many bytes of UTF-8 JSON.
//
// quorvantel listens on a Unix socket in a directory only its user can enter
// (on Windows a named pipe only its user can open, TbPipe.h); the host that
// Thunderbird starts connects to it and relays frames both ways.
//
// Requests (quorvantel to the extension), each with a number "id":
//   {"op":"new", "to":[...], "cc":[...], "bcc":[...]}  -> {"tab": n}
//   {"op":"active"}                                   -> {"tab": n or null}
//   {"op":"get", "tab":n, "field":"to"}               -> {"entries": [...]}
//   {"op":"set", "tab":n, "field":"to", "to":[...]}   -> {}
//   {"op":"show", "tab":n}                            -> {}
// Answers carry the request's "id" and "ok"; a failure has "error" ("noTab"
// when the compose window is gone, "tooLarge", "badJson", "failed") and
// "message". Recipient arrays hold one RFC 5322 mailbox per person. When a
// request would not fit in 1 MiB, its recipients go ahead in messages
// {"id":same, "chunk":true, "to":[...]} that the extension puts in front.
// The host says {"hello":true} to the extension when it starts and for every
// quorvantel it connects to; the extension then drops unfinished chunks.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tbwire {

// Thunderbird takes at most 1 MiB in one message from the host.
inline constexpr size_t kToExtensionLimit = size_t{1} << 20;
// What we accept from Thunderbird in one message (its own limit is 4 GiB).
inline constexpr size_t kFromExtensionLimit = size_t{64} << 20;

using TClock = std::chrono::steady_clock;

// The frame around a payload.
std::string Frame(std::string_view payload);

// Collects frames out of a byte stream. A frame longer than the limit is
// skipped whole and reported, so the frames after it are read as usual.
class TFrameReader {
  public:
    explicit TFrameReader(size_t limit) : limit_(limit) {}

    struct TEvent {
        enum Kind { Payload, Oversized } kind;
        std::string payload;  // Payload only
        uint64_t size = 0;    // the announced length
    };

    void Feed(const char* data, size_t size);
    std::optional<TEvent> Next();
    // Part of a frame has arrived and the rest has not.
    bool MidFrame() const { return !buffer_.empty() || skipping_ > 0; }
    void Reset();

  private:
    size_t limit_;
    std::string buffer_;
    size_t offset_ = 0;
    uint64_t skipping_ = 0;
    std::optional<TEvent> pendingOversized_;
};

#ifndef _WIN32
// The directory of the socket: $XDG_RUNTIME_DIR/quorvantel, or, without a
// runtime directory, /tmp/quorvantel-<uid>.
std::string SocketDirectory();
// The display session of this process, from $DISPLAY (without its screen
// number) and $WAYLAND_DISPLAY, as a file-name part. One user may have
// several sessions; the host has Thunderbird's, so each quorvantel pairs with
// the Thunderbird of its own session.
std::string SessionKey();
// The socket of a session in a directory: tb-<session>.sock.
std::string SocketPath(const std::string& directory, const std::string& session);
// The socket of this process's session in the usual directory.
std::string SocketPath();

// Creates the directory with mode 0700 if needed and checks that it is ours:
// a real directory (no symbolic link), owned by this user, closed to others.
// Returns the reason when it is not.
std::optional<std::string> PreparePrivateDirectory(const std::string& dir);

// Whether the process at the other end of a Unix socket runs as this user.
bool PeerIsThisUser(int fd);

// Writes everything to a non-blocking or blocking descriptor before the
// deadline. False on an error, a closed peer or the deadline.
bool WriteAll(int fd, std::string_view data, TClock::time_point deadline);

// Reads what is there (waiting until the deadline for something); the number
// of bytes, 0 at the end of the stream, -1 on an error, -2 at the deadline.
long ReadSome(int fd, char* buffer, size_t size, TClock::time_point deadline);
#endif

}  // namespace tbwire
