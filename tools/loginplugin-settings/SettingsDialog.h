// The proxy settings dialog drawn with GTK 3: the skin's background, shape, title, close button
// and frame colour where it gives them, the host's texts, and the keyboard of a dialog box (Tab,
// Enter for OK, Escape for Cancel, the labels' mnemonics). It decides nothing: every choice of
// the user goes to the plug-in, which answers what the edits show and when the dialog ends.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

class SettingsDialog {
public:
    // Every line for the plug-in goes through this.
    using Sender = std::function<void(const std::vector<std::string>&)>;
    explicit SettingsDialog(Sender send) : m_send(std::move(send)) {}

    // Setup, before Show: texts, type entries, masks, skin values.
    void SetText(const std::string& name, const std::string& text) { m_texts[name] = text; }
    void SetLabel(int index, const std::string& text);
    void AddEntry(int type, const std::string& text) { m_entries.push_back({type, text}); }
    void SetMask(const std::string& name, const std::string& chars) { m_masks[name] = chars; }
    void SetSkin(const std::string& name, const std::string& value) { m_skin[name] = value; }
    void Select(int index) { m_nSelection = index; }

    void Show();
    // What the plug-in decided for the selected type: "1101", then the four texts.
    void ShowFields(const std::string& flags, const std::vector<std::string>& values);
    // A message box over the dialog; returns once the user has closed it.
    void Message(const std::string& text, const std::string& caption);
    void Raise();
    void Close();

private:
    struct Entry {
        int type;
        std::string text;
    };
    void Build();
    void ApplyCss();
    void ApplyShape(GdkPixbuf* pBackground);
    GtkWidget* Place(GtkWidget* pWidget, int x, int y, int width, int height);
    void OnOk();
    static void OnChanged(GtkComboBox* pCombo, gpointer self);
    static void OnInsert(GtkEditable* pEditable, const gchar* text, gint length, gint* position,
                         gpointer mask);
    static gboolean OnKey(GtkWidget*, GdkEventKey* pEvent, gpointer self);
    static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self);
    static gboolean OnPress(GtkWidget*, GdkEventButton* pEvent, gpointer self);

    Sender m_send;
    std::map<std::string, std::string> m_texts, m_masks, m_skin;
    std::string m_labels[5];
    std::vector<Entry> m_entries;
    int m_nSelection = -1;
    bool m_bFilling = false;  // edits set by the plug-in, not typed

    GtkWidget* m_pWindow = nullptr;
    GtkWidget* m_pFixed = nullptr;
    GtkWidget* m_pCombo = nullptr;
    GtkWidget* m_pEdits[4] = {};  // address, port, user, password
    int m_nWidth = 386, m_nHeight = 284;
};
