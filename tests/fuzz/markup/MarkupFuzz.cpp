// Fuzz target for CMarkupSTL: a document, then a sequence of navigation calls.
//
// Input: the document is everything before the first NUL byte; each byte after it is one call
// (low three bits: which call; the rest: which name). Besides surviving, the reader must keep
// these promises: a document parses the same in a fresh object and in a reused one; reading a
// child through FindSubElem gives what entering and FindElem give; IntoElem then LeaveElem comes
// back to the same element; a failed parse leaves nothing to walk.
#include "markup/MarkupSTL.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../FuzzCheck.h"

namespace {

const char* const kNames[] = {nullptr,    "",    "a",    "b",        "x",   "main", "name",
                              "cardtype", "tag", "root", "result",   "a b", "a=",   "a[",
                              "plugin",   "/",   "!",    "skinpath", "r",   "d0"};
constexpr std::size_t kNameCount = sizeof kNames / sizeof kNames[0];

// Walks the level the reader is on, depth first, through FindElem/IntoElem/LeaveElem, appending
// every element's depth and text to out; returns the texts of this level's elements. Each
// element's children are read a second way, through FindSubElem, and must agree.
std::vector<std::string> WalkLevel(CMarkupSTL& xml, int depth, std::size_t docLength,
                                   std::string& out) {
    std::vector<std::string> texts;
    while (xml.FindElem()) {
        std::string text = xml.GetElemData();
        Check(text.size() <= docLength);
        Check(depth < CMarkupSTL::kMaxDepth);
        out += std::to_string(depth) + ':' + text + '\n';
        Check(xml.IntoElem());
        const std::vector<std::string> children = WalkLevel(xml, depth + 1, docLength, out);
        xml.ResetLevelPos();  // so that leaving sets no current child
        Check(xml.LeaveElem());
        Check(xml.GetElemData() == text);
        std::vector<std::string> viaSub;
        while (xml.FindSubElem()) viaSub.push_back(xml.GetSubElemData());
        Check(viaSub == children);
        texts.push_back(std::move(text));
    }
    return texts;
}

std::string Walk(CMarkupSTL& xml, std::size_t docLength) {
    std::string out;
    Check(WalkLevel(xml, 0, docLength, out).size() <= 1);  // only the root is parsed
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    const auto* nul = static_cast<const char*>(std::memchr(bytes, 0, size));
    const std::string doc(bytes, nul ? static_cast<std::size_t>(nul - bytes) : size);
    const char* ops = nul ? nul + 1 : bytes + size;
    const char* opsEnd = bytes + size;

    CMarkupSTL fresh;
    const bool parsed = fresh.SetDoc(doc.c_str());
    Check(fresh.GetError().size() <= 299);
    Check(fresh.HasRootElem() == parsed);
    if (!parsed) {
        Check(!fresh.FindElem() && !fresh.FindSubElem() && fresh.GetElemData().empty());
    }

    // The same document in an object that held another one first (the calls as a document).
    CMarkupSTL reused;
    reused.SetDoc(std::string(ops, opsEnd));
    Check(reused.SetDoc(std::string(bytes, size)) == parsed);
    const std::string walked = Walk(fresh, doc.size());
    Check(Walk(reused, doc.size()) == walked);
    Check(parsed == !walked.empty());

    fresh.ResetLevelPos();
    while (fresh.LeaveElem()) {
    }
    for (const char* op = ops; op < opsEnd; ++op) {
        const auto b = static_cast<unsigned char>(*op);
        const char* name = kNames[(b >> 3) % kNameCount];
        switch (b & 7) {
            case 0:
                fresh.FindElem(name);
                break;
            case 1:
                fresh.IntoElem();
                break;
            case 2:
                fresh.LeaveElem();
                break;
            case 3:
                fresh.ResetLevelPos();
                break;
            case 4:
                fresh.FindSubElem(name);
                break;
            case 5:
                Check(fresh.GetSubElemData().size() <= doc.size());
                break;
            case 6: {  // entering and leaving comes back to the same element
                const std::string before = fresh.GetElemData();
                if (fresh.IntoElem()) {
                    Check(fresh.LeaveElem());
                    Check(fresh.GetElemData() == before);
                }
                break;
            }
            default:
                Check(fresh.GetElemData().size() <= doc.size());
                break;
        }
    }
    return 0;
}
