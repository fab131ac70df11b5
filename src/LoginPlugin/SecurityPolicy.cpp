#include "SecurityPolicy.h"

#include "ISetting.h"
#include "LoginSettings.h"

SecurityPolicy SecurityPolicy::Strict(std::string caFile) {
    SecurityPolicy policy;
    policy.m_bStrict = true;
    policy.m_strCaFile = std::move(caFile);
    return policy;
}

SecurityPolicy SecurityPolicy::FromSettings(ISetting* pSetting) {
    std::string strict;
    if (!pSetting ||
        !pSetting->GetSysSetting(SETTING_SECURITY_STRICT.section, SETTING_SECURITY_STRICT.key,
                                 strict) ||
        strict != "1") {
        return {};
    }
    std::string caFile;
    if (!pSetting->GetSysSetting(SETTING_SECURITY_CAFILE.section, SETTING_SECURITY_CAFILE.key,
                                 caFile))
        caFile.clear();
    return Strict(caFile);
}

std::string SecurityPolicy::FormBody(
    const std::vector<std::pair<std::string, std::string>>& fields) const {
    std::string body;
    for (const auto& field : fields) {
        if (!body.empty()) body += '&';
        body += field.first;
        body += '=';
        body += m_bStrict ? FormEncode(field.second) : field.second;
    }
    return body;
}

HttpClientOptions SecurityPolicy::ClientOptions() const {
    HttpClientOptions options;
    options.bRetriesCertificateErrors = RetriesCertificateErrors();
    if (m_bStrict) {
        options.strTrustedCertificates = m_strCaFile;
        options.redirects = HttpRedirectPolicy::kSameHostHttps;
    }
    return options;
}

std::string FormEncode(const std::string& value) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(value.size());
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
            (byte >= '0' && byte <= '9') || byte == '*' || byte == '-' || byte == '.' ||
            byte == '_') {
            encoded += c;
        } else if (byte == ' ') {
            encoded += '+';
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}
