// A trusted-certificates file pins: with one named, the system's CA store is no longer consulted.
// The system store is the distribution's CA directory, which a test must not change; so the check
// runs in a child with a mount namespace of its own, where that directory holds the test server's
// CA.
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "TempDir.h"
#include "ExchangeSupport.h"
#include "LoopbackServers.h"

namespace {

// Where the distribution's libcurl looks for CAs when told nothing.
constexpr char kSystemCaDirectory[] = "/etc/ssl/certs";

// The child's answers; anything else is a failure inside it.
enum ChildExit { kPinned = 0, kNotPinned = 1, kStoreUnused = 2, kNoNamespace = 77 };

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path);
    out << text;
    return static_cast<bool>(out);
}

// The name OpenSSL looks a CA up by in a CA directory: "<subject hash>.0".
std::string HashedName(const std::string& pemFile) {
    FILE* in = std::fopen(pemFile.c_str(), "r");
    if (!in) return {};
    X509* cert = PEM_read_X509(in, nullptr, nullptr, nullptr);
    std::fclose(in);
    if (!cert) return {};
    char name[16];
    std::snprintf(name, sizeof name, "%08lx.0", X509_subject_name_hash(cert));
    X509_free(cert);
    return name;
}

// Puts `store` over the system CA directory for this process only: in a user namespace, or as
// root in a mount namespace alone.
bool MountOwnStore(const std::string& store) {
    const uid_t uid = getuid();
    const gid_t gid = getgid();
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0) {
        WriteFile("/proc/self/setgroups", "deny");
        WriteFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
        WriteFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
    } else if (unshare(CLONE_NEWNS) != 0) {
        return false;
    }
    return mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           mount(store.c_str(), kSystemCaDirectory, nullptr, MS_BIND, nullptr) == 0;
}

// One secure POST to the server; true when it went through with every check on.
bool PostGoesThrough(const HttpClientOptions& options, uint16_t port) {
    HttpCancel cancel;
    std::unique_ptr<IHttpClient> client = CreateHttpClient(cancel, options);
    OpenedRequest post = OpenPost(*client, port, "/register");
    return post.request && client->SendRequest(post.request, kFormHeaders, "cid=460001234567890") &&
           Query(*client, post.request, kStatusQuery) == 200u;
}

TEST(HttpsCaPinTest, ANamedCertificateFileIsTheOnlyTrust) {
    TempDir dir;
    AccountServer server;
    // Only for a certificate to trust that did not sign the server's. It must not share the CA's
    // subject: OpenSSL would settle on it by name and never look in the directory.
    AccountServer other;
    std::string error;
    ASSERT_TRUE(server.Start({"--ca-out", dir.Path() + "/server-ca.pem"}, error)) << error;
    ASSERT_TRUE(other.Start({"--cert-out", dir.Path() + "/other.pem"}, error)) << error;

    const std::string store = dir.Path() + "/store";
    const std::string hashed = HashedName(dir.Path() + "/server-ca.pem");
    ASSERT_FALSE(hashed.empty());
    ASSERT_EQ(mkdir(store.c_str(), 0755), 0);
    // Both ways the library may look: the bundle file and the directory's hashed names.
    ASSERT_EQ(symlink((dir.Path() + "/server-ca.pem").c_str(), (store + "/" + hashed).c_str()), 0);
    ASSERT_EQ(
        symlink((dir.Path() + "/server-ca.pem").c_str(), (store + "/ca-certificates.crt").c_str()),
        0);

    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        if (!MountOwnStore(store)) _exit(kNoNamespace);
        // The store is in effect: with no file named, the server's CA is found there.
        if (!PostGoesThrough({}, server.Port())) _exit(kStoreUnused);
        HttpClientOptions pinned;
        pinned.strTrustedCertificates = dir.Path() + "/other.pem";
        _exit(PostGoesThrough(pinned, server.Port()) ? kNotPinned : kPinned);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    if (WEXITSTATUS(status) == kNoNamespace) {
        GTEST_SKIP() << "no mount namespace here (neither a user namespace nor root)";
    }
    const char* const meaning[] = {
        "pinned", "the system store was trusted beside the named file",
        "with no file named, the server's CA in the system store was not "
        "trusted: the check proves nothing"};
    ASSERT_LT(WEXITSTATUS(status), 3) << "the child failed with " << WEXITSTATUS(status);
    EXPECT_EQ(WEXITSTATUS(status), kPinned) << meaning[WEXITSTATUS(status)];
}

}  // namespace
