#include "platform/http1.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "platform/https_policy.h"

namespace {

// A head longer than this is no account server's.
constexpr size_t kMaxHeadBytes = 64 * 1024;

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool HasToken(std::string_view value, std::string_view token) {
    size_t pos = 0;
    while (pos <= value.size()) {
        size_t end = value.find(',', pos);
        if (end == std::string_view::npos) end = value.size();
        std::string_view item = value.substr(pos, end - pos);
        while (!item.empty() && (item.front() == ' ' || item.front() == '\t'))
            item.remove_prefix(1);
        while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) item.remove_suffix(1);
        if (EqualsNoCase(item, token)) return true;
        pos = end + 1;
    }
    return false;
}

// Decimal digits, saturated at UINT64_MAX; nothing when there are none or anything else.
std::optional<uint64_t> Decimal(std::string_view text) {
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = static_cast<uint64_t>(c - '0');
        value = value > (UINT64_MAX - digit) / 10 ? UINT64_MAX : value * 10 + digit;
    }
    return value;
}

std::optional<uint64_t> Hexadecimal(std::string_view text) {
    text = text.substr(0, text.find(';'));
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (text.empty() || text.size() > 15) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        const int digit = std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : (std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
        if (digit < 0 || digit > 15) return std::nullopt;
        value = value * 16 + static_cast<uint64_t>(digit);
    }
    return value;
}

std::string HostField(const ParsedUrl& target) {
    const bool bLiteral = target.strServer.find(':') != std::string::npos;
    std::string host = bLiteral ? "[" + target.strServer + "]" : target.strServer;
    const uint16_t defaultPort = target.serviceType == inet::AFX_INET_SERVICE_HTTPS ? 443 : 80;
    if (target.port != defaultPort) host += ":" + std::to_string(target.port);
    return host;
}

}  // namespace

std::string Http1Request(const HttpHop& hop) {
    std::string text = hop.strVerb + " " + hop.target.strObject + " HTTP/1.1\r\n";
    text += "Host: " + HostField(hop.target) + "\r\n";
    text += "User-Agent: " + hop.pRoute->strAgent + "\r\n";
    const std::string& headers = *hop.pHeaders;
    for (size_t pos = 0; pos < headers.size();) {
        size_t end = headers.find('\n', pos);
        if (end == std::string::npos) end = headers.size();
        std::string_view line(headers.data() + pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty()) text.append(line).append("\r\n");
        pos = end + 1;
    }
    if (hop.pBody) text += "Content-Length: " + std::to_string(hop.pBody->size()) + "\r\n";
    text += "\r\n";
    if (hop.pBody) text += *hop.pBody;
    return text;
}

void Http1ReplyReader::Fail(uint32_t error, const std::string& detail) {
    m_error = error;
    m_strError = "error " + std::to_string(error) + " (" + detail + ")";
    m_bKeepAlive = false;
    m_state = State::kDone;
}

bool Http1ReplyReader::TakeLine(std::string& line) {
    const size_t end = m_buffer.find('\n');
    if (end == std::string::npos) return false;
    line = m_buffer.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    m_buffer.erase(0, end + 1);
    return true;
}

