#include "service.h"

#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>

#include <iostream>

namespace {

const char kNotXml[] =
    "<html><head><title>502 Bad Gateway</title></head><body><h1>Bad Gateway</h1>"
    "<p>The proxy server received an invalid response from an upstream server.";

// Well-formed, as many portals' XHTML pages are: it parses, and only lacks the <result>.
const char kPortalPage[] =
    "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>Sign in to the network</title>"
    "</head><body><form method=\"post\" action=\"/portal\"><input name=\"voucher\"/>"
    "<button>Connect</button></form></body></html>";

std::string Element(const std::string& name, const std::string& value) {
    return "<" + name + ">" + value + "</" + name + ">";
}

std::string Result(int code, const std::string& rest = {}) {
    return "<result>" + Element("resultValue", std::to_string(code)) + rest + "</result>";
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string FormDecode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Field(const std::map<std::string, std::string>& form, const std::string& name) {
    auto it = form.find(name);
    return it == form.end() ? std::string() : it->second;
}

// The server library files the connection's addresses among the request headers.
bool IsAddedByServer(const std::string& name) {
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
           name == "LOCAL_PORT";
}

constexpr size_t kMaxBody = size_t{64} * 1024;

// A Content-Length of at most kMaxBody.
bool BodyFits(const std::string& length) {
    if (length.size() > 7 || length.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    return std::stoul(length) <= kMaxBody;
}

int ConnectionOf(const httplib::Request& request) {
    return request.ssl ? SSL_get_fd(request.ssl) : -1;
}

// The client shut its side (a TLS alert it sent before does not count).
bool ClientLeft(int connection) {
    pollfd entry{connection, POLLRDHUP, 0};
    return poll(&entry, 1, 0) > 0 && (entry.revents & (POLLRDHUP | POLLHUP | POLLERR));
}

// The state file keeps an account a line, its fields split by a tab: a control character in a
// field would write lines and accounts of its own. Such a request gets a 400 naming the field.
bool RefuseControlCharacters(const std::map<std::string, std::string>& form,
                             httplib::Response& response) {
    for (const auto& field : form) {
        for (const std::string& text : {field.first, field.second}) {
            for (const unsigned char c : text) {
                if (c >= 0x20 && c != 0x7F) continue;
                response.status = 400;
                response.set_content(
                    "control character in form field \"" + field.first + "\": refused\n",
                    "text/plain");
                return true;
            }
        }
    }
    return false;
}

}  // namespace

std::map<std::string, std::string> ParseForm(const std::string& body) {
    std::map<std::string, std::string> form;
    size_t pos = 0;
    while (pos <= body.size()) {
        size_t end = body.find('&', pos);
        if (end == std::string::npos) end = body.size();
        std::string pair = body.substr(pos, end - pos);
        size_t equals = pair.find('=');
        if (!pair.empty()) {
            form.emplace(
                FormDecode(pair.substr(0, equals)),
                equals == std::string::npos ? std::string() : FormDecode(pair.substr(equals + 1)));
        }
        pos = end + 1;
    }
    return form;
}

void AccountService::Install(httplib::Server& server) {
    // A body is bounded before it is read: a larger one is answered at once and its connection
    // ends, so nothing of it is kept or read on; one without a stated length is refused alike.
    server.set_pre_routing_handler(
        [](const httplib::Request& request, httplib::Response& response) {
            const std::string length = request.get_header_value("Content-Length");
            const bool bStated = !length.empty() && !request.has_header("Transfer-Encoding");
            const bool bNoBody = length.empty() && !request.has_header("Transfer-Encoding") &&
                                 (request.method == "GET" || request.method == "HEAD");
            if (bNoBody || (bStated && BodyFits(length))) {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            response.status = bStated ? 413 : 411;
            // The answer goes out here and the connection ends, so that the rest of the body is
            // never read (the library would read on for the next request).
            if (request.ssl) {
                const std::string answer = "HTTP/1.1 " + std::to_string(response.status) +
                                           (bStated ? " Payload Too Large" : " Length Required") +
                                           "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
                SSL_write(const_cast<SSL*>(request.ssl), answer.data(),
                          static_cast<int>(answer.size()));
                shutdown(SSL_get_fd(request.ssl), SHUT_RDWR);
            }
            return httplib::Server::HandlerResponse::Handled;
        });
    auto route =
        [this](std::string (AccountService::*handler)(const std::map<std::string, std::string>&)) {
            return [this, handler](const httplib::Request& request, httplib::Response& response) {
                if (!BeforeAnswer(request)) return;
                if (!m_faults.strRedirectTo.empty()) {
                    response.status = 307;  // the client is to post the same form there
                    response.set_header("Location", m_faults.strRedirectTo);
                    return;
                }
                if (AnswerAsBrokenSite(request, response)) return;
                const std::map<std::string, std::string> form = ParseForm(request.body);
                if (RefuseControlCharacters(form, response)) return;
                Answer(response, (this->*handler)(form), ConnectionOf(request));
            };
        };
    // A reply without a length ends where its connection does: one request a connection.
    if (m_faults.framing == Framing::kClose) server.set_keep_alive_max_count(1);
    server.Post("/register", route(&AccountService::Register));
    server.Post("/login", route(&AccountService::Login));
    // What arrived, for tests of the client: request line, headers, a blank line, the body.
    server.Post("/echo", [this](const httplib::Request& request, httplib::Response& response) {
        if (!BeforeAnswer(request)) return;
        std::string text = request.method + " " + request.target + "\n";
        for (const auto& header : request.headers) {
            if (IsAddedByServer(header.first)) continue;
            text += header.first + ": " + header.second + "\n";
        }
        response.set_content(text + "\n" + request.body, "text/plain");
    });
    server.set_logger([](const httplib::Request& request, const httplib::Response& response) {
        // A long body is cut: the log is for reading.
        constexpr size_t kLoggedBody = 200;
        std::cerr << "account-server: " << request.method << " " << request.target << " ["
                  << request.body.substr(0, kLoggedBody)
                  << (request.body.size() > kLoggedBody
                          ? "...(" + std::to_string(request.body.size()) + " bytes)"
                          : "")
                  << "] -> " << response.status << std::endl;
    });
}

bool AccountService::AnswerAsBrokenSite(const httplib::Request& request,
                                        httplib::Response& response) const {
    if (m_faults.bRedirectSelf) {
        response.status = 307;
        response.set_header("Location", request.path);
        return true;
    }
    if (m_faults.bCaptivePortal) {
        // What a hotspot's portal answers for any address until the user signs in.
        response.set_content(kPortalPage, "text/html");
        return true;
    }
    if (m_faults.bOverloaded) {
        response.status = 503;
        response.set_content("", "text/plain");
        return true;
    }
    return false;
}

void AccountService::Stop() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bStopping = true;
    m_wake.notify_all();
}

std::string AccountService::Register(const std::map<std::string, std::string>& form) {
    if (m_faults.registerCode) return Result(*m_faults.registerCode);
    std::string cid = Field(form, "cid");
    if (cid.empty()) return Result(1);
    const std::string password = m_accounts.Register(cid);
    if (password.empty()) return Result(1);  // no room for another account
    return Result(0, Element("password", password));
}

std::string AccountService::Login(const std::map<std::string, std::string>& form) {
    int code = 0;
    if (m_faults.loginCode && !(m_faults.bLoginCodeOnce && m_bLoginCodeUsed.exchange(true))) {
        code = *m_faults.loginCode;
    } else if (Field(form, "cid").empty()) {
        code = 1;
    } else {
        switch (m_accounts.Login(Field(form, "cid"), Field(form, "pass"))) {
            case AccountStore::Check::kAccepted:
                code = 0;
                break;
            case AccountStore::Check::kUnknownIdentity:
                code = 2;
                break;
            case AccountStore::Check::kWrongPassword:
                code = 3;
                break;
        }
    }
    if (code != 0) return Result(code);
    const char* hex = "0123456789abcdef";
    return Result(0, Element("encodekey", m_accounts.RandomText(16, hex)) +
                         Element("sessionid", m_accounts.RandomText(32, hex)));
}

bool AccountService::WaitUnlessStopped(std::optional<std::chrono::milliseconds> duration,
                                       int connection) {
    using Clock = std::chrono::steady_clock;
    const auto kPoll = std::chrono::milliseconds(100);  // how soon a client's leaving is seen
    auto deadline = Clock::now() + duration.value_or(kPoll);
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_bStopping) {
        if (connection >= 0 && ClientLeft(connection)) return true;
        auto now = Clock::now();
        if (duration && now >= deadline) return false;
        m_wake.wait_for(lock, duration ? std::min<Clock::duration>(deadline - now, kPoll) : kPoll);
    }
    return true;
}

bool AccountService::BeforeAnswer(const httplib::Request& request) {
    int connection = ConnectionOf(request);
    if (m_faults.delayMs > 0 &&
        WaitUnlessStopped(std::chrono::milliseconds(m_faults.delayMs), -1)) {
        return false;
    }
    // A claimed length holds (with a hang) after its short body, not before.
    if (m_faults.bHang && !m_faults.claimLength) {
        std::cerr << "account-server: holding " << request.method << " " << request.target
                  << " unanswered" << std::endl;
        WaitUnlessStopped(std::nullopt, connection);
    }
    if ((m_faults.bHang && !m_faults.claimLength) || m_faults.bClose) {
        if (connection >= 0) shutdown(connection, SHUT_RDWR);
        std::cerr << "account-server: closed the connection of " << request.method << " "
                  << request.target << " without an answer" << std::endl;
        return false;
    }
    return true;
}

void AccountService::Answer(httplib::Response& response, std::string body, int connection) {
    if (m_faults.bNotXml) body = kNotXml;
    const size_t kCommentBytes = 7;  // "<!--" and "-->"
    if (m_faults.padTo > body.size() + kCommentBytes) {
        body += "<!--" + std::string(m_faults.padTo - body.size() - kCommentBytes, '.') + "-->";
    }
    const char* type = m_faults.bNotXml ? "text/html" : "text/xml";
    if (m_faults.claimLength && *m_faults.claimLength > body.size()) {
        // The body is the first and only piece of the claimed length; false ends the connection.
        const uint64_t claimed = *m_faults.claimLength;
        auto provider = [this, body, claimed, connection](size_t, size_t, httplib::DataSink& sink) {
            if (!sink.write(body.data(), body.size())) return false;
            std::cerr << "account-server: sent " << body.size() << " of " << claimed
                      << " claimed bytes" << std::endl;
            if (m_faults.bHang) {
                std::cerr << "account-server: holding the connection" << std::endl;
                WaitUnlessStopped(std::nullopt, connection);
            }
            if (connection >= 0) shutdown(connection, SHUT_RDWR);
            return false;
        };
        response.set_content_provider(static_cast<size_t>(claimed), type, provider);
        return;
    }
    if (m_faults.framing == Framing::kLength) {
        response.set_content(body, type);
        return;
    }
    // Written in pieces, so that a chunked reply has several chunks.
    auto provider = [body](size_t offset, httplib::DataSink& sink) {
        size_t piece = std::min<size_t>(4096, body.size() - offset);
        if (piece > 0 && !sink.write(body.data() + offset, piece)) return false;
        if (offset + piece == body.size()) sink.done();
        return true;
    };
    if (m_faults.framing == Framing::kChunked) {
        response.set_chunked_content_provider(type, provider);
    } else {
        response.set_content_provider(type, provider);
    }
}
