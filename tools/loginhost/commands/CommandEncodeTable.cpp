// loginhost encode-table IN OUT --profile DIR: encodes a brand table (SIMBrandInfo.xml) with the
// profile's crypt key, the way the plug-in reads it back. The table is written in UTF-8 like the
// profile; the plug-in compares names in its own code page (GBK), so the text is converted.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "Commands.h"
#include "HostCrypt.h"
#include "HostProfile.h"
#include "HostServices.h"
#include "LoginSettings.h"
#include "platform/textcodec.h"

namespace {

class SilentObserver : public HostObserver {
public:
    void OnSettingWritten(const std::string&, const std::string&, const std::string&,
                          const std::string&) override {}
    void OnSimTypeNumber(int32_t) override {}
    void OnSaveFailed(const std::string&) override {}
};

}  // namespace

int CommandEncodeTable(const Args& args) {
    std::string in, out, dir;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--profile" && i + 1 < args.size()) {
            dir = args[++i];
        } else if (in.empty()) {
            in = args[i];
        } else if (out.empty()) {
            out = args[i];
        } else {
            std::fprintf(stderr, "loginhost: unknown argument '%s'\n", args[i].c_str());
            return 2;
        }
    }
    if (in.empty() || out.empty() || dir.empty()) {
        std::fprintf(stderr, "usage: loginhost encode-table IN OUT --profile DIR\n");
        return 2;
    }
    HostProfile profile;
    if (!LoadProfile(dir, profile)) return 2;
    std::ifstream input(in, std::ios::binary);
    if (!input) {
        std::fprintf(stderr, "loginhost: %s: cannot be read\n", in.c_str());
        return 2;
    }
    const std::string table{std::istreambuf_iterator<char>(input),
                            std::istreambuf_iterator<char>()};

    // The key the plug-in gets: the Decrypt of the host's "CRYPT"/"CRYPT" setting.
    SilentObserver silent;
    HostServices services(profile, &silent);
    std::string setting;
    services.setting.GetSysSetting(SETTING_CRYPT_KEY.section, SETTING_CRYPT_KEY.key, setting);
    const std::string key = services.crypt.Decrypt(setting);
    if (key.empty()) {
        std::fprintf(stderr,
                     "loginhost: %s: [CRYPT] CRYPT is not a key of this host"
                     " (make one with: loginhost encrypt KEY)\n",
                     profile.PathOf("system.ini").c_str());
        return 2;
    }
    const std::string encoded = HostCrypt::EncodeBuffer(Utf8ToGbk(table), key);
    std::ofstream output(out, std::ios::binary | std::ios::trunc);
    output << encoded;
    output.flush();
    if (encoded.empty() || !output) {
        std::fprintf(stderr, "loginhost: %s: cannot be written\n", out.c_str());
        return 2;
    }
    std::printf("encoded  %s -> %s (%s bytes)\n", in.c_str(), out.c_str(),
                std::to_string(encoded.size()).c_str());
    return 0;
}