// One head from the buffer; false while it is incomplete.
bool Http1ReplyReader::TakeHead() {
    size_t end = m_buffer.find("\r\n\r\n");
    size_t skip = 4;
    const size_t bare = m_buffer.find("\n\n");
    if (bare != std::string::npos && (end == std::string::npos || bare < end)) {
        end = bare;
        skip = 2;
    }
    if (end == std::string::npos) {
        if (m_buffer.size() > kMaxHeadBytes)
            Fail(inet::ERROR_HTTP_INVALID_SERVER_RESPONSE, "head too long");
        return false;
    }
    const std::string head = m_buffer.substr(0, end + 1);
    m_buffer.erase(0, end + skip);

    std::string_view rest(head);
    const size_t lineEnd = rest.find('\n');
    std::string_view statusLine = rest.substr(0, lineEnd);
    if (!statusLine.empty() && statusLine.back() == '\r') statusLine.remove_suffix(1);
    rest.remove_prefix(lineEnd + 1);
    if (statusLine.size() < 12 || statusLine.substr(0, 7) != "HTTP/1." || statusLine[8] != ' ') {
        Fail(inet::ERROR_HTTP_INVALID_SERVER_RESPONSE, "no status line");
        return false;
    }
    const std::optional<uint64_t> status = Decimal(statusLine.substr(9, 3));
    if (!status || (statusLine.size() > 12 && statusLine[12] != ' ')) {
        Fail(inet::ERROR_HTTP_INVALID_SERVER_RESPONSE, "no status");
        return false;
    }
    m_status = static_cast<uint32_t>(*status);
    m_bKeepAlive = statusLine[7] == '1';
    m_claimed.reset();
    m_strLocation.clear();
    bool bChunked = false;
    while (!rest.empty()) {
        size_t next = rest.find('\n');
        std::string_view line = rest.substr(0, next);
        rest.remove_prefix(next == std::string_view::npos ? rest.size() : next + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view name = line.substr(0, colon);
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove_prefix(1);
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
            value.remove_suffix(1);
        if (EqualsNoCase(name, "Content-Length")) {
            const std::optional<uint64_t> length = Decimal(value);
            if (!length || (m_claimed && *m_claimed != *length)) {
                Fail(inet::ERROR_HTTP_INVALID_SERVER_RESPONSE, "bad Content-Length");
                return false;
            }
            m_claimed = length;
        } else if (EqualsNoCase(name, "Transfer-Encoding")) {
            bChunked = HasToken(value, "chunked");
        } else if (EqualsNoCase(name, "Connection")) {
            if (HasToken(value, "close")) m_bKeepAlive = false;
            if (HasToken(value, "keep-alive")) m_bKeepAlive = true;
        } else if (EqualsNoCase(name, "Location")) {
            m_strLocation = std::string(value);
        }
    }
    if (m_status >= 100 && m_status < 200) return true;  // an interim answer: the reply follows
    m_bHead = true;
    if (RefusesClaim(m_status, m_claimed)) {
        Fail(inet::ERROR_HTTP_INVALID_SERVER_RESPONSE,
             "reply claims " + std::to_string(*m_claimed) + " bytes, over " +
                 std::to_string(kMaxHttpReplyBytes));
        return false;
    }
    if (m_status == 204 || m_status == 304) {
        m_state = State::kDone;
    } else if (bChunked) {
        m_state = State::kChunkSize;
    } else if (m_claimed) {
        m_left = *m_claimed;
        m_state = m_left == 0 ? State::kDone : State::kLength;
    } else {
        m_bKeepAlive = false;
        m_state = State::kClose;
    }
    return true;
}

void Http1ReplyReader::Append(const char* data, size_t size) {
    const size_t room = kMaxHttpReplyBytes - m_body.size();
    m_body.append(data, std::min(size, room));
    if (size > room)
        Fail(inet::ERROR_HTTP_INVALID_SERVER_RESPONSE,
             "reply over " + std::to_string(kMaxHttpReplyBytes) + " bytes");
}

bool Http1ReplyReader::TakeBody(const char*& data, size_t& size) {
    switch (m_state) {
        case State::kLength:
        case State::kChunkData: {
            const size_t count = static_cast<size_t>(std::min<uint64_t>(m_left, size));
            Append(data, count);
            data += count;
            size -= count;
            m_left -= count;
            if (m_state != State::kDone && m_left == 0) {
                m_state = m_state == State::kLength ? State::kDone : State::kChunkEnd;
            }
            return true;
        }
        case State::kClose:
            Append(data, size);
            size = 0;
            return true;
        default:
            break;
    }
    // The lines of the chunked framing, from the buffer.
    m_buffer.append(data, size);
    size = 0;
    std::string line;
    while (m_state != State::kDone && m_state != State::kChunkData && TakeLine(line)) {
        if (m_state == State::kChunkEnd) {
            if (!line.empty()) {
                Fail(inet::ERROR_HTTP_INVALID_SERVER_RESPONSE, "bad chunk end");
                return false;
            }
            m_state = State::kChunkSize;
        } else if (m_state == State::kChunkSize) {
            const std::optional<uint64_t> chunk = Hexadecimal(line);
            if (!chunk) {
                Fail(inet::ERROR_HTTP_INVALID_SERVER_RESPONSE, "bad chunk size");
                return false;
            }
            m_left = *chunk;
            m_state = m_left == 0 ? State::kTrailer : State::kChunkData;
        } else if (line.empty()) {  // the trailer's end
            m_state = State::kDone;
        }
    }
    if (m_buffer.size() > kMaxHeadBytes)
        Fail(inet::ERROR_HTTP_INVALID_SERVER_RESPONSE, "chunk line too long");
    if (m_state == State::kChunkData && !m_buffer.empty()) {
        std::string pending = std::move(m_buffer);
        m_buffer.clear();
        const char* more = pending.data();
        size_t moreSize = pending.size();
        while (moreSize > 0 && m_state != State::kDone) TakeBody(more, moreSize);
    }
    return true;
}

bool Http1ReplyReader::Feed(const char* data, size_t size) {
    while (m_state != State::kDone &&
           (size > 0 || (m_state == State::kHead && !m_buffer.empty()))) {
        if (m_state == State::kHead) {
            m_buffer.append(data, size);
            size = 0;
            if (!TakeHead()) break;
            if (m_state == State::kHead) continue;  // after an interim answer
            // What followed the head is the body's.
            std::string rest = std::move(m_buffer);
            m_buffer.clear();
            const char* more = rest.data();
            size_t moreSize = rest.size();
            while (moreSize > 0 && m_state != State::kDone) TakeBody(more, moreSize);
            continue;
        }
        TakeBody(data, size);
    }
    return m_state != State::kDone;
}

void Http1ReplyReader::End() {
    switch (m_state) {
        case State::kDone:
            return;
        case State::kClose:
            m_state = State::kDone;
            return;
        case State::kHead:
            // Nothing at all is no reply (status 0); a head cut short is a broken link.
            if (!m_buffer.empty())
                Fail(inet::ERROR_INTERNET_CONNECTION_ABORTED, "reply head cut short");
            m_state = State::kDone;
            return;
        default:
            Fail(inet::ERROR_INTERNET_CONNECTION_ABORTED,
                 "reply ended after " + std::to_string(m_body.size()) + " bytes");
    }
}
