// The host as the dialogs see it, made of the fake host's parts: settings (the default skin,
// version 2.1, no proxy stored), the host's GBK Chinese strings, the crypt plug-in and the login
// object's skin-change listeners.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "FakeContainer.h"
#include "FakeCrypt.h"
#include "FakeSetting.h"
#include "FakeSkinListeners.h"
#include "FakeStringRes.h"
#include "PluginIds.h"

struct UiHost {
    UiHost() {
        container.Serve(PLUGIN_ID_SETTING, IID_SETTING, &setting);
        container.Serve(PLUGIN_ID_STRING_RES_MGR, IID_STRING_RES_MGR, &strings);
        container.Serve(PLUGIN_ID_CRYPT, IID_CRYPT, &crypt);
        container.Serve(PLUGIN_ID_LOGIN, IID_LOGIN, &login);
        setting.Sys("SKIN", "ACTIVE", "skin\\DefaultSkin.dll");
        setting.Sys("VERSION", "MAJOR", "2.1");
        // clang-format off
        static const std::map<int32_t, std::string> kTexts = {
            {2000, "\xCC\xE1\xCA\xBE"}, {2001, "\xC8\xB7\xB6\xA8"}, {2002, "\xC8\xA1\xCF\xFB"},
            {2019, "\xB5\xC7\xC2\xBC\xD6\xFA\xCA\xD6 "},
            {2022, "\xB4\xFA\xC0\xED\xB7\xFE\xCE\xF1\xC6\xF7"}, {2023, "\xC0\xE0\xD0\xCD:"},
            {2024, "\xB5\xD8\xD6\xB7:"}, {2025, "\xB6\xCB\xBF\xDA:"}, {2026, "\xD3\xC3\xBB\xA7:"},
            {2027, "\xC3\xDC\xC2\xEB:"}, {4102, "\xC8\xB7\xB6\xA8"}, {4103, "\xC8\xA1\xCF\xFB"},
            {4109, "\xCA\xC7"}, {4110, "\xB7\xF1"}, {5999, "\xB9\xD8\xB1\xD5"},
            {7001, "\xC7\xEB\xD1\xA1\xD4\xF1\xB4\xFA\xC0\xED\xC0\xE0\xD0\xCD"},
            {11000, "\xB2\xBB\xCA\xB9\xD3\xC3\xB4\xFA\xC0\xED"},
            {11001, "\xCA\xB9\xD3\xC3\xD7\xD4\xB6\xA8\xD2\xE5\xB4\xFA\xC0\xED"},
            {11002, "\xCA\xB9\xD3\xC3\xE4\xAF\xC0\xC0\xC6\xF7\xB4\xFA\xC0\xED"},
            {11003, "\xB5\xC7\xC2\xBC\xC9\xE8\xD6\xC3"}};
        // clang-format on
        for (const auto& [id, text] : kTexts) strings.Set(id, text);
    }

    FakeContainer container;
    FakeSetting setting;
    FakeStringRes strings;
    FakeCrypt crypt;
    FakeSkinListeners login;
};
