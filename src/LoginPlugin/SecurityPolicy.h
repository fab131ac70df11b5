// How strictly the login engine guards the password and the server's identity. The default is
// the protocol's own behaviour: certificate errors are waived on a second send, any https:
// redirect is followed, a login reply without a session still counts when it left no refusal
// code, an unreadable login reply has the request body (password included) traced, and form
// values go out as they are. A host opts in to strict mode with the system setting
// "SECURITY"/"STRICT" = 1; the exchange and the login sequence ask this object at each of those
// points and nowhere else.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/https.h"

class ISetting;

class SecurityPolicy {
public:
    // The default mode.
    SecurityPolicy() = default;
    // Strict mode; a non-empty `caFile` names the PEM certificates to trust as issuers.
    static SecurityPolicy Strict(std::string caFile = {});
    // The host's choice: "SECURITY"/"STRICT" exactly "1" is strict (with "SECURITY"/"CAFILE"),
    // anything else or nothing is the default. A null setting gives the default.
    static SecurityPolicy FromSettings(ISetting* pSetting);

    bool IsStrict() const { return m_bStrict; }
    const std::string& CaFile() const { return m_strCaFile; }

    // A send refused for its certificate is sent once more with the checks waived.
    bool RetriesCertificateErrors() const { return !m_bStrict; }
    // A login that failed without a refusal code (a reply that lacks the session) counts as
    // logged in.
    bool CountsLoginWithoutSession() const { return !m_bStrict; }
    // Traces may carry what was sent or received in full (request bodies, reply texts), and so
    // the password.
    bool TracesExchangedTexts() const { return !m_bStrict; }

    // The body of a form post: name=value pairs joined by '&'. The default sends the values as
    // they are; strict mode percent-encodes them as application/x-www-form-urlencoded does.
    std::string FormBody(const std::vector<std::pair<std::string, std::string>>& fields) const;

    // What the platform's HTTPS client is made with: in strict mode the CA file, redirects to the
    // same host and port only, and no certificate retry to keep a handshake for.
    HttpClientOptions ClientOptions() const;

private:
    bool m_bStrict = false;
    std::string m_strCaFile;
};

// application/x-www-form-urlencoded for one value: letters, digits and "*-._" stay, a space
// becomes '+', every other byte "%XX".
std::string FormEncode(const std::string& value);
