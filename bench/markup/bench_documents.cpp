#include "bench_documents.h"

#include <cstdio>

namespace bench {

namespace {

std::string Hex(std::size_t count, unsigned seed) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        out += kDigits[(seed >> 16) & 15];
    }
    return out;
}

Document TableShell(const std::string& label) {
    Document doc;
    doc.label = label;
    doc.root = "main";
    doc.record = "cardtype";
    doc.fields = {"name", "tag", "skinpath"};
    doc.text = "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<main>\r\n";
    return doc;
}

}  // namespace

Document MakeReply() {
    Document doc;
    doc.label = "reply_2KB";
    doc.root = "result";
    doc.fields = {"resultValue", "encodekey", "sessionid"};
    doc.text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<result>\r\n"
        "  <resultValue>0</resultValue>\r\n"
        "  <encodekey>" +
        Hex(1024, 7) +
        "</encodekey>\r\n"
        "  <sessionid>" +
        Hex(880, 11) +
        "</sessionid>\r\n"
        "</result>\r\n";
    return doc;
}

Document MakeBrandTable(const std::string& label, std::size_t records) {
    Document doc = TableShell(label);
    char buf[256];
    for (std::size_t i = 0; i < records; ++i) {
        std::snprintf(buf, sizeof buf,
                      "<cardtype><name>BRAND%04zu,Brand %04zu Mobile,brand%04zu</name>"
                      "<tag>%zu</tag><skinpath>skin\\brand%04zu\\</skinpath></cardtype>\r\n",
                      i, i, i, i % 97, i);
        doc.text += buf;
    }
    doc.text += "</main>\r\n";
    return doc;
}

Document MakeBrandTableWithEntities(const std::string& label, std::size_t bytes) {
    Document doc = TableShell(label);
    doc.text.reserve(bytes + 256);
    char buf[320];
    for (std::size_t i = 0; doc.text.size() < bytes; ++i) {
        std::snprintf(buf, sizeof buf,
                      "<cardtype><name>AT&amp;T %06zu,Brand &#x4e2d;&#25991; %06zu,b&lt;%06zu&gt;"
                      "</name><tag>%zu</tag><skinpath>skin\\&quot;brand%06zu&quot;\\</skinpath>"
                      "</cardtype>\r\n",
                      i, i, i, i % 97, i);
        doc.text += buf;
    }
    doc.text += "</main>\r\n";
    return doc;
}

}  // namespace bench
