// HTTP/1.1 over a byte stream, for a face that carries its own connections: the text of a hop's
// request, and a reader of the reply as its bytes come.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/https_hop.h"

// The request line, "Host" and "User-Agent", the caller's header lines as they are, the body's
// length and the body.
std::string Http1Request(const HttpHop& hop);

class Http1ReplyReader {
public:
    // Takes the next bytes of the stream; false once the reply is complete or has failed.
    bool Feed(const char* data, size_t size);
    // The peer closed the stream.
    void End();

    bool Complete() const { return m_state == State::kDone; }
    // A reply's head has been read: its status and what it said.
    bool HasHead() const { return m_bHead; }
    uint32_t Status() const { return m_bHead ? m_status : 0; }
    const std::optional<uint64_t>& ClaimedLength() const { return m_claimed; }
    const std::string& Location() const { return m_strLocation; }
    std::string& Body() { return m_body; }
    // Not 0: the reply failed with this WinINet number (after its head: the body's error).
    uint32_t Error() const { return m_error; }
    const std::string& ErrorDetail() const { return m_strError; }
    // The stream may carry another request once the reply is complete.
    bool KeepsConnection() const { return m_state == State::kDone && m_bKeepAlive; }

private:
    enum class State { kHead, kLength, kChunkSize, kChunkData, kChunkEnd, kTrailer, kClose, kDone };

    void Fail(uint32_t error, const std::string& detail);
    bool TakeHead();
    bool TakeBody(const char*& data, size_t& size);
    void Append(const char* data, size_t size);
    bool TakeLine(std::string& line);

    State m_state = State::kHead;
    std::string m_buffer;  // a head or a chunk's line not yet complete
    bool m_bHead = false;
    uint32_t m_status = 0;
    std::optional<uint64_t> m_claimed;
    std::string m_strLocation;
    bool m_bKeepAlive = false;
    uint64_t m_left = 0;  // of the length or the chunk
    std::string m_body;
    uint32_t m_error = 0;
    std::string m_strError;
};
