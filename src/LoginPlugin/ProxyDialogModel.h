// What the proxy settings dialog shows, accepts and stores, whatever draws it: the Win32 dialog
// and the Linux helper's dialog are two views of this model, so both read, check and write the
// same. Texts are in the host's code page (GBK), as the host serves and stores them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "IPluginContainer.h"

// End codes of the dialog, as a Windows dialog box returns them.
constexpr int32_t kDialogEndOK = 1;
constexpr int32_t kDialogEndCancel = 2;
constexpr int32_t kDialogEndFailed = -1;

// What the address and port edits take (typed or pasted).
extern const char kProxyAddressMask[];
extern const char kProxyPortMask[];
// Whether an edit with this mask takes the character: control characters always pass, and an
// empty mask takes everything.
bool MaskAccepts(const std::string& mask, unsigned char ch);
// The text less the characters the mask refuses.
std::string ApplyMask(const std::string& mask, const std::string& text);

// Resources of the active skin the dialog uses.
constexpr uint32_t kSkinBackground = 7089;  // background; pure green is cut out
constexpr uint32_t kSkinTransparent = 0x0000FF00;
constexpr uint32_t kSkinButton = 4001;  // push buttons: at rest, pressed, under the mouse
constexpr uint32_t kSkinButtonDown = 4002;
constexpr uint32_t kSkinButtonHover = 4003;
constexpr uint32_t kSkinClose = 7024;  // close button: at rest, pressed, under the mouse
constexpr uint32_t kSkinCloseDown = 7105;
constexpr uint32_t kSkinCloseHover = 7112;
constexpr uint32_t kSkinFrameColour = 7191;  // group frame colour, "red green blue"

// A skin string "red green blue" (decimal, blank-separated) as 0x00BBGGRR; missing parts are 0.
uint32_t ParseSkinColor(const std::string& text);

// One entry of the type list: its text and the proxy type it stands for.
struct ProxyTypeEntry {
    std::string text;
    int32_t nType;
};

// The dialog's texts from the host's string resources.
struct ProxyDialogTexts {
    bool bLoaded = false;  // false without a string manager: the view keeps its own texts
    std::string title, closeTip, ok, cancel, group;
    std::array<std::string, 5> labels;  // type, address, port, user, password
    std::vector<ProxyTypeEntry> entries;  // in list order
};

struct ProxyFields {
    std::string address, port, user, password;
};

// The four edits for one proxy type: which take input and what they show.
struct ProxyFieldsState {
    bool bAddress = false, bPort = false, bUser = false, bPassword = false;
    ProxyFields values;
};

// What OK led to. The dialog closes with OK in every case; for NoType after the message.
enum class ProxySaveOutcome { Saved, NoType, Failed };

class CProxyDialogModel {
public:
    explicit CProxyDialogModel(IPluginContainer* pContainer) : m_pPluginContainer(pContainer) {}

    IPluginContainer* Container() const { return m_pPluginContainer; }

    // The host's strings for the dialog. Fails (bLoaded false) without a string manager.
    ProxyDialogTexts LoadTexts() const;
    // The message shown when OK finds no type selected, and its caption.
    void NoTypeMessage(std::string& text, std::string& caption) const;
    // The setting "SKIN"/"ACTIVE": the active skin, relative to the host's directory.
    std::string ActiveSkin() const;

    // Reads the values the dialog opens with: address, port, user, password, then the type.
    void ReadCurrent();
    int32_t CurrentType() const { return m_nType; }
    // Index of the entry that stands for the type, or -1.
    static int EntryIndexOf(const std::vector<ProxyTypeEntry>& entries, int32_t nType);

    // The edits for a type, always refilled from the values read at opening (the browser's
    // proxy read anew). False for an unknown type: the edits stay as they are.
    bool FieldsFor(int32_t nType, ProxyFieldsState& state) const;

    // OK: stores the type and, by type, the typed address, port, user and the password
    // enciphered by the host's crypt plug-in. pType null: no type selected. Every failure is
    // traced; what was stored before it stays.
    ProxySaveOutcome Save(const int32_t* pType, const ProxyFields& typed) const;

private:
    IPluginContainer* m_pPluginContainer;
    int32_t m_nType = 0;
    ProxyFields m_current;
};
