#include "SettingsDialog.h"

namespace {

// The dialog's layout in dialog units of its Windows template (8-point MS Shell Dlg): four
// units across are six pixels, eight down are thirteen.
int PxX(int units) {
    return units * 3 / 2;
}
int PxY(int units) {
    return units * 13 / 8;
}

// The host's texts mark a mnemonic Windows-style, "&T"; GTK's mark is "_T".
std::string Mnemonic(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_') {
            out += "__";
        } else if (text[i] == '&' && i + 1 < text.size() && text[i + 1] == '&') {
            out += '&';
            ++i;
        } else if (text[i] == '&') {
            out += '_';
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string CssUrl(const std::string& path) {
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    std::string url = uri ? std::string("url(\"") + uri + "\")" : "none";
    g_free(uri);
    return url;
}

}  // namespace

void SettingsDialog::SetLabel(int index, const std::string& text) {
    if (index >= 0 && index < 5) m_labels[index] = text;
}

GtkWidget* SettingsDialog::Place(GtkWidget* pWidget, int x, int y, int width, int height) {
    gtk_widget_set_size_request(pWidget, width, height);
    gtk_fixed_put(GTK_FIXED(m_pFixed), pWidget, x, y);
    return pWidget;
}

void SettingsDialog::ApplyCss() {
    // Chinese texts need a font that has them; the skin paints the body and the buttons.
    std::string css =
        "* { font-family: \"WenQuanYi Micro Hei\", sans-serif; font-size: 9pt; }\n"
        "entry, button, combobox button { min-height: 0; padding-top: 0; padding-bottom: 0; }\n"
        "#title { color: #ffffff; font-weight: bold; }\n";
    auto skin = [this](const char* name) {
        auto found = m_skin.find(name);
        return found == m_skin.end() ? std::string() : found->second;
    };
    if (!skin("background").empty())
        css += "#body { background-image: " + CssUrl(skin("background")) +
               "; background-repeat: no-repeat; background-color: transparent; }\n";
    if (!skin("frame").empty())
        css += "#group > border { border: 1px solid " + skin("frame") +
               "; }\n"
               "#group > label { color: " +
               skin("frame") + "; }\n";
    const char* buttonStates[][2] = {
        {"button", ""}, {"button-hover", ":hover"}, {"button-down", ":active"}};
    for (auto& state : buttonStates)
        if (!skin(state[0]).empty())
            css += std::string("#ok") + state[1] + ", #cancel" + state[1] +
                   " { background-image: " + CssUrl(skin(state[0])) +
                   "; background-size: 100% 100%; border-image: none; box-shadow: none; }\n";
    const char* closeStates[][2] = {
        {"close", ""}, {"close-hover", ":hover"}, {"close-down", ":active"}};
    for (auto& state : closeStates)
        if (!skin(state[0]).empty())
            css += std::string("#close") + state[1] +
                   " { background-image: " + CssUrl(skin(state[0])) +
                   "; background-size: 100% 100%; border: none; box-shadow: none; padding: 0; "
                   "min-width: 0; }\n";
    GtkCssProvider* pProvider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(pProvider, css.c_str(), -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(),
                                              GTK_STYLE_PROVIDER(pProvider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(pProvider);
}

void SettingsDialog::ApplyShape(GdkPixbuf* pBackground) {
    // Pure green is cut out of the window, as on Windows.
    GdkPixbuf* pMasked = gdk_pixbuf_add_alpha(pBackground, TRUE, 0, 255, 0);
    cairo_surface_t* pSurface = gdk_cairo_surface_create_from_pixbuf(pMasked, 1, nullptr);
    cairo_region_t* pRegion = gdk_cairo_region_create_from_surface(pSurface);
    gtk_widget_shape_combine_region(m_pWindow, pRegion);
    cairo_region_destroy(pRegion);
    cairo_surface_destroy(pSurface);
    g_object_unref(pMasked);
}

void SettingsDialog::Build() {
    ApplyCss();
    m_pWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(m_pWindow), m_texts["title"].c_str());
    gtk_window_set_type_hint(GTK_WINDOW(m_pWindow), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_position(GTK_WINDOW(m_pWindow), GTK_WIN_POS_CENTER);
    gtk_window_set_resizable(GTK_WINDOW(m_pWindow), FALSE);

    GdkPixbuf* pBackground = nullptr;
    if (m_skin.count("background"))
        pBackground = gdk_pixbuf_new_from_file(m_skin["background"].c_str(), nullptr);
    if (pBackground) {
        m_nWidth = gdk_pixbuf_get_width(pBackground);
        m_nHeight = gdk_pixbuf_get_height(pBackground);
        // The skin draws the title band and the close button.
        gtk_window_set_decorated(GTK_WINDOW(m_pWindow), FALSE);
    }
    // An event box takes the clicks that drag the window.
    GtkWidget* pBody = gtk_event_box_new();
    gtk_widget_set_name(pBody, "body");
    gtk_container_add(GTK_CONTAINER(m_pWindow), pBody);
    m_pFixed = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(pBody), m_pFixed);
    gtk_widget_set_size_request(m_pFixed, m_nWidth, m_nHeight);

    if (pBackground) {
        GtkWidget* pTitle = gtk_label_new(m_texts["title"].c_str());
        gtk_widget_set_name(pTitle, "title");
        Place(pTitle, (m_nWidth - 120) / 2 - 10, 7, 150, 20);
        GtkWidget* pClose = gtk_button_new();
        gtk_widget_set_name(pClose, "close");
        gtk_widget_set_tooltip_text(pClose, m_texts["close-tip"].c_str());
        atk_object_set_name(gtk_widget_get_accessible(pClose), m_texts["close-tip"].c_str());
        Place(pClose, m_nWidth - 23, 5, 18, 19);
        g_signal_connect_swapped(pClose, "clicked",
                                 G_CALLBACK(+[](SettingsDialog* self) { self->m_send({"close"}); }),
                                 this);
    }

    GtkWidget* pGroup = gtk_frame_new(m_texts["group"].c_str());
    gtk_widget_set_name(pGroup, "group");
    Place(pGroup, PxX(7), PxY(27), PxX(244), PxY(119));

    m_pCombo = gtk_combo_box_text_new();
    for (const Entry& entry : m_entries)
        gtk_combo_box_text_append(GTK_COMBO_BOX_TEXT(m_pCombo), std::to_string(entry.type).c_str(),
                                  entry.text.c_str());
    Place(m_pCombo, PxX(45), PxY(44), PxX(199), PxY(14));

    const int edits[4][4] = {
        {46, 75, 80, 14}, {168, 75, 75, 14}, {45, 109, 81, 14}, {168, 108, 76, 14}};
    const char* masks[4] = {"address", "port", nullptr, nullptr};
    for (int i = 0; i < 4; ++i) {
        m_pEdits[i] = gtk_entry_new();
        gtk_entry_set_activates_default(GTK_ENTRY(m_pEdits[i]), TRUE);
        gtk_entry_set_width_chars(GTK_ENTRY(m_pEdits[i]), 1);  // the layout gives the width
        Place(m_pEdits[i], PxX(edits[i][0]), PxY(edits[i][1]), PxX(edits[i][2]), PxY(edits[i][3]));
        if (masks[i] && m_masks.count(masks[i]))
            g_signal_connect(m_pEdits[i], "insert-text", G_CALLBACK(OnInsert), &m_masks[masks[i]]);
    }
    gtk_entry_set_visibility(GTK_ENTRY(m_pEdits[3]), FALSE);
    gtk_entry_set_input_purpose(GTK_ENTRY(m_pEdits[3]), GTK_INPUT_PURPOSE_PASSWORD);

    // Labels: type, address, port, user, password, each naming the field it stands before.
    const int labels[5][2] = {{16, 46}, {16, 78}, {132, 79}, {16, 111}, {132, 111}};
    GtkWidget* targets[5] = {m_pCombo, m_pEdits[0], m_pEdits[1], m_pEdits[2], m_pEdits[3]};
    for (int i = 0; i < 5; ++i) {
        GtkWidget* pLabel = gtk_label_new_with_mnemonic(Mnemonic(m_labels[i]).c_str());
        gtk_label_set_mnemonic_widget(GTK_LABEL(pLabel), targets[i]);
        gtk_label_set_xalign(GTK_LABEL(pLabel), 0);
        gtk_fixed_put(GTK_FIXED(m_pFixed), pLabel, PxX(labels[i][0]), PxY(labels[i][1]) - 2);
    }

    GtkWidget* pOk = gtk_button_new_with_mnemonic(Mnemonic(m_texts["ok"]).c_str());
    GtkWidget* pCancel = gtk_button_new_with_mnemonic(Mnemonic(m_texts["cancel"]).c_str());
    gtk_widget_set_name(pOk, "ok");
    gtk_widget_set_name(pCancel, "cancel");
    Place(pOk, PxX(146), PxY(159), PxX(50), PxY(14));
    Place(pCancel, PxX(201), PxY(159), PxX(50), PxY(14));
    gtk_widget_set_can_default(pOk, TRUE);
    gtk_window_set_default(GTK_WINDOW(m_pWindow), pOk);
    g_signal_connect_swapped(pOk, "clicked",
                             G_CALLBACK(+[](SettingsDialog* self) { self->OnOk(); }), this);
    g_signal_connect_swapped(pCancel, "clicked",
                             G_CALLBACK(+[](SettingsDialog* self) { self->m_send({"cancel"}); }),
                             this);

    // Tab walks the fields in reading order, then the buttons.
    GList* pChain = nullptr;
    for (GtkWidget* pWidget :
         {m_pCombo, m_pEdits[0], m_pEdits[1], m_pEdits[2], m_pEdits[3], pOk, pCancel})
        pChain = g_list_append(pChain, pWidget);
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_container_set_focus_chain(GTK_CONTAINER(m_pFixed), pChain);
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_list_free(pChain);

    if (m_nSelection >= 0 && m_nSelection < static_cast<int>(m_entries.size())) {
        m_bFilling = true;
        gtk_combo_box_set_active(GTK_COMBO_BOX(m_pCombo), m_nSelection);
        m_bFilling = false;
    }
    g_signal_connect(m_pCombo, "changed", G_CALLBACK(OnChanged), this);
    g_signal_connect(m_pWindow, "key-press-event", G_CALLBACK(OnKey), this);
    g_signal_connect(m_pWindow, "delete-event", G_CALLBACK(OnDelete), this);
    if (pBackground) {
        gtk_widget_add_events(pBody, GDK_BUTTON_PRESS_MASK);
        g_signal_connect(pBody, "button-press-event", G_CALLBACK(OnPress), this);
        ApplyShape(pBackground);
        g_object_unref(pBackground);
    }
    gtk_widget_grab_focus(m_pCombo);
}

void SettingsDialog::Show() {
    Build();
    gtk_widget_show_all(m_pWindow);
    gtk_window_present(GTK_WINDOW(m_pWindow));
}

void SettingsDialog::ShowFields(const std::string& flags, const std::vector<std::string>& values) {
    m_bFilling = true;
    for (int i = 0; i < 4 && i < static_cast<int>(values.size()); ++i) {
        gtk_entry_set_text(GTK_ENTRY(m_pEdits[i]), values[i].c_str());
        gtk_widget_set_sensitive(m_pEdits[i],
                                 i < static_cast<int>(flags.size()) && flags[i] == '1');
    }
    m_bFilling = false;
}

void SettingsDialog::OnOk() {
    const int active = gtk_combo_box_get_active(GTK_COMBO_BOX(m_pCombo));
    std::vector<std::string> line{"ok", active < 0 ? "-" : std::to_string(m_entries[active].type)};
    for (GtkWidget* pEdit : m_pEdits) line.push_back(gtk_entry_get_text(GTK_ENTRY(pEdit)));
    m_send(line);
}

void SettingsDialog::Message(const std::string& text, const std::string& caption) {
    GtkWidget* pBox = gtk_message_dialog_new(GTK_WINDOW(m_pWindow), GTK_DIALOG_MODAL,
                                             GTK_MESSAGE_INFO, GTK_BUTTONS_OK, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(pBox), caption.c_str());
    // Named by its caption for screen readers too, as the Windows box is.
    atk_object_set_name(gtk_widget_get_accessible(pBox), caption.c_str());
    gtk_dialog_run(GTK_DIALOG(pBox));
    gtk_widget_destroy(pBox);
}

void SettingsDialog::Raise() {
    if (m_pWindow) gtk_window_present(GTK_WINDOW(m_pWindow));
}

void SettingsDialog::Close() {
    if (m_pWindow) gtk_widget_destroy(m_pWindow);
    m_pWindow = nullptr;
}

void SettingsDialog::OnChanged(GtkComboBox* pCombo, gpointer self) {
    auto* pThis = static_cast<SettingsDialog*>(self);
    const int active = gtk_combo_box_get_active(pCombo);
    if (pThis->m_bFilling || active < 0) return;
    pThis->m_send({"selected", std::to_string(pThis->m_entries[active].type)});
}

void SettingsDialog::OnInsert(GtkEditable* pEditable, const gchar* text, gint length,
                              gint* position, gpointer mask) {
    // The edit takes only the characters of its mask, typed or pasted.
    const std::string& chars = *static_cast<std::string*>(mask);
    const std::string offered(text, length < 0 ? strlen(text) : static_cast<size_t>(length));
    std::string kept;
    for (char ch : offered)
        if (chars.find(ch) != std::string::npos) kept += ch;
    if (kept == offered) return;
    g_signal_handlers_block_by_func(pEditable, reinterpret_cast<gpointer>(OnInsert), mask);
    gtk_editable_insert_text(pEditable, kept.c_str(), static_cast<gint>(kept.size()), position);
    g_signal_handlers_unblock_by_func(pEditable, reinterpret_cast<gpointer>(OnInsert), mask);
    g_signal_stop_emission_by_name(pEditable, "insert-text");
}

gboolean SettingsDialog::OnKey(GtkWidget*, GdkEventKey* pEvent, gpointer self) {
    if (pEvent->keyval != GDK_KEY_Escape) return FALSE;
    static_cast<SettingsDialog*>(self)->m_send({"cancel"});
    return TRUE;
}

gboolean SettingsDialog::OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
    // Closing the window from outside is Cancel; the plug-in ends the dialog.
    static_cast<SettingsDialog*>(self)->m_send({"cancel"});
    return TRUE;
}

gboolean SettingsDialog::OnPress(GtkWidget*, GdkEventButton* pEvent, gpointer self) {
    // The whole surface drags the window, as its caption would.
    auto* pThis = static_cast<SettingsDialog*>(self);
    if (pEvent->button != 1 || pEvent->type != GDK_BUTTON_PRESS) return FALSE;
    gtk_window_begin_move_drag(GTK_WINDOW(pThis->m_pWindow), static_cast<gint>(pEvent->button),
                               static_cast<gint>(pEvent->x_root), static_cast<gint>(pEvent->y_root),
                               pEvent->time);
    return TRUE;
}
